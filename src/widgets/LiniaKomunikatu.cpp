#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <utility>

namespace {

class DostepnaLinia : public QAccessibleWidget {
public:
    explicit DostepnaLinia(LiniaKomunikatu* linia)
        : QAccessibleWidget(linia, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    // A hidden line belongs to no window as a screen reader sees it, so
    // that what it says comes without the window's texts read again.
    QAccessibleInterface* parent() const override {
        if (widget()->isHidden() && qApp)
            return QAccessible::queryAccessibleInterface(qApp);
        return QAccessibleWidget::parent();
    }
};

QAccessibleInterface* fabryka(const QString&, QObject* object) {
    if (auto* linia = qobject_cast<LiniaKomunikatu*>(object))
        return new DostepnaLinia(linia);
    return nullptr;
}

bool bezMenedzeraOkien() {
    static const bool bez = QGuiApplication::platformName() == QLatin1String("offscreen") ||
                            QGuiApplication::platformName() == QLatin1String("minimal");
    return bez;
}

bool oknoAktywne() {
    if (bezMenedzeraOkien())
        return true;
    const QWidget* aktywne = QApplication::activeWindow();
    return aktywne && aktywne->isVisible();
}

} // namespace

std::function<bool()> LiniaKomunikatu::slyszalne = oknoAktywne;
int LiniaKomunikatu::limitCzekaniaMs = 1500;

LiniaKomunikatu::LiniaKomunikatu(QWidget* parent) : QLabel(parent) {
    static const bool zainstalowana = [] {
        QAccessible::installFactory(fabryka);
        return true;
    }();
    Q_UNUSED(zainstalowana);
    PierwszenstwoOgloszen::zainstaluj();
    setTextFormat(Qt::PlainText);
}

void LiniaKomunikatu::ustaw(const QString& text) {
    setText(text);
    if (text.isEmpty())
        return;
    m_zalegle.append(text);
    if (slyszalne()) {
        powiedzZalegle(true);
        return;
    }
    if (!m_czekanie) {
        m_czekanie = new QTimer(this);
        m_czekanie->setSingleShot(true);
        connect(m_czekanie, &QTimer::timeout, this, [this] { powiedzZalegle(true); });
    }
    if (!m_czekanie->isActive())
        m_czekanie->start(limitCzekaniaMs);
    // Queued: the window's own activation reaches a screen reader first.
    if (!m_aktywacja)
        m_aktywacja = connect(
            qApp, &QGuiApplication::focusWindowChanged, this, [this] { powiedzZalegle(false); },
            Qt::QueuedConnection);
}

void LiniaKomunikatu::powiedzZalegle(bool juz) {
    if (!juz && !slyszalne())
        return;
    if (m_czekanie)
        m_czekanie->stop();
    disconnect(m_aktywacja);
    m_aktywacja = {};
    const QStringList teksty = std::exchange(m_zalegle, {});
    for (const QString& t : teksty)
        powiedz(t);
}

void LiniaKomunikatu::powiedz(const QString& text) {
    if (m_glosy.size() < kGlosy) {
        auto* glos = new LiniaKomunikatu(this);
        glos->setObjectName(objectName() + QStringLiteral("Glos"));
        glos->hide();
        m_glosy.append(glos);
    }
    LiniaKomunikatu* glos = m_glosy.at(m_nastepny);
    m_nastepny = (m_nastepny + 1) % kGlosy;
    glos->setText(text);
    QAccessibleEvent pokazana(glos, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&pokazana);
    // What else the command says in this turn goes before the window's
    // focused item too.
    if (PierwszenstwoOgloszen::wstrzymane())
        QTimer::singleShot(0, qApp, &PierwszenstwoOgloszen::wypusc);
}

LiniaKomunikatu* ogloszenie(QWidget* okno) {
    QWidget* w = okno->window();
    const QString nazwa = QStringLiteral("Ogloszenie");
    auto* linia = w->findChild<LiniaKomunikatu*>(nazwa, Qt::FindDirectChildrenOnly);
    if (!linia) {
        linia = new LiniaKomunikatu(w);
        linia->setObjectName(nazwa);
        linia->hide();
    }
    return linia;
}

void oglos(QWidget* okno, const QString& tekst) {
    ogloszenie(okno)->ustaw(tekst);
}

namespace PierwszenstwoOgloszen {

std::function<void(QAccessibleEvent*)> dalej;
int limitMs = 300;

namespace {

// An event held back: what it is about is looked up again when it is sent,
// as the object may be gone by then.
struct Wstrzymane {
    QAccessible::Event typ;
    QPointer<QObject> obiekt;
    int dziecko;
    QAccessible::State zmiana;
};

QList<Wstrzymane> g_kolejka;
bool g_wstrzymuj = false;
int g_pokolenie = 0;

void doMostu(QAccessibleEvent* event) {
    // The platform's bridge is what QAccessible calls without a handler.
    // A table's model change was already applied to its interface before
    // any handler and means nothing to the bridge; it is not sent twice.
    if (event->type() == QAccessible::TableModelChanged)
        return;
    QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(przyjmij);
}

class Straznik : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::WindowActivate && o->isWidgetType() &&
            static_cast<QWidget*>(o)->isWindow())
            wstrzymaj();
        return false;
    }
};

} // namespace

void zainstaluj() {
    static bool zainstalowany = false;
    if (zainstalowany || bezMenedzeraOkien() || !qApp)
        return;
    zainstalowany = true;
    dalej = doMostu;
    QAccessible::installUpdateHandler(przyjmij);
    qApp->installEventFilter(new Straznik(qApp));
}

bool wstrzymane() {
    return g_wstrzymuj;
}

void wstrzymaj() {
    g_wstrzymuj = true;
    const int pokolenie = ++g_pokolenie;
    // After the program's turn (what a dialog's caller does once the dialog
    // has closed runs before the event loop comes back) the wait goes on a
    // little for a result that comes in the next turns.
    QTimer::singleShot(0, qApp, [pokolenie] {
        QTimer::singleShot(limitMs, qApp, [pokolenie] {
            if (pokolenie == g_pokolenie)
                wypusc();
        });
    });
}

void przyjmij(QAccessibleEvent* event) {
    if (event->type() != QAccessible::Focus && event->type() != QAccessible::StateChanged) {
        if (dalej)
            dalej(event);
        return;
    }
    // The focus and states a command changes go after what it says in the
    // same turn: a list that moves its current row while a command works
    // would otherwise have the row read before the command's result.
    QAccessible::State zmiana;
    if (event->type() == QAccessible::StateChanged)
        zmiana = static_cast<QAccessibleStateChangeEvent*>(event)->changedStates();
    g_kolejka.append({event->type(), event->object(), event->child(), zmiana});
    if (!g_wstrzymuj) {
        g_wstrzymuj = true;
        QTimer::singleShot(0, qApp, [pokolenie = ++g_pokolenie] {
            if (pokolenie == g_pokolenie)
                wypusc();
        });
    }
}

void wypusc() {
    g_wstrzymuj = false;
    ++g_pokolenie;
    const QList<Wstrzymane> kolejka = std::exchange(g_kolejka, {});
    for (const Wstrzymane& w : kolejka) {
        if (!w.obiekt)
            continue;
        if (w.typ == QAccessible::StateChanged) {
            QAccessibleStateChangeEvent e(w.obiekt, w.zmiana);
            e.setChild(w.dziecko);
            if (e.accessibleInterface() && dalej)
                dalej(&e);
        } else {
            QAccessibleEvent e(w.obiekt, w.typ);
            e.setChild(w.dziecko);
            if (e.accessibleInterface() && dalej)
                dalej(&e);
        }
    }
}

} // namespace PierwszenstwoOgloszen
