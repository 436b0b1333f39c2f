#pragma once
// The export of a project into books for other players, beside the merge
// (which it does not touch): a DAISY 2.02 talking book (a folder with
// ncc.html, one SMIL file per chapter and each entry's audio copied byte
// for byte under a short ASCII name) and one MP3 file with chapters (an
// ID3v2 tag with CHAP and CTOC frames in front of the entries' bytes, which
// are the merged book's bytes). One chapter per entry, in list order, its
// times from the frames of every entry.
//
// Nothing half-made: the DAISY folder is built under a hidden temporary
// name beside its target and renamed when whole; the MP3 goes through the
// atomic writer; both are put in place together at the end. A failure or a
// stop removes what was written and leaves an earlier export as it was. An
// existing target is replaced only with `zastap` (the window asks first).
// The temporary folders of a DAISY book that a killed export left beside it
// are removed when the next export of that book starts.

#include "base/Errors.h"
#include "eksport/Rozdzial.h"
#include "eksport/TagiMp3.h"
#include "merge/PomiarMp3.h"
#include "project/OpisKsiazki.h"
#include "project/Pozycja.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class ZapisAtomowy;

// The export was stopped (przerwac); nothing was left behind.
class EPrzerwanyEksport : public SonvekError {
public:
    using SonvekError::SonvekError;
};

inline constexpr qint64 kMaksRozmiarOkladki = qint64{5} * 1024 * 1024;

// The details for the export window and the command line: those kept with
// the project, and where one is empty, what the entries' tags and the
// project tell (title: the first album, else the project file's name;
// author: the first artist; language "pl").
OpisKsiazki uzupelnijOpis(OpisKsiazki zapisany, const ListaPozycji& pozycje,
                          const QString& plikProjektu);

// The details with control characters left out and blanks trimmed; throws
// SonvekError with a Polish text for a missing title, a language that is
// no language tag, a year that is no year.
OpisKsiazki sprawdzonyOpis(const OpisKsiazki& opis);

// The cover picture: a JPEG or PNG file of at most 5 MB. Throws SonvekError.
Okladka wczytajOkladke(const QString& sciezka);

class EksportKsiazki {
public:
    EksportKsiazki(ListaPozycji pozycje, OpisKsiazki opis);
    ~EksportKsiazki();
    EksportKsiazki(const EksportKsiazki&) = delete;
    EksportKsiazki& operator=(const EksportKsiazki&) = delete;

    QString folderDaisy;    // the DAISY book's folder; empty: none
    QString plikRozdzialow; // the chaptered MP3; empty: none
    QString plikProjektu;   // the project's file, never written over
    bool zastap = false;    // an existing target may be replaced
    // Receives the export's steps and warnings, in order.
    std::function<void(const QString&)> dziennik;
    // Bytes read and written so far, and in all.
    std::function<void(std::int64_t, std::int64_t)> postep;
    // Asked often; true stops the export (EPrzerwanyEksport).
    std::function<bool()> przerwac;
    QString generator; // ncc:generator; the program's name and version when empty
    QString data;      // dc:date, yyyy-mm-dd; today when empty

    // The targets of the export that exist now, for the question before.
    QStringList istniejaceCele() const;

    // Measures the entries and writes both forms; throws SonvekError with a
    // Polish text (EPrzerwanyEksport when stopped), and then nothing new is
    // left on the disk.
    void wykonaj();

    const ListaRozdzialow& rozdzialy() const { return m_rozdzialy; }
    // Warnings the export gave (a bookmark cut at the end of its entry).
    const QStringList& uwagi() const { return m_uwagi; }

private:
    void loguj(const QString& linia) const;
    void sprawdzPrzerwanie() const;
    void sprawdzCele() const;
    void zmierz();
    void dodajPostep(std::int64_t bajty);
    void zbudujDaisy(const OpisKsiazki& opis);
    void sprawdzFormaty();
    void opiszCalyPlik(ZapisAtomowy& mp3);
    void usunTymczasowyFolder();
    void usunPozostalosci() const;

    ListaPozycji m_pozycje;
    OpisKsiazki m_opis;
    ListaRozdzialow m_rozdzialy;
    QStringList m_uwagi;
    QList<FormatDzwieku> m_formaty; // of each entry's first frame
    QString m_tymczasowyFolder;
    QString m_blokada; // beside it, locked while the export runs
    int m_blokadaFd = -1;
    std::int64_t m_zrobione = 0, m_wszystkie = 0;
};
