#pragma once
// The card's long work as the user sees it: a copy, a check and an eject,
// each with its progress and a stop. The main window shows its progress
// window meanwhile; tests run the work at once. None of them asks
// anything: every question comes before.

#include "card/KsiazkaNaKarcie.h"
#include "card/Wysuwanie.h"

#include <QStringList>
#include <functional>

class PracaKarty {
public:
    virtual ~PracaKarty() = default;
    // Copies `pliki` into `korzen` with `kopiowanie`; files already on the
    // card are replaced only when their card paths are in `zamien`.
    virtual RaportKopiowania kopiuj(const QStringList& pliki, const QString& korzen,
                                    const QStringList& zamien,
                                    const KopiowanieNaKarte& kopiowanie) = 0;
    // Checks the book's files on the card against `pliki` in the store.
    virtual RaportSprawdzenia sprawdz(const QStringList& pliki, const QString& korzen) = 0;
    // Ejects the card with `wysuwanie`.
    virtual WynikWysuniecia
    wysun(const QString& korzen,
          const std::function<WynikWysuniecia(const QString&)>& wysuwanie) = 0;
};
