#pragma once
// The merge of a project into one book: stage 1 appends the entries' files,
// byte for byte and in list order, into one file, reading each file once in
// large blocks that its frame walk measures on the way; stage 2 writes the
// two index files beside it. The merge dialog runs the
// stages one by one on the user-interface thread, the command-line merge
// runs them in a row; both go through this class.
//
// Nothing the user had is lost: the book and its index files are written
// under temporary names in the target folder and put in place together
// only when both stages have succeeded. A failure removes the temporary
// files and leaves any earlier book of that name as it was. Temporary files
// of this book that an earlier, killed merge left behind are removed when
// the next merge of it starts.
//
// The index places each bookmark on the frames themselves, found by the
// walk that reads each entry's file: the frame where other players hear
// the bookmark's moment (the encoder's delay counted, which they leave
// out). With indeksSzacowany it estimates each bookmark's place from the
// book's average rate instead, as the player's own books were made; the
// duration that takes is the book's as the player measures the book, taken
// from the same walk, and the log names every bookmark the estimate puts
// more than a second from its place.
//
// With celGlosnosci the book is levelled: before the copy each entry's
// loudness is measured (unless already known), and its audio frames go into
// the book with their global gains moved by the whole number of 1.5 dB
// steps krokGlosnosci gives (audio/Glosnosc.h). Frame lengths stay, so the
// book's size and both index files are those of the unlevelled book.
//
// With limitCzesci the book is written as parts ("ksiazka-1.mp3",
// "ksiazka-2.mp3", ...), each with its own index files, split between
// entries: each part is the merge of its entries alone, and all parts are
// put in place together or none is.

#include "audio/Glosnosc.h"
#include "base/ObslugaZadania.h"
#include "merge/CzesciKsiazki.h"
#include "merge/PomiarMp3.h"
#include "merge/UkladKsiazki.h"
#include "merge/WyrownanieWpisow.h"
#include "project/Pozycja.h"

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class ZapisKsiazki;

// Its log, progress and stop (ObslugaZadania): the progress counts the bytes
// copied so far and the bytes to copy (with levelling, the entries to
// measure first count too, each byte of them as several, for measuring is
// slower than copying). przerwac is asked before each entry's file, after
// each copied chunk and between the steps of stage 2; true stops the merge
// as if it had failed, but with the log line "Scalanie przerwane" and
// przerwane() true. Once the finished files are being put in place the
// merge is no longer stopped.
class ZadanieScalania : public ObslugaZadania {
public:
    // `scalony`: the merged file's name as the user chose it. `pozycje`:
    // the project's entries in list order, read once here.
    ZadanieScalania(QString scalony, ListaPozycji pozycje, MiernikMp3 miernik);
    // Removes temporary files an unfinished merge left behind.
    ~ZadanieScalania();
    ZadanieScalania(const ZadanieScalania&) = delete;
    ZadanieScalania& operator=(const ZadanieScalania&) = delete;

    // The project file the entries come from, when there is one: the merge
    // never writes over it.
    QString plikProjektu;
    // Estimate each bookmark's place from the book's average rate instead
    // of placing it on its frames; the estimate misses by seconds in a book
    // whose files differ in bit rate or carry large tags. Off by default.
    bool indeksSzacowany = false;
    // Sees the bytes of every audio frame of entry `wpis` (counted from 0)
    // before they are written into the book, and may change them in place,
    // not their length. Only with the program's own measure, which reads
    // each file once; empty: the frames are copied unchanged.
    std::function<void(int wpis, unsigned char* ramka, int bajty)> przeksztalcRamke;
    // The loudness the book is levelled to (LUFS); unset by default, and the
    // book is then the entries' bytes as they are. Needs the program's own
    // measure (one that hands the bytes on); with another the merge fails.
    std::optional<double> celGlosnosci;
    // Measures an entry's loudness for levelling; empty: zmierzGlosnosc.
    MiernikGlosnosci miernikGlosnosci;
    // Measurements already known: an entry found here is not measured again,
    // and what is measured is kept here. May be empty.
    PamiecGlosnosci* pamiecGlosnosci = nullptr;
    // A flag another thread sets with przerwac, watched inside each
    // loudness measurement, which may take long for one big file.
    const std::atomic_bool* przerwanie = nullptr;
    // Above 0: the book is written as parts of at most this many bytes
    // (see podzialNaCzesci and nazwaCzesci); the single book of the chosen
    // name, if there is one, is replaced by them, its index files too.
    std::int64_t limitCzesci = 0;

    // Runs one stage. An error ends the merge: the temporary files are
    // removed, one line "Błąd: " with the error's text is logged, the text
    // is kept in blad() and false returned. A stage after a failed one does
    // nothing and returns false.
    bool SklejPliki();
    bool UtworzIndeksy();
    // Both stages in a row.
    bool wykonaj();

    bool zakonczone() const { return stan == Stan::Gotowe; }
    bool nieudane() const { return stan == Stan::Blad || stan == Stan::Przerwane; }
    bool przerwane() const { return stan == Stan::Przerwane; }
    QString blad() const { return tekstBledu; }
    // The merge was refused before anything was written because of the
    // names it would write or an entry that is no regular file (see
    // sprawdzNazwy).
    bool odmowa() const { return odmowiono; }

    // After a levelled stage 1: the levelling's summary line (also logged).
    QString podsumowanieGlosnosci() const { return tekstWyrownania; }

    QString scalony() const { return nazwaScalonego; }
    // After a merge in parts: the parts' book files, in order.
    QStringList czesci() const { return nazwyCzesci; }
    QString plikDat() const;
    QString plikLog() const;

private:
    enum class Stan { Nowe, Sklejone, Gotowe, Blad, Przerwane };
    // Thrown where the merge notices it is to stop.
    struct Przerwanie {};

    void sklej();
    void utworzIndeksy();
    void sklejCzesci();
    void nazwijCzesci(int ile);
    std::unique_ptr<ZadanieScalania> zadanieCzesci(int k, int poczatek, int n, std::int64_t przed,
                                                   std::int64_t dalej);
    void utworzIndeksyCzesci();
    void bladCzesci(const ZadanieScalania& czesc);
    std::int64_t sprawdzNazwy() const;
    QStringList sciezkiWpisow() const;
    void sprawdzPrzerwanie() const;
    void niepowodzenie(const QString& tekst);
    bool etap(void (ZadanieScalania::*praca)(), Stan przed, Stan po);
    void usunTymczasowe();
    void usunPozostalosci() const;
    std::optional<PolozenieZakladki> umiescZakladke(int i, const PomiarMp3& pomiar) const;
    std::optional<FormatDzwieku> dopiszWpis(int i, ZapisKsiazki& zapis, QFile& scalony,
                                            WyrownanieWpisow* wyrownanie,
                                            const std::function<void(std::int64_t)>& zglos);
    void logujFormaty(const QList<std::optional<FormatDzwieku>>& formaty) const;
    void opiszCalaKsiazke(int deskryptor, bool wyrownana);
    void logujChybioneSzacunki(std::int64_t predkosc) const;

    QString nazwaScalonego;
    ListaPozycji wpisy;
    MiernikMp3 miernik;
    Stan stan = Stan::Nowe;
    QString tekstBledu;
    bool odmowiono = false;
    // Temporary files in the target folder: the book, the .dat and the .log,
    // named with one random mark. The book's stays open and locked while the
    // merge lives, which tells a merge starting meanwhile that these files
    // are no leftovers.
    QString znacznik;
    QString tymczasowyScalony;
    std::unique_ptr<QFile> plikTymczasowy;
    QStringList tymczasowe;
    // Where each entry lies in the book, as the walk found it.
    UkladKsiazki uklad;
    QString tekstWyrownania;
    // A part of a book in parts: its finished files wait, under their
    // temporary names, for the whole book's (gotowe: temporary, target).
    bool odlozUmieszczenie = false;
    QList<std::pair<QString, QString>> gotowe;
    std::vector<std::unique_ptr<ZadanieScalania>> zadaniaCzesci;
    QStringList nazwyCzesci;
};
