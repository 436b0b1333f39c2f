#pragma once
// The export of a project into books for other players, beside the merge
// (which it does not touch): a DAISY 2.02 talking book (a folder with
// ncc.html, one SMIL file per chapter and each entry's audio copied byte
// for byte under a short ASCII name) and one MP3 file with chapters (an
// ID3v2 tag with CHAP and CTOC frames in front of the entries' bytes, which
// are the merged book's bytes). One chapter per entry, in list order, its
// times from the frames of every entry.
//
// Nothing half-made, nothing lost: both forms are written under temporary
// names beside their targets and put in place together when whole, a
// kill included (UmieszczenieKsiazki.h); a failure or a stop removes what
// was written. An existing target is replaced only with `zastap` (the
// window asks first, with the question celeDoZastapienia gives), and never
// when it is, or holds, what the export reads or keeps (the project, an
// entry's file, the store: compared by what the names lead to, not by
// their text), when it is a symbolic link, or when a folder is not a DAISY
// book this program made: only such a book is ever removed.
//
// The audio is copied without the entries' own tags: each entry's frames
// only, so that other players meet no tag inside the stream; the chaptered
// MP3 carries one ID3v2.4 tag, in front. Each entry is read as the merge
// reads it into a book (merge/PrzejscieWpisu.h), so that with celGlosnosci
// both forms are levelled as a levelled merge is.

#include "base/Errors.h"
#include "base/ObslugaZadania.h"
#include "eksport/Rozdzial.h"
#include "eksport/TagiMp3.h"
#include "merge/PomiarMp3.h"
#include "merge/WyrownanieWpisow.h"
#include "project/OpisKsiazki.h"
#include "project/Pozycja.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class PostacKsiazki;
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

// Its log (steps and warnings), progress (bytes read and written so far,
// and in all) and stop (EPrzerwanyEksport) are those of ObslugaZadania.
class EksportKsiazki : public ObslugaZadania {
public:
    EksportKsiazki(ListaPozycji pozycje, OpisKsiazki opis);
    ~EksportKsiazki();
    EksportKsiazki(const EksportKsiazki&) = delete;
    EksportKsiazki& operator=(const EksportKsiazki&) = delete;

    QString folderDaisy;    // the DAISY book's folder; empty: none
    QString plikRozdzialow; // the chaptered MP3; empty: none
    QString plikProjektu;   // the project's file, never written over
    QString magazyn;        // the store of merged books, never written over
    bool zastap = false;    // an existing target may be replaced
    QString data;           // dc:date, yyyy-mm-dd; today when empty
    // The loudness the audio is levelled to (LUFS), as a levelled merge
    // levels its book; unset: the entries' frames as they are. The
    // measure, the measurements already known and the flag that stops a
    // measurement are those of ZadanieScalania.
    std::optional<double> celGlosnosci;
    MiernikGlosnosci miernikGlosnosci;
    PamiecGlosnosci* pamiecGlosnosci = nullptr;
    const std::atomic_bool* przerwanie = nullptr;
    // Test seam: called at each step of putting the results in place
    // ("plan" once both are whole and the plan is recorded, "daisy" once
    // the book is in place, "mp3" once the MP3 is too).
    std::function<void(const char*)> poKroku;

    // The targets that exist now, each with the question to ask before it
    // is replaced. Throws SonvekError with the refusal when a target may
    // not be replaced at all (see above), so nothing is asked in vain.
    struct CelDoZastapienia {
        QString sciezka;
        QString pytanie;
    };
    QList<CelDoZastapienia> celeDoZastapienia() const;

    // Measures the entries and writes both forms; throws SonvekError with a
    // Polish text (EPrzerwanyEksport when stopped), and then nothing new is
    // left on the disk.
    void wykonaj();

    const ListaRozdzialow& rozdzialy() const { return m_rozdzialy; }
    // Warnings the export gave (a bookmark cut at the end of its entry).
    const QStringList& uwagi() const { return m_uwagi; }

private:
    void uwaga(const QString& linia);
    void sprawdzPrzerwanie() const;
    // `wolnoZastapic`: `zastap`, or the targets were put there just now by
    // finishing a killed export.
    void sprawdzCele(bool wolnoZastapic) const;
    void zmierz();
    void dodajPostep(std::int64_t bajty);
    void sprawdzFormaty();
    // Copies entry i's audio (see RozdzialKsiazki::dzwiek) to `zapisz`.
    void kopiujDzwiek(int i, const std::function<void(const char*, qint64)>& zapisz);
    void zmierzGlosnosc();
    void podsumujWyrownanie();
    void zapiszPostac(PostacKsiazki&& postac, const OpisKsiazki& opis);

    ListaPozycji m_pozycje;
    OpisKsiazki m_opis;
    ListaRozdzialow m_rozdzialy;
    QStringList m_uwagi;
    QList<FormatDzwieku> m_formaty; // of each entry's first frame
    // An information frame for the MP3 with chapters when the first entry
    // has none; empty otherwise.
    std::vector<unsigned char> m_nowyNaglowek;
    Okladka m_okladkaWpisow; // the first picture of the entries' tags
    std::int64_t m_zrobione = 0, m_wszystkie = 0;
    std::optional<WyrownanieWpisow> m_wyrownanie;
    QList<int> m_przyciete; // of each entry levelled so far
    bool m_wyrownanieOpisane = false;
};
