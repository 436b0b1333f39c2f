#pragma once
// The card copy's progress window. The files are copied one after another on
// a worker thread; the window, modal meanwhile, shows the file being copied
// and the bytes so far, and "Anuluj" (or Esc, or closing it) stops the copy
// at the next chunk. The window never asks anything: every question comes
// before it exists.

#include "card/CardFiles.h"
#include "widgets/OknoPostepu.h"

#include <QStringList>

class TFormKopiowanie : public OknoPostepu {
    Q_OBJECT
public:
    explicit TFormKopiowanie(QWidget* owner);

    struct Wynik {
        QList<RaportKopiowania> raporty; // one per file attempted, in order
        bool przerwano = false;          // the user stopped the copy
    };

    // Copies `pliki` into `korzen` in order and returns when every file is
    // done or the user has stopped the copy. A file already on the card is
    // replaced only when its card path is in `zamien`.
    Wynik kopiuj(const QStringList& pliki, const QString& korzen, const QStringList& zamien,
                 const KopiowanieNaKarte& kopiowanie);

private:
    void pokaz(const QString& nazwa, int numer, int razem, std::int64_t bajty,
               std::int64_t wszystkie);
};
