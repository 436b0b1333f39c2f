#pragma once
// The import of a book into a new project. First it reads its sources
// (czytaj: a DAISY 2.02 or DAISY 3 book, a cue sheet, audio files with
// chapters, plain audio files or folders of them) into chapters that the
// window and sonvek-import list before anything is written; then it writes
// (zapisz) the project: one entry per chapter, each chapter's audio in an
// MP3 file of its own in a new folder beside the project file and named
// after it, the entry's bookmark over the chapter's announcement (the
// spoken heading) where the source tells it, the file's ID3 title the
// chapter's title, and the heading level in the entry.
//
// MP3 audio is never encoded again: a chapter of MP3 files is their frames
// cut at the frame boundaries nearest to its times, byte for byte (see
// CiecieMp3.h). Joined again by the merge, the chapters of one file give
// back its very stream, the bit reservoir of every frame intact; played
// alone, a chapter that starts where a frame borrows bits from the frames
// before starts, as any player that seeks there does, with those frames
// quiet (no click). Everything else is decoded (FFmpeg) and encoded by
// LAME at one constant bit rate, sample rate and channel count for the
// whole import, chapters in parallel on every core.
//
// Nothing lost, nothing half-made: an existing project file or folder is
// never written over (EIstniejacyCel); the folder is built under a hidden
// name and put in place, the project file after it, only when every
// chapter is written and synced; a failure, a full disk or a stop removes
// what was written; what a killed import left is removed by the next one.

#include "import/KoderMp3.h"
#include "import/Rozdzialy.h"
#include "project/Pozycja.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>

// The project file or its folder exists already; the window asks for
// another name.
class EIstniejacyCel : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// The extensions of the audio files a folder is searched for.
QStringList rozszerzeniaDzwieku();

// The encoding the non-MP3 chapters of `z` get when `kodowanie` asks for
// it: a rate or channel count of 0 takes the first MP3 file's, else 44100
// Hz mono.
FormatKodowania wybranyFormat(const ZnalezioneRozdzialy& z, const FormatKodowania& kodowanie);

// What the import window says of the encoding before anything is written:
// that an all-MP3 source is only cut, or the format wybranyFormat() will
// really choose (the MP3 files' rate and channels in a mixed source).
QString opisKodowania(const ZnalezioneRozdzialy& z, const FormatKodowania& kodowanie);

class ImportKsiazki {
public:
    explicit ImportKsiazki(QStringList zrodla);
    ~ImportKsiazki();
    ImportKsiazki(const ImportKsiazki&) = delete;
    ImportKsiazki& operator=(const ImportKsiazki&) = delete;

    // Receive the import's steps, in order, on the calling thread.
    std::function<void(const QString&)> dziennik;
    // Audio done and in all, in ms (reading MP3 frames and writing each
    // chapter both count), on the calling thread, a few times a second.
    std::function<void(std::int64_t zrobione, std::int64_t wszystkie)> postep;
    // Asked a few times a second on the calling thread; true stops the
    // import (EPrzerwanyImport), which leaves nothing behind.
    std::function<bool()> przerwac;

    // A flag another thread sets to stop czytaj(), which runs on the
    // calling thread and asks przerwac only between sources.
    const std::atomic_bool* przerwanie = nullptr;

    // The encoding of whatever is not MP3. A rate or channel count of 0
    // takes the first MP3 source's (so that a book of MP3 and other files
    // stays of one format), else 44100 Hz mono: 64 kb/s mono is clear for
    // speech, and MPEG-1 at 44.1 kHz is what every player decodes.
    FormatKodowania kodowanie{0, 0, 64};
    // The bookmark's length for a chapter whose announcement is unknown.
    int domyslnaZakladka = 5000;
    // Threads that write chapters; 0: one per core.
    int watki = 0;

    // Reads the sources. Throws EBladZrodla (EPrzerwanyImport when stopped).
    const ZnalezioneRozdzialy& czytaj();
    const ZnalezioneRozdzialy& znalezione() const { return m_znalezione; }
    // The encoding the non-MP3 chapters get (after czytaj).
    FormatKodowania format() const;

    // Reads the sources if not read yet and writes the project `plikProjektu`
    // (".xml" added when it has none) and its folder. Throws
    // EIstniejacyCel, EBladZrodla, EInOutError (a full disk),
    // EPrzerwanyImport; then nothing new is left.
    void zapisz(const QString& plikProjektu);

    // After zapisz: the entries written, the project file and the folder.
    const ListaPozycji& pozycje() const { return m_pozycje; }
    QString plikProjektu() const { return m_plikProjektu; }
    QString folder() const { return m_folder; }

    // The project file and folder `plikProjektu` names (".xml" added).
    static QString plikDla(const QString& plikProjektu);
    static QString folderDla(const QString& plikProjektu);

private:
    struct Praca;
    void loguj(const QString& linia) const;

    QStringList m_zrodla;
    ZnalezioneRozdzialy m_znalezione;
    bool m_przeczytane = false;
    ListaPozycji m_pozycje;
    QString m_plikProjektu, m_folder;
};
