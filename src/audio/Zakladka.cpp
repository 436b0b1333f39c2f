#include "audio/Zakladka.h"

QString czasMinuty(std::int64_t ms) {
    const bool ujemny = ms < 0;
    const std::int64_t dziesiate = (ujemny ? -ms : ms) / 100;
    const std::int64_t sekundy = dziesiate / 10;
    const std::int64_t minuty = sekundy / 60;
    const QString reszta =
        QStringLiteral("%1,%2").arg(sekundy % 60, 2, 10, QLatin1Char('0')).arg(dziesiate % 10);
    QString tekst;
    if (minuty >= 60)
        tekst = QStringLiteral("%1:%2:%3")
                    .arg(minuty / 60)
                    .arg(minuty % 60, 2, 10, QLatin1Char('0'))
                    .arg(reszta);
    else
        tekst = QStringLiteral("%1:%2").arg(minuty).arg(reszta);
    return ujemny ? QLatin1Char('-') + tekst : tekst;
}

ZakresZakladki zakresZakladki(std::int64_t poczatek, std::int64_t dlugosc,
                              std::int64_t dlugoscPliku) {
    if (poczatek >= dlugoscPliku)
        return ZakresZakladki::PoczatekZaKoncem;
    if (poczatek + dlugosc > dlugoscPliku)
        return ZakresZakladki::KoniecZaKoncem;
    return ZakresZakladki::WPliku;
}

QString ostrzezenieZakladki(std::int64_t poczatek, std::int64_t dlugosc,
                            std::int64_t dlugoscPliku) {
    const QString plik =
        QStringLiteral("plik trwa %1 ms (%2)").arg(dlugoscPliku).arg(czasMinuty(dlugoscPliku));
    switch (zakresZakladki(poczatek, dlugosc, dlugoscPliku)) {
    case ZakresZakladki::PoczatekZaKoncem:
        return QStringLiteral("Uwaga: zakładka zaczyna się na końcu pliku albo za nim: początek "
                              "%1 ms, %2.")
            .arg(poczatek)
            .arg(plik);
    case ZakresZakladki::KoniecZaKoncem:
        return QStringLiteral("Uwaga: zakładka kończy się za końcem pliku: koniec %1 ms, %2.")
            .arg(poczatek + dlugosc)
            .arg(plik);
    case ZakresZakladki::WPliku:
        break;
    }
    return {};
}
