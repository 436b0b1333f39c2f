#pragma once
// The session's questions and the card's and the list's long work as the
// main window shows them: "Uwaga" message boxes, file dialogs and the notice
// window owned by the main window, and the progress windows.

#include "sesja/PracaKarty.h"
#include "sesja/PracaListy.h"
#include "sesja/PracaWyjscia.h"
#include "sesja/Rozmowa.h"

class Komunikaty;
class OknoTekstu;
class TMainForm;

class RozmowaOkna final : public Rozmowa,
                          public PracaKarty,
                          public PracaListy,
                          public PracaWyjscia {
public:
    RozmowaOkna(TMainForm& okno, Komunikaty& komunikaty) : m_okno(okno), m_komunikaty(komunikaty) {}

    void powiadom(const QString& tekst) override;
    Odpowiedz zapytaj(const Pytanie& pytanie) override;
    QStringList wybierzPliki(const WyborPlikow& wybor) override;
    QString wybierzPlikDoZapisu(const WyborPlikow& wybor) override;
    void pokazListe(const QString& naglowek, const QStringList& linie) override;
    void oglos(const QString& tekst) override;
    void ustawStatus(const QString& tekst) override;
    bool czekajBezZamrazania(const std::function<void()>& praca, int limitMs) override;

    RaportKopiowania kopiuj(const QStringList& pliki, const QString& korzen,
                            const QStringList& zamien,
                            const KopiowanieNaKarte& kopiowanie) override;
    RaportSprawdzenia sprawdz(const QStringList& pliki, const QString& korzen) override;
    WynikWysuniecia wysun(const QString& korzen,
                          const std::function<WynikWysuniecia(const QString&)>& wysuwanie) override;

    std::optional<ZmierzonePliki> zmierzFolder(const QString& folder) override;
    WynikWykrywania wykryj(const QStringList& pliki, int przerwaMs,
                           const WykrywanieTytulow& wykrywanie, const QString& tytul,
                           const QString& czynnosc) override;
    WynikPomiaruGlosnosci zmierzGlosnosc(const QStringList& pliki, PamiecGlosnosci& pamiec,
                                         const MiernikGlosnosci& miernik) override;
    std::optional<QList<PlikKsiazki>> zbadaj(const ListaPozycji& pozycje,
                                             const MiernikMp3& miernik) override;
    void pokazRaportGlosnosci(const QStringList& linie) override;
    void zatrzymajOdtwarzanie() override;
    void pokazWiersz(int wiersz) override;
    void sygnal() override;
    void osobno(const std::function<void()>& czesc) override;

    void scal(const UstawienieScalania& ustawienie) override;
    std::optional<WyborEksportu> wybierzEksport(const WyborEksportu& wybor) override;
    WynikEksportu eksportuj(EksportKsiazki& eksport) override;

private:
    TMainForm& m_okno;
    Komunikaty& m_komunikaty;
    OknoTekstu* m_raportGlosnosci = nullptr; // made on first use
};
