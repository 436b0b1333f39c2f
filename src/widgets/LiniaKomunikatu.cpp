#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
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

bool oknoAktywne() {
    static const bool bezMenedzeraOkien =
        QGuiApplication::platformName() == QLatin1String("offscreen") ||
        QGuiApplication::platformName() == QLatin1String("minimal");
    if (bezMenedzeraOkien)
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
