#pragma once
// The card's progress window, for copying a book to the card, for checking
// the book on the card against the store and for ejecting the card. The work runs on a
// worker thread; the window, modal meanwhile, names the file and the stage
// (writing or reading back) with the bytes so far, and "Anuluj" (or Esc, or
// closing it) stops the work at the next chunk. The window never asks
// anything: every question comes before it exists.

#include "card/KartaKsiazek.h"
#include "card/KsiazkaNaKarcie.h"
#include "card/Wysuwanie.h"
#include "widgets/OknoPostepu.h"

#include <QList>
#include <QStringList>

// How a book on the card is checked against the store's; on a worker.
using SprawdzanieNaKarcie = std::function<RaportSprawdzenia(
    const QStringList& pliki, const QString& korzen, const ObslugaKopiowania& obsluga)>;

class TFormKopiowanie : public OknoPostepu {
    Q_OBJECT
public:
    enum class Tryb { Kopiowanie, Sprawdzanie, Wysuwanie };
    explicit TFormKopiowanie(QWidget* owner, Tryb tryb = Tryb::Kopiowanie);

    // Copies the book's files `pliki` into `korzen` and returns when it is
    // done or the user has stopped it. Files already on the card are
    // replaced only when their card paths are in `zamien`.
    RaportKopiowania kopiuj(const QStringList& pliki, const QString& korzen,
                            const QStringList& zamien, const KopiowanieNaKarte& kopiowanie);

    // Copies several store books (their audio files' paths) in one go
    // (kopiujKsiazkiNaKarte); a book already on the card is replaced when
    // `czyZamienic` says so for its card path.
    RaportKopiiWielu kopiujKsiazki(const QStringList& ksiazki, const QString& korzen,
                                   const ZrodloWolnegoMiejsca& zrodlo,
                                   const std::function<bool(const QString&)>& czyZamienic,
                                   const KopiowanieNaKarte& kopiowanie);

    // Checks the book's files on the card against `pliki` in the store.
    RaportSprawdzenia sprawdz(const QStringList& pliki, const QString& korzen,
                              const SprawdzanieNaKarcie& sprawdzanie = sprawdzKsiazkeNaKarcie);

    // Ejects the card with `wysuwanie`; the bar only shows that the work
    // goes on, and a stop cannot end an unmount already asked for.
    WynikWysuniecia wysun(const QString& korzen,
                          const std::function<WynikWysuniecia(const QString&)>& wysuwanie);

private:
    // A progress callback for the worker that shows the stage on the window.
    ObslugaKopiowania obsluga(const QStringList& pliki);
    void pokaz(const PostepKarty& postep);

    Tryb m_tryb;
    QStringList m_nazwy;
    QList<std::int64_t> m_rozmiary;
    std::int64_t m_wszystkie = 0; // bytes of every stage together
};
