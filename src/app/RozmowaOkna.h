#pragma once
// The session's questions and the card's long work as the main window
// shows them: "Uwaga" message boxes, file dialogs and the notice window
// owned by the main window, and the card's progress window.

#include "sesja/PracaKarty.h"
#include "sesja/Rozmowa.h"

class Komunikaty;
class TMainForm;

class RozmowaOkna final : public Rozmowa, public PracaKarty {
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

private:
    TMainForm& m_okno;
    Komunikaty& m_komunikaty;
};
