#include "widgets/PasekPostepu.h"

#include "base/Czas.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QShortcut>
#include <QTimer>

namespace {

// Name, role and value as a progress bar has them, the value in words and
// also as the description (the line a screen reader reads after the role).
// It offers no value interface: a value change is then not passed on to a
// screen reader, which would otherwise speak the bar every few seconds.
class DostepnyPasek : public QAccessibleWidget {
public:
    explicit DostepnyPasek(PasekPostepu* pasek)
        : QAccessibleWidget(pasek, QAccessible::ProgressBar) {}
    QString text(QAccessible::Text t) const override {
        auto* pasek = static_cast<const PasekPostepu*>(widget());
        if (t == QAccessible::Value || t == QAccessible::Description)
            return pasek->stan();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* fabryka(const QString&, QObject* object) {
    if (auto* pasek = qobject_cast<PasekPostepu*>(object))
        return new DostepnyPasek(pasek);
    return nullptr;
}

std::int64_t zegarSystemu() {
    static QElapsedTimer zegar = [] {
        QElapsedTimer z;
        z.start();
        return z;
    }();
    return zegar.elapsed();
}

} // namespace

PasekPostepu::PasekPostepu(QWidget* parent) : QProgressBar(parent), m_zegar(zegarSystemu) {
    static const bool zainstalowana = [] {
        QAccessible::installFactory(fabryka);
        return true;
    }();
    Q_UNUSED(zainstalowana);

    LabelCzas = new QLabel(parent);
    LabelCzas->setObjectName(QStringLiteral("LabelCzas"));
    LabelCzas->setTextFormat(Qt::PlainText);

    auto* klawisz = new QShortcut(QKeySequence(Qt::Key_F9), this, this, &PasekPostepu::powiedz,
                                  Qt::WindowShortcut);
    klawisz->setObjectName(QStringLiteral("KlawiszPostepu"));

    // The elapsed time moves on between the work's reports.
    m_takt = new QTimer(this);
    m_takt->setInterval(1000);
    connect(m_takt, &QTimer::timeout, this, &PasekPostepu::odswiez);
    connect(this, &QProgressBar::valueChanged, this, &PasekPostepu::odswiez);
}

QString PasekPostepu::opisKlawisza() {
    return QStringLiteral("F9: ile zostało");
}

void PasekPostepu::ustawZegar(std::function<std::int64_t()> zegar) {
    m_zegar = std::move(zegar);
}

void PasekPostepu::rozpocznij() {
    m_start = m_zegar();
    m_koniec = -1;
    m_ostatniaMowa = m_start;
    m_wartoscMowy = -1;
    m_trwa = true;
    m_takt->start();
    odswiez();
}

void PasekPostepu::zakoncz() {
    if (!m_trwa)
        return;
    m_koniec = m_zegar();
    m_trwa = false;
    m_takt->stop();
    odswiez();
}

void PasekPostepu::wyzeruj() {
    m_trwa = false;
    m_koniec = -1;
    m_takt->stop();
    odswiez();
}

std::int64_t PasekPostepu::uplynelo() const {
    return (m_koniec >= 0 ? m_koniec : m_zegar()) - m_start;
}

QString PasekPostepu::stan() const {
    return stanPostepu(value() - minimum(), maximum() - minimum(), m_trwa ? uplynelo() : 0);
}

QString PasekPostepu::czas() const {
    if (!m_trwa && m_koniec < 0)
        return QString();
    QString tekst = QStringLiteral("Upłynęło ") + czasTrwania(uplynelo());
    const std::int64_t zostalo =
        m_trwa ? szacujPozostalo(value() - minimum(), maximum() - minimum(), uplynelo()) : -1;
    if (zostalo > 0)
        tekst += QStringLiteral(", zostało ") + czasPozostaly(zostalo);
    return tekst;
}

void PasekPostepu::powiedz() {
    m_ostatniaMowa = m_zegar();
    m_wartoscMowy = value();
    oglos(this, stan());
}

void PasekPostepu::odswiez() {
    const QString tekst = czas();
    if (LabelCzas->text() != tekst)
        LabelCzas->setText(tekst);
    // Unasked, the state is said when it has moved and the last thing said
    // is at least kOdstepMowy old.
    if (m_trwa && value() != m_wartoscMowy && m_zegar() - m_ostatniaMowa >= kOdstepMowy)
        powiedz();
}
