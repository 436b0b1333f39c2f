#include "merge/WyrownanieWpisow.h"

#include <QFileInfo>

#include <algorithm>

WyrownanieWpisow::WyrownanieWpisow(double cel, QStringList sciezki, PamiecGlosnosci* pamiec)
    : m_cel(cel), m_sciezki(std::move(sciezki)), m_pamiec(pamiec ? *pamiec : m_wlasnaPamiec) {
    m_glosnosci = m_pamiec.znane(m_sciezki, m_doZmierzenia, &m_zmierzone);
}

std::int64_t WyrownanieWpisow::wagaPomiaru() const {
    std::int64_t waga = 0;
    for (const QString& sciezka : m_doZmierzenia)
        waga += kWagaPomiaru * std::max<std::int64_t>(0, QFileInfo(sciezka).size());
    return waga;
}

bool WyrownanieWpisow::zmierz(const MiernikGlosnosci& miernik, const std::atomic_bool* przerwanie,
                              const std::function<void(std::int64_t)>& zrobione) {
    const MiernikGlosnosci zmierz =
        miernik ? miernik : [](const QString& sciezka, const std::atomic_bool* przerwij) {
            return zmierzGlosnosc(sciezka, przerwij);
        };
    for (const QString& sciezka : std::as_const(m_doZmierzenia)) {
        const std::int64_t waga =
            kWagaPomiaru * std::max<std::int64_t>(0, QFileInfo(sciezka).size());
        StanPliku stan;
        const auto pomiar = m_pamiec.zmierz(sciezka, zmierz, przerwanie, &stan);
        if (!pomiar)
            return false;
        m_glosnosci.insert(sciezka, *pomiar);
        m_zmierzone.insert(sciezka, stan);
        zrobione(waga);
    }
    m_doZmierzenia.clear();
    m_kroki.clear();
    for (const QString& sciezka : std::as_const(m_sciezki))
        m_kroki.append(krokGlosnosci(m_glosnosci.value(sciezka), m_cel));
    return true;
}

bool WyrownanieWpisow::zmierzony(int i, const StanPliku& teraz) const {
    return kroki(i) == 0 || teraz == m_zmierzone.value(m_sciezki.at(i));
}

QStringList WyrownanieWpisow::dodaj(int i, int przyciete) {
    m_licznik.dodaj(m_kroki.at(i), m_cel, przyciete);
    return linieKroku(m_sciezki.at(i), m_kroki.at(i), przyciete);
}

bool WyrownanieWpisow::zmieniaRamki() const {
    return std::any_of(m_kroki.cbegin(), m_kroki.cend(),
                       [](const KrokGlosnosci& k) { return k.kroki != 0; });
}
