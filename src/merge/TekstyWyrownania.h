#pragma once
// What the log of a levelled merge says: a line per file with its step and
// why it is smaller than the target asks, and one summary line.

#include "audio/Glosnosc.h"

#include <QString>
#include <QStringList>

// "plik X: +3,0 dB (2 kroki po 1,505 dB), mowa −21,0 → −18,0 LUFS", with
// the reason for a smaller step (a silent file gets none), and a warning
// when `przyciete` frames' gains were held at the edge of their range.
QStringList linieKroku(const QString& sciezka, const KrokGlosnosci& krok, int przyciete);

// The files of a levelled book counted for its summary line.
struct LicznikWyrownania {
    int zmienione = 0, doCelu = 0, przezSzczyt = 0, przezZakres = 0, przyciete = 0, cisza = 0;
    void dodaj(const KrokGlosnosci& krok, double cel, int przycieteWpisu);
    // "Głośność wyrównana do −18,0 LUFS: zmieniono 2 z 3 plików; ..." for
    // a book of `n` files levelled to `cel`.
    QString tekst(double cel, qsizetype n) const;
};
