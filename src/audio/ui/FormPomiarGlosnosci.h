#pragma once
// The progress window of loudness measuring. The files are measured on
// worker threads, a few at a time (one decoder each); the window, modal
// meanwhile, names a file being measured and how many are done, and
// "Anuluj" (or Esc, or closing it) stops the work within the files in hand.
// Every file measured goes into the loudness memory at once, so a stop
// keeps what was done and the next run measures only the rest.

#include "audio/Glosnosc.h"
#include "widgets/OknoPostepu.h"

#include <QHash>
#include <QStringList>

class TFormPomiarGlosnosci : public OknoPostepu {
    Q_OBJECT
public:
    explicit TFormPomiarGlosnosci(QWidget* owner);

    using Wynik = WynikPomiaruGlosnosci;

    // Measures every file of `pliki` that `pamiec` holds no current
    // measurement of, `watki` at a time, with `miernik`. Shows the window
    // only when there is something to measure.
    Wynik zmierz(const QStringList& pliki, PamiecGlosnosci& pamiec, const MiernikGlosnosci& miernik,
                 int watki = 2);
};
