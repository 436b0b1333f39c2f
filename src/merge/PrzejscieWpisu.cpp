#include "merge/PrzejscieWpisu.h"

#include "audio/WzmocnienieRamek.h"

PrzejscieWpisu przejdzWpis(const QString& sciezka, int deskryptor, std::int64_t rozmiar,
                           const MiernikMp3& miernik, int kroki,
                           const std::function<void(const unsigned char*, std::int64_t)>& odbierz,
                           const std::function<void(unsigned char*, int)>& ramka) {
    PrzejscieWpisu wynik;
    CzytanieWpisu czytanie{deskryptor,
                           rozmiar,
                           [&](const unsigned char* dane, std::int64_t n) {
                               odbierz(dane, n);
                               wynik.bajty += n;
                           },
                           {}};
    if (ramka || kroki != 0)
        czytanie.przeksztalcRamke = [&](unsigned char* dane, int n) {
            if (kroki != 0)
                wynik.przyciete += zmienWzmocnienie({dane, std::size_t(n)}, kroki);
            if (ramka)
                ramka(dane, n);
        };
    wynik.pomiar = miernik(sciezka, czytanie);
    return wynik;
}
