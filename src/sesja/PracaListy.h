#pragma once
// The list's long work and what the list shows, as the user sees them: a
// folder measured, titles searched, loudness measured and the entries'
// files examined, each with its progress and a stop; the row the focus
// goes to, the beep after adding, the loudness report. The main window
// shows its windows; tests answer at once.

#include "audio/Glosnosc.h"
#include "audio/WykrywanieTytulu.h"
#include "merge/Podsumowanie.h"
#include "project/Otwieranie.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class PracaListy {
public:
    virtual ~PracaListy() = default;
    // The MP3 files of `folder` and its subfolders with their lengths; none
    // when the user stopped the work.
    virtual std::optional<ZmierzonePliki> zmierzFolder(const QString& folder) = 0;
    // `wykrywanie` over every file of `pliki`, under the caption `tytul`,
    // naming each file with `czynnosc`.
    virtual WynikWykrywania wykryj(const QStringList& pliki, int przerwaMs,
                                   const WykrywanieTytulow& wykrywanie, const QString& tytul,
                                   const QString& czynnosc) = 0;
    // Measures the files `pamiec` holds no current measurement of.
    virtual WynikPomiaruGlosnosci zmierzGlosnosc(const QStringList& pliki, PamiecGlosnosci& pamiec,
                                                 const MiernikGlosnosci& miernik) = 0;
    // The entries' files examined; none when the user stopped the work.
    virtual std::optional<QList<PlikKsiazki>> zbadaj(const ListaPozycji& pozycje,
                                                     const MiernikMp3& miernik) = 0;
    // The "Głośność" report, one line a line.
    virtual void pokazRaportGlosnosci(const QStringList& linie) = 0;
    // A playback ends before files are added.
    virtual void zatrzymajOdtwarzanie() = 0;
    // The focus into the list, on row `wiersz` (-1: the rows as they are).
    virtual void pokazWiersz(int wiersz) = 0;
    // The sound that ends an adding.
    virtual void sygnal() = 0;
    // Runs one part of a command: a part that fails is told and the next
    // part goes on.
    virtual void osobno(const std::function<void()>& czesc) = 0;
};
