#include "sesja/Sesja.h"

#include "audio/Glosnosc.h"
#include "sesja/Rozmowa.h"

Sesja::Sesja(Rozmowa& rozmowa, PracaKarty& praca, SettingsStore& store, ModelProjektu& projekt,
             HistoriaProjektu& historia, UslugiSesji uslugi)
    : m_rozmowa(rozmowa), m_praca(praca), m_store(store), m_projekt(projekt), m_historia(historia),
      m_uslugi(std::move(uslugi)) {}

void Sesja::odczytajKonfiguracje() {
    if (const auto uwagaUstawien = ::odczytajKonfiguracje(m_store, m_konfiguracja))
        m_rozmowa.powiadom(*uwagaUstawien);
}

double Sesja::celLufs() const {
    return celGlosnosci(m_konfiguracja.Wykrywanie.CelGlosnosci).value_or(kDomyslnyCelLufs);
}

void Sesja::zapiszKonfiguracje(const Konfiguracja& k) {
    ::zapiszKonfiguracje(m_store, k, m_konfiguracja);
}
