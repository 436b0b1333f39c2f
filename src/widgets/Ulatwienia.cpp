#include "widgets/Ulatwienia.h"

#include "widgets/FormPomoc.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/OknoTekstu.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QValidator>
#include <algorithm>

namespace {

constexpr char kSlyszane[] = "slyszaneJako";

// `tekst` as a screen reader hears it from `obiekt` (slyszaneJako).
QString slyszany(const QObject* obiekt, QString tekst) {
    const QStringList slowa = obiekt->property(kSlyszane).toStringList();
    for (qsizetype i = 0; i + 1 < slowa.size(); i += 2)
        tekst.replace(slowa.at(i), slowa.at(i + 1));
    return tekst;
}

// ---- line edits -----------------------------------------------------------------------

// Hands a line edit a focus-in without the Tab reason, which is what makes
// it select its text; everything else of the focus change stays as it is.
class FokusBezZaznaczenia : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn || !qobject_cast<QLineEdit*>(watched))
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
            reason != Qt::ShortcutFocusReason)
            return false;
        auto* pole = static_cast<QLineEdit*>(watched);
        QFocusEvent bezPowodu(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(pole, &bezPowodu);
        if (!pole->hasSelectedText())
            pole->end(false);
        return true;
    }
};

// A line edit as a screen reader needs it: what Qt's own interface offers,
// with the text's attributes as one run over the whole text.
class DostepnePole : public QAccessibleWidget,
                     public QAccessibleTextInterface,
                     public QAccessibleEditableTextInterface {
public:
    explicit DostepnePole(QLineEdit* pole) : QAccessibleWidget(pole, QAccessible::EditableText) {
        addControllingSignal(QStringLiteral("textChanged(const QString&)"));
        addControllingSignal(QStringLiteral("returnPressed()"));
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        QString s = t == QAccessible::Value ? widoczny() : QString();
        if (s.isEmpty())
            s = QAccessibleWidget::text(t);
        if (s.isEmpty() && t == QAccessible::Description)
            s = pole()->placeholderText();
        return s;
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t != QAccessible::Value) {
            QAccessibleWidget::setText(t, text);
            return;
        }
        QString nowy = text;
        int pozycja = 0;
        if (pole()->validator() &&
            pole()->validator()->validate(nowy, pozycja) != QValidator::Acceptable)
            return;
        pole()->setText(nowy);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = pole()->isReadOnly();
        s.editable = !pole()->isReadOnly();
        s.passwordEdit = pole()->echoMode() != QLineEdit::Normal;
        s.selectableText = true;
        return s;
    }

    // ---- text ----
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || !pole()->hasSelectedText())
            return;
        *start = pole()->selectionStart();
        *end = pole()->selectionEnd();
    }
    int selectionCount() const override { return pole()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0)
            pole()->deselect();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0)
            pole()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return pole()->cursorPosition(); }
    void setCursorPosition(int position) override { pole()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        if (start > end || pole()->echoMode() != QLineEdit::Normal)
            return QString();
        return pole()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(pole()->text().size()); }
    // Where the character stands in the field as laid out from its start
    // (a field scrolled sideways is not followed).
    QRect characterRect(int offset) const override {
        const QString znak = text(offset, offset + 1);
        if (znak.isEmpty())
            return QRect();
        const QFontMetrics fm(pole()->font());
        const QRect wnetrze = pole()->contentsRect().marginsRemoved(pole()->textMargins());
        const int x = wnetrze.left() + 2 + fm.horizontalAdvance(pole()->displayText().left(offset));
        const QRect r(x, wnetrze.top() + (wnetrze.height() - fm.height()) / 2,
                      fm.horizontalAdvance(znak), fm.height());
        return r.translated(pole()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return pole()->cursorPositionAt(pole()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        pole()->setCursorPosition(end);
        pole()->setCursorPosition(start);
    }
    // The whole text is one run without attributes.
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return QString();
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                             int* end) const override {
        if (!zwykly(start, end))
            return QString();
        return QAccessibleTextInterface::textBeforeOffset(pozycja(offset), typ, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                            int* end) const override {
        if (!zwykly(start, end))
            return QString();
        return QAccessibleTextInterface::textAfterOffset(pozycja(offset), typ, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                         int* end) const override {
        if (!zwykly(start, end))
            return QString();
        return QAccessibleTextInterface::textAtOffset(pozycja(offset), typ, start, end);
    }

    // ---- editing ----
    void deleteText(int start, int end) override {
        pole()->setText(pole()->text().remove(start, end - start));
    }
    void insertText(int offset, const QString& text) override {
        pole()->setText(pole()->text().insert(offset, text));
    }
    void replaceText(int start, int end, const QString& text) override {
        pole()->setText(pole()->text().replace(start, end - start, text));
    }

private:
    QLineEdit* pole() const { return static_cast<QLineEdit*>(widget()); }
    QString widoczny() const {
        switch (pole()->echoMode()) {
        case QLineEdit::Normal:
            return pole()->text();
        case QLineEdit::NoEcho:
            return QString();
        default:
            return QString(pole()->text().size(), u'*');
        }
    }
    // -2 stands for the caret.
    int pozycja(int offset) const { return offset == -2 ? cursorPosition() : offset; }
    // A password is not read out.
    bool zwykly(int* start, int* end) const {
        if (pole()->echoMode() == QLineEdit::Normal)
            return true;
        *start = *end = -1;
        return false;
    }
};

// ---- texts read item by item ----------------------------------------------------------

// A read-only rich or plain text whose lines, to a screen reader, are its
// paragraphs: Qt's own interface gives the lines as the window wraps
// them, and a long report line or help paragraph is then read in pieces.
template <class Tekst>
class TekstAkapitami : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TekstAkapitami(Tekst* tekst) : QAccessibleWidget(tekst, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return slyszany(tekst(), tekst()->toPlainText());
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = tekst()->isReadOnly();
        s.editable = !tekst()->isReadOnly();
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        const QTextCursor c = tekst()->textCursor();
        if (index != 0 || !c.hasSelection())
            return;
        *start = c.selectionStart();
        *end = c.selectionEnd();
    }
    int selectionCount() const override { return tekst()->textCursor().hasSelection() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index != 0)
            return;
        QTextCursor c = tekst()->textCursor();
        c.clearSelection();
        tekst()->setTextCursor(c);
    }
    void setSelection(int index, int start, int end) override {
        if (index != 0)
            return;
        QTextCursor c = kursor(start);
        c.setPosition(std::clamp(end, 0, characterCount()), QTextCursor::KeepAnchor);
        tekst()->setTextCursor(c);
    }
    int cursorPosition() const override { return tekst()->textCursor().position(); }
    void setCursorPosition(int position) override { tekst()->setTextCursor(kursor(position)); }
    QString text(int start, int end) const override {
        if (start > end)
            return QString();
        QTextCursor c = kursor(start);
        c.setPosition(std::clamp(end, 0, characterCount()), QTextCursor::KeepAnchor);
        return slyszany(tekst(), c.selectedText().replace(QChar(QChar::ParagraphSeparator), u'\n'));
    }
    int characterCount() const override { return tekst()->document()->characterCount() - 1; }
    QRect characterRect(int offset) const override {
        const QString znak = text(offset, offset + 1);
        if (znak.isEmpty())
            return QRect();
        const QTextCursor c = kursor(offset);
        const QRect r = tekst()->cursorRect(c);
        const QFontMetrics fm(c.charFormat().font());
        return QRect(r.topLeft(), QSize(fm.horizontalAdvance(znak), r.height()))
            .translated(tekst()->viewport()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return tekst()->cursorForPosition(tekst()->viewport()->mapFromGlobal(point)).position();
    }
    void scrollToSubstring(int start, int) override {
        tekst()->setTextCursor(kursor(start));
        tekst()->ensureCursorVisible();
    }
    // What a screen reader takes from the runs is the language, the same
    // throughout: one run, so that a paragraph is read in one piece.
    QString attributes(int, int* start, int* end) const override {
        *start = 0;
        *end = characterCount();
        return QString();
    }
    // The default boundaries take a line as the text between two line
    // breaks: a paragraph here.
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                             int* end) const override {
        return QAccessibleTextInterface::textBeforeOffset(pozycja(offset), typ, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                            int* end) const override {
        return QAccessibleTextInterface::textAfterOffset(pozycja(offset), typ, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType typ, int* start,
                         int* end) const override {
        return QAccessibleTextInterface::textAtOffset(pozycja(offset), typ, start, end);
    }

private:
    Tekst* tekst() const { return static_cast<Tekst*>(widget()); }
    int pozycja(int offset) const { return offset == -2 ? cursorPosition() : offset; }
    QTextCursor kursor(int position) const {
        QTextCursor c(tekst()->document());
        c.setPosition(std::clamp(position, 0, characterCount()));
        return c;
    }
};

// ---- menu items ----------------------------------------------------------------------

// The item of a menu, as Qt presents an item, with what its name needs to
// be heard right: one that opens a submenu says so (Qt has no role for it
// but a command's), one misspelt is heard spelled right (slyszaneJako).
class PozycjaMenu : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    PozycjaMenu(QMenu* wlasciciel, QAction* akcja) : m_wlasciciel(wlasciciel), m_akcja(akcja) {}

    bool isValid() const override { return m_akcja && m_wlasciciel; }
    QObject* object() const override { return m_akcja; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_wlasciciel);
    }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && m_akcja->menu()
                   ? QAccessible::queryAccessibleInterface(m_akcja->menu())
                   : nullptr;
    }
    int childCount() const override { return m_akcja->menu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && m_akcja->menu() && child->object() == m_akcja->menu() ? 0 : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override {
        QAccessibleInterface* podmenu = child(0);
        return podmenu && podmenu->rect().contains(x, y) ? podmenu : nullptr;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Accelerator)
            return m_akcja->shortcut().toString(QKeySequence::NativeText);
        if (t != QAccessible::Name)
            return QString();
        const QString nazwa = slyszany(m_akcja, QString(m_akcja->text()).remove(u'&'));
        return m_akcja->menu() ? nazwa + QStringLiteral(", podmenu") : nazwa;
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        return m_wlasciciel->actionGeometry(m_akcja).translated(
            m_wlasciciel->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        s.invisible = !m_wlasciciel->isVisible() || !m_akcja->isVisible();
        s.focused = m_wlasciciel->activeAction() == m_akcja;
        s.focusable = true;
        s.disabled = !m_akcja->isEnabled();
        s.hasPopup = m_akcja->menu() != nullptr;
        s.checkable = m_akcja->isCheckable();
        s.checked = m_akcja->isChecked();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                 : nullptr;
    }

    QStringList actionNames() const override {
        return {m_akcja->menu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString& name) override {
        if (!m_akcja->isEnabled() || !actionNames().contains(name))
            return;
        if (!m_akcja->menu())
            m_akcja->trigger();
        else if (m_akcja->menu()->isVisible())
            m_akcja->menu()->hide();
        else
            m_wlasciciel->setActiveAction(m_akcja);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<QMenu> m_wlasciciel;
    QPointer<QAction> m_akcja;
};

QAccessibleInterface* fabryka(const QString& klasa, QObject* object) {
    if (klasa == u"QLineEdit") {
        if (auto* pole = qobject_cast<QLineEdit*>(object))
            return new DostepnePole(pole);
    } else if (auto* tekst = qobject_cast<TekstDoCzytania*>(object)) {
        return new TekstAkapitami<QPlainTextEdit>(tekst);
    } else if (auto* pomoc = qobject_cast<TekstPomocy*>(object)) {
        return new TekstAkapitami<QTextEdit>(pomoc);
    } else if (auto* akcja = qobject_cast<QAction*>(object);
               akcja && (akcja->menu() || akcja->property(kSlyszane).isValid())) {
        // In a menu bar a menu is what its item is known to be (the bar
        // also lends its items to a menu of its own, for those that do not fit).
        const QObjectList gdzie = akcja->associatedObjects();
        if (std::any_of(gdzie.cbegin(), gdzie.cend(),
                        [](const QObject* o) { return qobject_cast<const QMenuBar*>(o); }))
            return nullptr;
        for (QObject* o : gdzie) {
            if (auto* menu = qobject_cast<QMenu*>(o); menu && menu != akcja->menu())
                return new PozycjaMenu(menu, akcja);
        }
    }
    return nullptr;
}

// ---- combo boxes --------------------------------------------------------------------

class GlosWyboru : public QObject {
public:
    GlosWyboru(QComboBox* lista, const QString& co) : QObject(lista), m_lista(lista), m_co(co) {
        connect(lista, &QComboBox::currentIndexChanged, this, &GlosWyboru::zmieniono);
        lista->installEventFilter(this);
        odswiez();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        // Filled while its signals were blocked: the description catches up
        // when the box is reached.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::Show)
            odswiez();
        return false;
    }

private:
    QString wybor() const {
        return m_lista->currentIndex() < 0 ? QStringLiteral("nie wybrano") : m_lista->currentText();
    }
    void odswiez() {
        if (m_lista->accessibleDescription() != wybor())
            m_lista->setAccessibleDescription(wybor());
    }
    void zmieniono() {
        odswiez();
        if (!m_lista->hasFocus() || m_lista->view()->isVisible())
            return; // the open list says its rows itself
        oglos(m_lista, m_co + QStringLiteral(": ") + wybor());
    }

    QComboBox* m_lista;
    QString m_co;
};

// ---- keys of commands that cannot act ----------------------------------------------------

class PowodyNieczynnych : public QObject {
public:
    PowodyNieczynnych(QWidget* okno, std::function<QString(const QAction*)> powod)
        : QObject(okno), m_okno(okno), m_powod(std::move(powod)) {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
            static_cast<QWidget*>(watched)->window() != m_okno ||
            QApplication::activePopupWidget() || QApplication::activeModalWidget())
            return false;
        const QKeySequence klawisz(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QAction* akcja : m_okno->findChildren<QAction*>()) {
            if (akcja->isEnabled() || !akcja->shortcuts().contains(klawisz))
                continue;
            const QString powod = m_powod(akcja);
            if (powod.isEmpty())
                continue;
            oglos(m_okno, powod);
            return true;
        }
        return false;
    }

private:
    QWidget* m_okno;
    std::function<QString(const QAction*)> m_powod;
};

} // namespace

void wlaczUlatwienia() {
    static bool wlaczone = false;
    if (wlaczone || !qApp)
        return;
    wlaczone = true;
    qApp->installEventFilter(new FokusBezZaznaczenia(qApp));
    QAccessible::installFactory(fabryka);
}

bool krokAkapitem(const QKeyEvent* event, QTextCursor& kursor) {
    const Qt::KeyboardModifiers reszta = event->modifiers() & ~Qt::ShiftModifier;
    if ((event->key() != Qt::Key_Down && event->key() != Qt::Key_Up) ||
        (reszta & ~Qt::KeypadModifier))
        return false;
    const auto tryb =
        event->modifiers() & Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor;
    // Past the last paragraph to its end, before the first to its start, as
    // Down and Up go on the last and the first line.
    const bool dalej = event->key() == Qt::Key_Down
                           ? kursor.movePosition(QTextCursor::NextBlock, tryb)
                           : kursor.movePosition(QTextCursor::PreviousBlock, tryb);
    if (!dalej)
        kursor.movePosition(event->key() == Qt::Key_Down ? QTextCursor::End : QTextCursor::Start,
                            tryb);
    return true;
}

void slyszaneJako(QObject* obiekt, const QList<std::pair<QString, QString>>& slowa) {
    QStringList pary;
    for (const auto& [zapis, wymowa] : slowa) {
        Q_ASSERT(zapis.size() == wymowa.size());
        pary << zapis << wymowa;
    }
    obiekt->setProperty(kSlyszane, pary);
}

void mowWybor(QComboBox* lista, const QString& co) {
    new GlosWyboru(lista, co);
}

void mowPowodyNieczynnych(QWidget* okno, std::function<QString(const QAction*)> powod) {
    new PowodyNieczynnych(okno, std::move(powod));
}

QPushButton* przycisk(QWidget* rodzic, const char* nazwa, const QString& tekst,
                      const QString& opis) {
    auto* b = new QPushButton(tekst, rodzic);
    b->setObjectName(QString::fromLatin1(nazwa));
    b->setAccessibleName(opis);
    b->setAutoDefault(false);
    return b;
}

void zglosBiezacaKomorke(QAbstractItemView* widok, int kolumna) {
    const QModelIndex biezacy = widok->currentIndex();
    if (!QAccessible::isActive() || !widok->hasFocus() || !biezacy.isValid())
        return;
    QAccessibleInterface* lista = QAccessible::queryAccessibleInterface(widok);
    QAccessibleTableInterface* tabela = lista ? lista->tableInterface() : nullptr;
    QAccessibleInterface* komorka =
        tabela ? tabela->cellAt(biezacy.row(), kolumna < 0 ? biezacy.column() : kolumna) : nullptr;
    if (!komorka)
        return;
    QAccessibleEvent fokus(widok, QAccessible::Focus);
    fokus.setChild(lista->indexOfChild(komorka));
    QAccessible::updateAccessibility(&fokus);
}
