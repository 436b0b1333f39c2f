#include "audio/ui/WykresFali.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kSiatkaMs = 10; // edges land on the analysis windows' grid

// A screen reader meets the picture as a graphic, not as an empty panel.
QAccessibleInterface* dostepnosc(const QString& klasa, QObject* obiekt) {
    if (klasa == "WykresFali"_L1 && obiekt && obiekt->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(obiekt), QAccessible::Graphic);
    return nullptr;
}

// Tenths of a second, rounded, with a decimal comma: "7,3".
QString dziesiate(qint64 dziesiatych) {
    const QString znak = dziesiatych < 0 ? u"-"_s : QString();
    dziesiatych = std::abs(dziesiatych);
    return u"%1%2,%3"_s.arg(znak).arg(dziesiatych / 10).arg(dziesiatych % 10);
}

qint64 wDziesiatych(qint64 ms) {
    return ms >= 0 ? (ms + 50) / 100 : -((-ms + 50) / 100);
}

// "1:23,4", "1:02:03,4".
QString czasPliku(qint64 ms) {
    const qint64 d = wDziesiatych(ms);
    const qint64 sekund = d / 10, minut = sekund / 60, godzin = minut / 60;
    const QString sek = u"%1,%2"_s.arg(sekund % 60, 2, 10, QLatin1Char('0')).arg(d % 10);
    if (godzin > 0)
        return u"%1:%2:%3"_s.arg(godzin).arg(minut % 60, 2, 10, QLatin1Char('0')).arg(sek);
    return u"%1:%2"_s.arg(minut).arg(sek);
}

} // namespace

WykresFali::WykresFali(QWidget* parent) : QWidget(parent) {
    static const bool zarejestrowana = [] {
        QAccessible::installFactory(dostepnosc);
        return true;
    }();
    Q_UNUSED(zarejestrowana);
    setObjectName(u"WykresFali"_s);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(u"Obraz dźwięku"_s);
    setCursor(Qt::SizeHorCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    odswiezOpis();
}

QString WykresFali::opis(qint64 poczatekMs, qint64 dlugoscMs, qint64 dlugoscPlikuMs) {
    QString tekst = u"Zakładka od %1 s do %2 s"_s.arg(
        dziesiate(wDziesiatych(poczatekMs)), dziesiate(wDziesiatych(poczatekMs + dlugoscMs)));
    if (dlugoscPlikuMs > 0)
        tekst += u", plik "_s + czasPliku(dlugoscPlikuMs);
    return tekst;
}

void WykresFali::ustawObraz(ObrazDzwieku obraz, qint64 dlugoscPlikuMs) {
    obraz_ = std::move(obraz);
    dlugoscPliku_ = dlugoscPlikuMs;
    float szczyt = 0;
    for (const OknoDzwieku& o : obraz_.okna)
        szczyt = std::max({szczyt, -o.min, o.max});
    skala_ = 1 / std::max(szczyt, 0.01f); // quiet files fill the height too, noise does not
    odswiezOpis();
    update();
}

void WykresFali::ustawZakladke(qint64 poczatekMs, qint64 dlugoscMs) {
    if (maZakladke_ && poczatekMs == poczatek_ && dlugoscMs == dlugosc_)
        return;
    maZakladke_ = true;
    poczatek_ = poczatekMs;
    dlugosc_ = dlugoscMs;
    odswiezOpis();
    update();
}

void WykresFali::bezZakladki() {
    if (!maZakladke_)
        return;
    maZakladke_ = false;
    poczatek_ = dlugosc_ = 0;
    odswiezOpis();
    update();
}

void WykresFali::ustawKursor(std::optional<qint64> ms) {
    if (ms == kursor_)
        return;
    kursor_ = ms;
    update();
}

QSize WykresFali::sizeHint() const {
    return {480, fontMetrics().height() * 5};
}

QSize WykresFali::minimumSizeHint() const {
    return {120, fontMetrics().height() * 2};
}

qint64 WykresFali::rozpietoscMs() const {
    if (!obraz_.okna.empty())
        return obraz_.dlugoscMs();
    return std::max<qint64>(1, std::min<qint64>(dlugoscPliku_, kObrazMaksMs));
}

double WykresFali::x(qint64 ms) const {
    return double(ms) * width() / double(rozpietoscMs());
}

qint64 WykresFali::ms(double x) const {
    if (width() <= 0)
        return 0;
    const double naSiatce = std::round(x * double(rozpietoscMs()) / width() / kSiatkaMs);
    return std::clamp<qint64>(qint64(naSiatce) * kSiatkaMs, 0, rozpietoscMs());
}

void WykresFali::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.base());

    QColor zaznaczenie = pal.color(QPalette::Highlight);
    const double x0 = std::clamp(x(poczatek_), -2.0, width() + 2.0);
    const double x1 = std::clamp(x(poczatek_ + dlugosc_), x0, width() + 2.0);
    zaznaczenie.setAlpha(80);
    if (maZakladke_)
        p.fillRect(QRectF(x0, 0, x1 - x0, height()), zaznaczenie);

    const double srodek = height() / 2.0;
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(QPointF(0, srodek), QPointF(width(), srodek));
    const std::size_t n = obraz_.okna.size();
    if (n > 0) {
        p.setPen(pal.color(QPalette::Text));
        const double wys = (height() / 2.0 - 1) * skala_;
        for (int kol = 0; kol < width(); ++kol) {
            // The windows under this pixel column, at least one.
            const std::size_t od = std::min(n - 1, std::size_t(kol) * n / std::size_t(width()));
            const std::size_t doOkna =
                std::max(od + 1, std::min(n, std::size_t(kol + 1) * n / std::size_t(width())));
            float lo = 0, hi = 0;
            for (std::size_t i = od; i < doOkna; ++i) {
                lo = std::min(lo, obraz_.okna[i].min);
                hi = std::max(hi, obraz_.okna[i].max);
            }
            p.drawLine(QPointF(kol + 0.5, srodek - hi * wys),
                       QPointF(kol + 0.5, srodek - lo * wys));
        }
    }

    if (maZakladke_) {
        zaznaczenie.setAlpha(255);
        p.setPen(QPen(zaznaczenie, 2));
        p.drawLine(QPointF(x0, 0), QPointF(x0, height()));
        p.drawLine(QPointF(x1, 0), QPointF(x1, height()));
    }

    if (kursor_) {
        p.setPen(QPen(QColor(200, 0, 0), 2));
        const double xk = x(*kursor_);
        p.drawLine(QPointF(xk, 0), QPointF(xk, height()));
    }
}

void WykresFali::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // The nearer edge follows the pointer from the press on.
    const double px = event->position().x();
    ciagnieta_ = std::abs(px - x(poczatek_)) <= std::abs(px - x(poczatek_ + dlugosc_))
                     ? Krawedz::Poczatek
                     : Krawedz::Koniec;
    przesunKrawedz(px);
}

void WykresFali::mouseMoveEvent(QMouseEvent* event) {
    if (ciagnieta_ != Krawedz::Zadna)
        przesunKrawedz(event->position().x());
}

void WykresFali::mouseReleaseEvent(QMouseEvent* event) {
    if (ciagnieta_ != Krawedz::Zadna && event->button() == Qt::LeftButton) {
        przesunKrawedz(event->position().x());
        ciagnieta_ = Krawedz::Zadna;
    }
}

void WykresFali::przesunKrawedz(double px) {
    const qint64 koniec = std::max<qint64>(poczatek_ + dlugosc_, 0);
    qint64 poczatek = poczatek_, dlugosc = dlugosc_;
    if (ciagnieta_ == Krawedz::Poczatek) {
        poczatek = std::min(ms(px), koniec); // not past the end
        dlugosc = koniec - poczatek;
    } else {
        dlugosc = std::max(ms(px), poczatek) - poczatek; // not before the start
    }
    const bool innyPoczatek = poczatek != poczatek_, innaDlugosc = dlugosc != dlugosc_;
    ustawZakladke(poczatek, dlugosc);
    if (innyPoczatek)
        emit poczatekZmieniony(poczatek);
    if (innaDlugosc)
        emit dlugoscZmieniona(dlugosc);
}

void WykresFali::odswiezOpis() {
    if (maZakladke_) {
        setAccessibleDescription(opis(poczatek_, dlugosc_, dlugoscPliku_));
        return;
    }
    QString tekst = u"Zakładka nieokreślona"_s;
    if (dlugoscPliku_ > 0)
        tekst += u", plik "_s + czasPliku(dlugoscPliku_);
    setAccessibleDescription(tekst);
}
