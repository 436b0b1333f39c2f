#pragma once
// The export's progress window: the step in hand (measuring a file, writing
// the MP3, building the DAISY book) and the bytes so far. "Anuluj", Esc or
// closing the window stops the export, which then removes what it wrote.

#include "eksport/EksportKsiazki.h"
#include "sesja/PracaWyjscia.h"
#include "widgets/OknoPostepu.h"

class TFormEksportPostep : public OknoPostepu {
    Q_OBJECT
public:
    explicit TFormEksportPostep(QWidget* owner);

    using Wynik = WynikEksportu;

    // Runs the export on a worker thread and returns when it has ended.
    // Its dziennik, postep and przerwac are set here.
    Wynik eksportuj(EksportKsiazki& eksport);
};
