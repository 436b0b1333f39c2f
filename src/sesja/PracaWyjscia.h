#pragma once
// The merge's and the export's windows as the user sees them: the merge
// dialog, which runs the merge itself, the export's choices and its
// progress. The main window shows them; tests run the work at once.

#include "eksport/EksportKsiazki.h"
#include "project/OpisKsiazki.h"
#include "project/Pozycja.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

class PamiecGlosnosci;

// What a merge starts from, decided before its dialog is shown.
struct UstawienieScalania {
    QString scalony; // the book's file
    ListaPozycji pozycje;
    QString plikProjektu; // never written over
    // The book's summary and its size; none when the user stopped it.
    std::optional<QStringList> podsumowanie;
    std::optional<std::int64_t> rozmiar;
    bool indeksSzacowany = false;
    double celLufs = 0;                // what "Wyrównaj głośność" levels to
    PamiecGlosnosci* pamiec = nullptr; // the loudness measurements kept
};

// How a merge ended, handed from the merge's worker to its dialog.
struct WynikScalania {
    bool zakonczone = false; // book and index files in place
    bool odmowa = false;     // refused before writing anything (see ZadanieScalania::odmowa)
    QString blad;
    QString glosnosc;   // the levelling's summary (ZadanieScalania::podsumowanieGlosnosci)
    QStringList czesci; // a book in parts: the parts' files, in order
};

// What the export window gathered; a target that is not chosen is empty.
struct WyborEksportu {
    OpisKsiazki opis;
    QString folderDaisy;
    QString plikRozdzialow;
    bool wyrownaj = false; // the audio levelled as the merge levels it
    double celLufs = 0;    // to this loudness, the merge's levelling's
};

struct WynikEksportu {
    bool udane = false;
    bool przerwano = false;
    QString blad; // when it failed
};

class PracaWyjscia {
public:
    virtual ~PracaWyjscia() = default;
    // The merge dialog, from which the user starts the merge.
    virtual void scal(const UstawienieScalania& ustawienie) = 0;
    // The export window filled with `wybor`; none when the user cancelled.
    virtual std::optional<WyborEksportu> wybierzEksport(const WyborEksportu& wybor) = 0;
    // Runs the export with its progress and stop; returns when it ended.
    virtual WynikEksportu eksportuj(EksportKsiazki& eksport) = 0;
};
