#include "widgets/FormPomoc.h"

#include "widgets/LiniaKomunikatu.h"
#include "widgets/Ulatwienia.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

TekstPomocy::TekstPomocy(QWidget* parent) : QTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse |
                            Qt::LinksAccessibleByKeyboard | Qt::LinksAccessibleByMouse);
}

// A page is a new document, not new content of the shown one: a screen
// reader told of text removed and inserted in the focused text before the
// window's activation reaches it takes that text as the focus unsaid, and
// the window's opening is then not said at all.
void TekstPomocy::wczytaj(const QString& path) {
    auto* strona = new QTextDocument(this);
    strona->setDefaultFont(font());
    strona->setUndoRedoEnabled(false);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_strona = QUrl();
        strona->setPlainText(QStringLiteral("Nie znaleziono strony pomocy:\n%1")
                                 .arg(QDir::toNativeSeparators(path)));
    } else {
        m_strona = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        strona->setBaseUrl(m_strona);
        strona->setHtml(QString::fromUtf8(file.readAll()));
    }
    // The first document is the editor's own, which it deletes itself.
    const QPointer<QTextDocument> poprzednia = document();
    setDocument(strona);
    if (poprzednia && poprzednia->parent() == this)
        delete poprzednia;
}

void TekstPomocy::przejdz(const QString& href) {
    const QUrl cel = m_strona.resolved(QUrl(href));
    if (cel.isLocalFile() && cel.adjusted(QUrl::RemoveFragment) != m_strona) {
        wczytaj(cel.toLocalFile());
    } else if (!cel.isLocalFile()) {
        QDesktopServices::openUrl(cel);
        return;
    }
    if (!cel.hasFragment())
        return;
    // The place's line is selected, which a screen reader reads out, and
    // reading goes on from there.
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(cel.fragment())) {
                QTextCursor cursor(block);
                cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
                setTextCursor(cursor);
                ensureCursorVisible();
                return;
            }
        }
    }
}

bool TekstPomocy::focusNextPrevChild(bool next) {
    // The links as ranges of the text, in order.
    struct Odnosnik {
        int start;
        int end;
    };
    QList<Odnosnik> odnosniki;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref().isEmpty())
                continue;
            const int start = fragment.position();
            const int end = start + fragment.length();
            if (!odnosniki.isEmpty() && odnosniki.constLast().end == start)
                odnosniki.last().end = end; // one link in several formats
            else
                odnosniki.append({start, end});
        }
    }
    const QTextCursor cursor = textCursor();
    const Odnosnik* cel = nullptr;
    if (next) {
        for (const Odnosnik& o : odnosniki) {
            if (o.start >= cursor.selectionEnd() && o.start != cursor.selectionStart()) {
                cel = &o;
                break;
            }
        }
    } else {
        for (auto it = odnosniki.crbegin(); it != odnosniki.crend(); ++it) {
            if (it->end <= cursor.selectionStart()) {
                cel = &*it;
                break;
            }
        }
    }
    if (!cel)
        return QTextEdit::focusNextPrevChild(next);
    QTextCursor wybor(document());
    wybor.setPosition(cel->start);
    wybor.setPosition(cel->end, QTextCursor::KeepAnchor);
    setTextCursor(wybor);
    ensureCursorVisible();
    return true;
}

// A link chosen with Tab is selected; the caret may also just stand on one.
QString TekstPomocy::odnosnikPrzyKursorze() const {
    QTextCursor cursor = textCursor();
    for (int position : {cursor.selectionStart() + 1, cursor.position(), cursor.position() + 1}) {
        cursor.setPosition(std::clamp(position, 0, document()->characterCount() - 1));
        const QString href = cursor.charFormat().anchorHref();
        if (!href.isEmpty())
            return href;
    }
    return {};
}

void TekstPomocy::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        const QString href = odnosnikPrzyKursorze();
        if (!href.isEmpty()) {
            przejdz(href);
            return;
        }
    }
    QTextCursor kursor = textCursor();
    if (krokAkapitem(event, kursor)) {
        setTextCursor(kursor);
        ensureCursorVisible();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void TekstPomocy::mouseReleaseEvent(QMouseEvent* event) {
    QTextEdit::mouseReleaseEvent(event);
    const QString href = anchorAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !href.isEmpty())
        przejdz(href);
}

TFormPomoc::TFormPomoc(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormPomoc"));
    setWindowTitle(QStringLiteral("Pomoc"));
    setModal(false);
    resize(640, 520);

    TextPomoc = new TekstPomocy(this);
    TextPomoc->setObjectName(QStringLiteral("TextPomoc"));
    TextPomoc->setAccessibleName(QStringLiteral("Treść pomocy"));

    // Not a default button: Enter belongs to the links of the page. Esc closes.
    Button1 = new QPushButton(QStringLiteral("Zamknij"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

    auto* przyciski = new QHBoxLayout;
    przyciski->addStretch();
    przyciski->addWidget(Button1);
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(TextPomoc);
    uklad->addLayout(przyciski);
}

void TFormPomoc::pokaz(const QString& path) {
    TextPomoc->wczytaj(path);
    m_powiedziec = true;
    const bool byloAktywne = isVisible() && isActiveWindow();
    show();
    raise();
    activateWindow();
    TextPomoc->setFocus();
    if (byloAktywne)
        powiedzStrone();
}

void TFormPomoc::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        powiedzStrone();
}

void TFormPomoc::powiedzStrone() {
    if (!std::exchange(m_powiedziec, false))
        return;
    QString pierwsza;
    for (QTextBlock b = TextPomoc->document()->begin(); b.isValid() && pierwsza.isEmpty();
         b = b.next())
        pierwsza = b.text().simplified();
    oglos(this,
          pierwsza.isEmpty() ? windowTitle() : windowTitle() + QStringLiteral(": ") + pierwsza);
}
