#include "audio/PrzegladZakladek.h"

#include "base/Czas.h"

#include <algorithm>
#include <limits>

namespace {

// The bound of a file whose length is unknown: a bookmark is an int32 of ms.
constexpr std::int64_t kBezKonca = std::numeric_limits<std::int32_t>::max();

std::int64_t koniecPliku(const ZakladkaPrzegladu& z) {
    return z.dlugoscPlikuMs ? std::max<std::int64_t>(*z.dlugoscPlikuMs, 0) : kBezKonca;
}

} // namespace

PrzegladZakladek::PrzegladZakladek(QList<ZakladkaPrzegladu> pozycje)
    : m_pozycje(std::move(pozycje)), m_poczatkowe(m_pozycje), m_zatwierdzone(m_pozycje.size()) {}

void PrzegladZakladek::ogranicz(ZakladkaPrzegladu& z) const {
    const std::int64_t koniec = koniecPliku(z);
    z.poczatekMs = std::clamp<std::int64_t>(z.poczatekMs, 0, koniec);
    z.dlugoscMs = std::clamp<std::int64_t>(z.dlugoscMs, 0, koniec - z.poczatekMs);
}

QString PrzegladZakladek::tekstZakladki(const ZakladkaPrzegladu& z) const {
    QString tekst = QStringLiteral("zakładka od %1, długość %2")
                        .arg(czasMowiony(z.poczatekMs), czasMowiony(z.dlugoscMs));
    if (z.dlugoscPlikuMs)
        tekst += QStringLiteral(", %1 z %2")
                     .arg(czasMowiony(z.poczatekMs), czasMowiony(*z.dlugoscPlikuMs, false));
    else
        tekst += QStringLiteral(", długość pliku nieznana");
    return tekst;
}

QString PrzegladZakladek::tekstPozycji() const {
    if (zakonczony())
        return podsumowanie();
    const ZakladkaPrzegladu& z = pozycja();
    QString tekst =
        QStringLiteral("Pozycja %1 z %2: %3, ").arg(m_biezaca + 1).arg(liczba()).arg(z.nazwa) +
        tekstZakladki(z);
    if (m_zatwierdzone.at(m_biezaca))
        tekst += QStringLiteral(", zatwierdzona");
    else if (z.sprawdzona)
        tekst += QStringLiteral(", sprawdzona");
    return tekst;
}

QString PrzegladZakladek::przesunPoczatek(std::int64_t ms) {
    if (zakonczony())
        return {};
    ZakladkaPrzegladu& z = m_pozycje[m_biezaca];
    const std::int64_t dlugosc = z.dlugoscMs;
    const std::int64_t chciany = z.poczatekMs + ms;
    z.poczatekMs = chciany;
    ogranicz(z);
    QString tekst = QStringLiteral("Początek ") + czasMowiony(z.poczatekMs);
    if (chciany < 0)
        tekst += QStringLiteral(", początek pliku");
    else if (chciany > z.poczatekMs)
        tekst += QStringLiteral(", koniec pliku");
    if (z.dlugoscMs != dlugosc)
        tekst += QStringLiteral(", długość ") + czasMowiony(z.dlugoscMs);
    return tekst;
}

QString PrzegladZakladek::zmienDlugosc(std::int64_t ms) {
    if (zakonczony())
        return {};
    ZakladkaPrzegladu& z = m_pozycje[m_biezaca];
    const std::int64_t chciana = z.dlugoscMs + ms;
    z.dlugoscMs = chciana;
    ogranicz(z);
    QString tekst = QStringLiteral("Długość ") + czasMowiony(z.dlugoscMs);
    if (chciana > z.dlugoscMs)
        tekst += QStringLiteral(", do końca pliku");
    return tekst;
}

QString PrzegladZakladek::ustaw(std::int64_t poczatekMs, std::int64_t dlugoscMs,
                                const QString& co) {
    if (zakonczony())
        return {};
    ZakladkaPrzegladu& z = m_pozycje[m_biezaca];
    z.poczatekMs = poczatekMs;
    z.dlugoscMs = dlugoscMs;
    ogranicz(z);
    return co + QStringLiteral(": ") + tekstZakladki(z);
}

std::pair<std::int64_t, std::int64_t> PrzegladZakladek::zakres() const {
    const ZakladkaPrzegladu& z = pozycja();
    return {z.poczatekMs, z.poczatekMs + z.dlugoscMs};
}

std::pair<std::int64_t, std::int64_t> PrzegladZakladek::zakresZPrzedbiegiem() const {
    const auto [od, doKonca] = zakres();
    return {std::max<std::int64_t>(od - kPrzedbiegMs, 0), doKonca};
}

QString PrzegladZakladek::zatwierdz() {
    if (zakonczony())
        return podsumowanie();
    m_zatwierdzone[m_biezaca] = m_pozycje.at(m_biezaca);
    ++m_biezaca;
    return QStringLiteral("Zatwierdzona. ") + tekstPozycji();
}

// A bookmark moved since it was last accepted (or since the review began)
// is not written unless accepted: leaving it says so.
QString PrzegladZakladek::pomin() {
    if (zakonczony())
        return podsumowanie();
    if (m_biezaca + 1 >= liczba())
        return QStringLiteral("To ostatnia pozycja. Enter zatwierdza, Escape kończy przegląd.");
    const auto& zapisana = m_zatwierdzone.at(m_biezaca);
    const bool zmieniona = m_pozycje.at(m_biezaca) != zapisana.value_or(m_poczatkowe.at(m_biezaca));
    ++m_biezaca;
    return (zmieniona ? QStringLiteral("Pominięta, zmiana zakładki nie zostanie zapisana. ")
                      : QStringLiteral("Pominięta. ")) +
           tekstPozycji();
}

QString PrzegladZakladek::wstecz() {
    if (m_biezaca == 0)
        return QStringLiteral("To pierwsza pozycja. ") + tekstPozycji();
    m_biezaca = std::min(m_biezaca, liczba()) - 1;
    return tekstPozycji();
}

QList<std::pair<int, ZakladkaPrzegladu>> PrzegladZakladek::zatwierdzone() const {
    QList<std::pair<int, ZakladkaPrzegladu>> wynik;
    for (int i = 0; i < m_zatwierdzone.size(); ++i) {
        if (m_zatwierdzone.at(i))
            wynik.append({i, *m_zatwierdzone.at(i)});
    }
    return wynik;
}

QString PrzegladZakladek::podsumowanie() const {
    int zmienione = 0;
    const auto lista = zatwierdzone();
    for (const auto& [i, z] : lista) {
        if (z.poczatekMs != m_poczatkowe.at(i).poczatekMs ||
            z.dlugoscMs != m_poczatkowe.at(i).dlugoscMs)
            ++zmienione;
    }
    return QStringLiteral("Przegląd zakończony. Zatwierdzone: %1 z %2, zmienione zakładki: %3.")
        .arg(lista.size())
        .arg(liczba())
        .arg(zmienione);
}
