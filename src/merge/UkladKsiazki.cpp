#include "merge/UkladKsiazki.h"

void UkladKsiazki::dodaj(const PomiarMp3& pomiar, std::int64_t bajty,
                         std::optional<PolozenieZakladki> zakladka) {
    Wpis w;
    w.bajtOd = m_rozmiar;
    w.bajty = bajty;
    w.dlugoscMs = pomiar.dlugoscMs;
    w.zakladka = zakladka;
    const bool pierwszy = m_wpisy.isEmpty();
    // A walk that told no units, or other units than the book's so far,
    // counts in whole ms.
    if (pomiar.jednostekNaMs <= 0 ||
        (m_jednostekNaMs != 0 && m_jednostekNaMs != pomiar.jednostekNaMs)) {
        w.czasOd = m_milisekundy;
        w.czas = pomiar.dlugoscMs;
        m_milisekundy += w.czas;
    } else {
        m_jednostekNaMs = pomiar.jednostekNaMs;
        w.czasOd = m_jednostki;
        w.czas = pierwszy ? pomiar.czas : pomiar.czasWKsiazce;
        m_jednostki += w.czas;
    }
    m_rozmiar += bajty;
    m_wpisy.append(w);
}

std::int64_t UkladKsiazki::czasMs() const {
    if (m_jednostekNaMs == 0)
        return m_milisekundy;
    return m_milisekundy + (m_jednostki + m_jednostekNaMs / 2) / m_jednostekNaMs;
}

QList<WpisIndeksu> UkladKsiazki::indeks(const ListaPozycji& pozycje, bool szacowany) const {
    QList<WpisIndeksu> wiersze;
    wiersze.reserve(m_wpisy.size());
    for (qsizetype i = 0; i < m_wpisy.size() && i < pozycje.size(); ++i) {
        const PozycjaProjektu& p = pozycje.at(i);
        wiersze.append({p.Poczatek, p.Dlugosc, m_wpisy.at(i).bajty, p.sciezka(),
                        szacowany ? std::nullopt : m_wpisy.at(i).zakladka});
    }
    return wiersze;
}
