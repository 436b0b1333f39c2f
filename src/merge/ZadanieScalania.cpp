#include "merge/ZadanieScalania.h"

#include "audio/NaglowekXing.h"
#include "audio/StanPliku.h"
#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/PlikiTymczasowe.h"
#include "base/Text.h"
#include "base/TozsamoscPlikow.h"
#include "base/Transakcja.h"
#include "base/ZwyklyPlik.h"
#include "merge/Formaty.h"
#include "merge/IndexFile.h"
#include "merge/PrzejscieWpisu.h"
#include "merge/ZapisKsiazki.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

// Whether the entry's file stayed the same while it was read: the open
// file as it was before and after, and the file its path names afterwards
// (an editor that saves by renaming puts another one there).
void sprawdzNiezmieniony(const QString& sciezka, const StanPliku& przed, int deskryptor) {
    const StanPliku po = StanPliku::deskryptora(deskryptor, false);
    const StanPliku teraz = StanPliku::pliku(sciezka, false);
    if (!(po == przed) || !(teraz == przed))
        throw SonvekError(QStringLiteral("Plik %1 zmienił się podczas scalania, więc książka nie "
                                         "byłaby jego wierną kopią. Nie zapisano nowej książki; "
                                         "poprzednia (jeśli była) została bez zmian. Zaczekaj, aż "
                                         "plik przestanie się zmieniać, i scal ponownie")
                              .arg(sciezka));
}

QString ostrzezeniePominiete(const QString& sciezka, std::int64_t bajty) {
    const std::int64_t jednosci = bajty % 10, dziesiatki = bajty % 100;
    QString ile;
    if (bajty == 1)
        ile = QStringLiteral("1 bajt, który nie jest");
    else if (jednosci >= 2 && jednosci <= 4 && (dziesiatki < 12 || dziesiatki > 14))
        ile = QStringLiteral("%1 bajty, które nie są").arg(bajty);
    else
        ile = QStringLiteral("%1 bajtów, które nie są").arg(bajty);
    return QStringLiteral("Uwaga: w pliku %1 pominięto %2 dźwiękiem MP3").arg(sciezka, ile);
}

} // namespace

ZadanieScalania::ZadanieScalania(QString scalony, ListaPozycji pozycje, MiernikMp3 miernik)
    : nazwaScalonego(std::move(scalony)), wpisy(std::move(pozycje)), miernik(std::move(miernik)) {}

ZadanieScalania::~ZadanieScalania() {
    usunTymczasowe();
}

QString ZadanieScalania::plikDat() const {
    return nazwaIndeksu(nazwaScalonego, QStringLiteral("dat"));
}

QString ZadanieScalania::plikLog() const {
    return nazwaIndeksu(nazwaScalonego, QStringLiteral("log"));
}

QStringList ZadanieScalania::sciezkiWpisow() const {
    QStringList sciezki;
    sciezki.reserve(wpisy.size());
    for (const PozycjaProjektu& p : wpisy)
        sciezki.append(p.sciezka());
    return sciezki;
}

bool ZadanieScalania::etap(void (ZadanieScalania::*praca)(), Stan przed, Stan po) {
    if (stan != przed)
        return false;
    try {
        (this->*praca)();
        stan = po;
        return true;
    } catch (const Przerwanie&) {
        usunTymczasowe();
        stan = Stan::Przerwane;
        loguj(QStringLiteral("Scalanie przerwane"));
    } catch (const std::exception& e) {
        niepowodzenie(errorMessage(e));
    } catch (...) {
        niepowodzenie(QStringLiteral("Nieznany błąd"));
    }
    return false;
}

bool ZadanieScalania::SklejPliki() {
    return etap(&ZadanieScalania::sklej, Stan::Nowe, Stan::Sklejone);
}

bool ZadanieScalania::UtworzIndeksy() {
    return etap(&ZadanieScalania::utworzIndeksy, Stan::Sklejone, Stan::Gotowe);
}

bool ZadanieScalania::wykonaj() {
    return SklejPliki() && UtworzIndeksy();
}

void ZadanieScalania::sprawdzPrzerwanie() const {
    if (maPrzerwac())
        throw Przerwanie{};
}

void ZadanieScalania::niepowodzenie(const QString& tekst) {
    usunTymczasowe();
    stan = Stan::Blad;
    tekstBledu = tekst;
    loguj(QStringLiteral("Błąd: ") + tekst);
}

void ZadanieScalania::usunTymczasowe() {
    zadaniaCzesci.clear(); // each part removes its own
    gotowe.clear();
    for (const QString& nazwa : std::as_const(tymczasowe))
        usunTymczasowy(nazwa);
    tymczasowe.clear();
    tymczasowyScalony.clear();
    plikTymczasowy.reset(); // and with it the lock
}

// Removes what a merge of this book that was killed left in the target
// folder: files named as this program names the temporary files of the
// book and of its two index files. The book's temporary file of a merge
// still running is locked; it stays, and so do the index files with its
// mark. A file the merge reads (an entry, the project) is never removed,
// whatever its name.
void ZadanieScalania::usunPozostalosci() const {
    std::optional<TozsamoscPlikow> czytane;
    usunPozostalosciObok(nazwaScalonego, {plikDat(), plikLog()}, [&](const QString& sciezka) {
        if (!czytane)
            czytane.emplace(QStringList{plikProjektu} + sciezkiWpisow());
        return czytane->ktory(sciezka).has_value();
    });
}

// Refuses names under which the merge would replace a file it reads: the
// book or an index file named like one of the entries' files or like the
// project file, an index file named like the book itself (a book named
// *.dat or *.log), or a folder. Refuses an entry that is not a regular file
// (a folder, a FIFO, a device), which has no contents to copy. Returns the
// entries' files' sizes added up.
std::int64_t ZadanieScalania::sprawdzNazwy() const {
    if (nazwaScalonego.isEmpty())
        throw SonvekError(QStringLiteral("Nie podano nazwy scalonego pliku"));
    const QString dat = plikDat();
    const QString log = plikLog();
    const QString scalonyAbs = QFileInfo(nazwaScalonego).absoluteFilePath();
    for (const QString& indeks : {dat, log}) {
        if (QFileInfo(indeks).absoluteFilePath() == scalonyAbs)
            throw SonvekError(QStringLiteral("Nie można scalić plików do %1: plik indeksu "
                                             "miałby tę samą nazwę. Wybierz nazwę z "
                                             "rozszerzeniem mp3")
                                  .arg(nazwaScalonego));
    }
    const QString nazwyWyjsc[] = {nazwaScalonego, dat, log};
    for (const QString& nazwa : nazwyWyjsc) {
        if (QFileInfo(nazwa).isDir())
            throw EInOutError(QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej "
                                             "nazwie")
                                  .arg(nazwa));
    }
    const TozsamoscPlikow wyjscia({nazwaScalonego, dat, log});
    if (const auto k = wyjscia.ktory(plikProjektu))
        throw SonvekError(QStringLiteral("Nie można scalić plików do %1: to plik "
                                         "projektu, który zostałby zastąpiony. Wybierz "
                                         "inną nazwę")
                              .arg(nazwyWyjsc[*k]));
    // Each name is looked up once, however often the list holds it.
    QHash<QString, RodzajPliku> zbadane;
    std::int64_t razem = 0;
    for (int i = 0; i < wpisy.size(); ++i) {
        const QString sciezkaWpisu = wpisy.at(i).sciezka();
        auto it = zbadane.constFind(sciezkaWpisu);
        if (it == zbadane.cend())
            it = zbadane.insert(sciezkaWpisu, zbadajPlik(sciezkaWpisu));
        const RodzajPliku& plik = *it;
        // A name that leads to no file fails when the merge opens it.
        if (!plik.powod.isEmpty())
            throw SonvekError(QStringLiteral("Nie można scalić plików: plik pozycji %1 projektu "
                                             "(%2) nie nadaje się do scalenia: %3")
                                  .arg(i + 1)
                                  .arg(sciezkaWpisu, plik.powod));
        razem += plik.rozmiar;
        if (const auto k = wyjscia.ktory(sciezkaWpisu))
            throw SonvekError(
                QStringLiteral("Nie można scalić plików do %1: to plik pozycji %2 projektu "
                               "(%3), który zostałby zastąpiony. Wybierz inną nazwę")
                    .arg(nazwyWyjsc[*k])
                    .arg(i + 1)
                    .arg(wpisy.at(i).sciezka()));
    }
    return razem;
}

void ZadanieScalania::sklej() {
    if (limitCzesci > 0) {
        sklejCzesci();
        return;
    }
    odmowiono = true;
    const std::int64_t doSkopiowania = sprawdzNazwy();
    odmowiono = false;
    usunPozostalosci();

    // Levelling: the loudness of entries not measured yet counts in the
    // progress with their files' sizes.
    std::optional<WyrownanieWpisow> wyrownanie;
    std::int64_t doZrobienia = doSkopiowania;
    if (celGlosnosci) {
        if (!miernik.przekazuje())
            throw SonvekError(QStringLiteral("Wyrównanie głośności wymaga pomiaru ramek, który "
                                             "przekazuje ich bajty do książki"));
        wyrownanie.emplace(*celGlosnosci, sciezkiWpisow(), pamiecGlosnosci);
        doZrobienia += wyrownanie->wagaPomiaru();
    }
    tekstWyrownania.clear();

    std::int64_t skopiowane = 0;
    auto zglos = [&](std::int64_t n) {
        sprawdzPrzerwanie();
        skopiowane += n;
        if (postep)
            postep(skopiowane, std::max(doZrobienia, skopiowane));
    };

    plikTymczasowy = std::make_unique<QFile>();
    QFile& scalony = *plikTymczasowy;
    tymczasowyScalony = utworzObok(nazwaScalonego, scalony, znacznik);
    tymczasowe.append(tymczasowyScalony);
#ifdef Q_OS_UNIX
    ::flock(scalony.handle(), LOCK_EX | LOCK_NB);
#endif
    ZapisKsiazki zapis(scalony.handle(), nazwaScalonego);
    uklad = {};
    if (postep)
        postep(0, doZrobienia);

    if (wyrownanie) {
        if (wyrownanie->doZmierzenia() > 0)
            loguj(QStringLiteral("Trwa pomiar głośności plików (do zmierzenia: %1 z %2)")
                      .arg(wyrownanie->doZmierzenia())
                      .arg(wpisy.size()));
        sprawdzPrzerwanie();
        if (!wyrownanie->zmierz(miernikGlosnosci, przerwanie, zglos))
            throw Przerwanie{};
    }

    QList<std::optional<FormatDzwieku>> formaty;
    for (int i = 0; i < wpisy.size(); ++i)
        formaty.append(dopiszWpis(i, zapis, scalony, wyrownanie ? &*wyrownanie : nullptr, zglos));
    zapis.wyslij();
    logujFormaty(formaty);
    if (wyrownanie) {
        tekstWyrownania = wyrownanie->tekst();
        loguj(tekstWyrownania);
    }
    opiszCalaKsiazke(scalony.handle(), wyrownanie && wyrownanie->zmieniaRamki());
    loguj(QStringLiteral("Sklejanie zakonczone powodzeniem"));
}

// Entry i's file appended to the book: read once, measured on the way,
// levelled when `wyrownanie` is given, and checked unchanged afterwards.
// Returns the format of its first frame.
std::optional<FormatDzwieku>
ZadanieScalania::dopiszWpis(int i, ZapisKsiazki& zapis, QFile& scalony,
                            WyrownanieWpisow* wyrownanie,
                            const std::function<void(std::int64_t)>& zglos) {
    sprawdzPrzerwanie();
    const QString sciezka = wpisy.at(i).sciezka();
    const OtwartyZwyklyPlik zrodlo(sciezka);
    const int krok = wyrownanie ? wyrownanie->kroki(i) : 0;
    // The file as it is now: read whole, it must stay so; levelled, it
    // must be the file that was measured.
    const StanPliku przed = StanPliku::deskryptora(zrodlo.deskryptor(), krok != 0);
    if (wyrownanie && !wyrownanie->zmierzony(i, przed))
        throw SonvekError(QStringLiteral("Plik %1 zmienił się od pomiaru głośności. Nie "
                                         "zapisano nowej książki; scal ponownie, a plik "
                                         "zostanie zmierzony jeszcze raz")
                              .arg(sciezka));
    loguj(QStringLiteral("Trwa dodawanie pliku:: ") + sciezka);
    const std::int64_t rozmiar = zrodlo.rozmiar();
    if (rozmiar == 0)
        throw EInOutError(QStringLiteral("Plik %1 jest pusty").arg(sciezka));
    // The program's measure reads the file once and hands its bytes on
    // into the book; a stand-in only measures, and the file is copied
    // after it.
    PrzejscieWpisu wpis;
    if (miernik.przekazuje()) {
        std::function<void(unsigned char*, int)> ramka;
        if (przeksztalcRamke)
            ramka = [this, i](unsigned char* dane, int n) { przeksztalcRamke(i, dane, n); };
        wpis = przejdzWpis(
            sciezka, zrodlo.deskryptor(), rozmiar, miernik, krok,
            [&](const unsigned char* dane, std::int64_t n) {
                zapis.zapisz(dane, n);
                zglos(n);
            },
            ramka);
    } else {
        wpis.pomiar = miernik(sciezka);
    }
    if (wpis.pomiar.pominieteBajty > 0)
        loguj(ostrzezeniePominiete(sciezka, wpis.pomiar.pominieteBajty));
    const std::optional<PolozenieZakladki> zakladka = umiescZakladke(i, wpis.pomiar);
    if (!miernik.przekazuje()) {
        QFile kopia;
        if (!kopia.open(zrodlo.deskryptor(), QIODevice::ReadOnly | QIODevice::Unbuffered,
                        QFileDevice::DontCloseHandle))
            throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2")
                                  .arg(sciezka, kopia.errorString()));
        zapis.wyslij();
        wpis.bajty = dopisz(kopia, sciezka, scalony, nazwaScalonego, zglos);
    }
    if (wpis.bajty != rozmiar)
        throw SonvekError(QStringLiteral("Plik %1 zmienił się podczas scalania: miał %2 "
                                         "bajtów, a odczytano %3. Nie zapisano nowej książki")
                              .arg(sciezka)
                              .arg(rozmiar)
                              .arg(wpis.bajty));
    StanPliku przedBezSkrotu = przed;
    przedBezSkrotu.skrot.clear();
    sprawdzNiezmieniony(sciezka, przedBezSkrotu, zrodlo.deskryptor());
    uklad.dodaj(wpis.pomiar, wpis.bajty, zakladka);
    if (wyrownanie)
        for (const QString& linia : wyrownanie->dodaj(i, wpis.przyciete))
            loguj(linia);
    loguj(QStringLiteral("Dodawanie pliku zakończone powodzeniem"));
    return wpis.pomiar.format;
}

// The book's first frame, entry 1's encoder header, made to describe the
// whole book for players that read it (the Sonvek player reads the index).
void ZadanieScalania::opiszCalaKsiazke(int deskryptor, bool wyrownana) {
    if (!miernik.przekazuje())
        return; // a stand-in measure: the entries need not be MP3 at all
    const WynikNaglowka wynik =
        przepiszNaglowekMp3(deskryptor, nazwaScalonego, wyrownana, [this] { sprawdzPrzerwanie(); });
    if (!wynik.przepisany && wynik.bladDlugosciMs > 1000)
        loguj(QStringLiteral("Uwaga: pierwszy plik (%1) nie zaczyna się ramką informacyjną "
                             "(Xing/Info), więc książka nie ma nagłówka z jej długością; "
                             "odtwarzacz Sonvek korzysta z indeksu, ale inne odtwarzacze mogą "
                             "podawać długość książki błędną o około %2 s i źle przewijać")
                  .arg(wpisy.isEmpty() ? QString() : wpisy.first().sciezka())
                  .arg((wynik.bladDlugosciMs + 500) / 1000));
}

// One line per entry whose format differs from the first file's.
void ZadanieScalania::logujFormaty(const QList<std::optional<FormatDzwieku>>& formaty) const {
    const QList<InnyFormat> inne = inneFormaty(formaty);
    if (inne.isEmpty())
        return;
    loguj(QStringLiteral("Uwaga: pliki w innym formacie dźwięku niż pierwszy plik (%1): %2; "
                         "odtwarzacz może w tych miejscach książki zatrzymać się albo grać za "
                         "szybko lub za wolno")
              .arg(opisFormatu(*pierwszyFormat(formaty)))
              .arg(inne.size()));
    for (const InnyFormat& inny : inne)
        loguj(QStringLiteral("Uwaga: plik %1 (pozycja %2): %3")
                  .arg(wpisy.at(inny.pozycja).sciezka())
                  .arg(inny.pozycja + 1)
                  .arg(inny.roznice));
}

// Where entry i's bookmark lies in its file, from the frames its walk found:
// the frames playing at its start and end as players that honour the
// encoder's header hear them. A bookmark text that is no number gets
// nothing here: the index reports it at its row. A measure that tells no
// frames at all (a stand-in) leaves the entry to the estimate.
std::optional<PolozenieZakladki> ZadanieScalania::umiescZakladke(int i,
                                                                 const PomiarMp3& pomiar) const {
    const PozycjaProjektu& p = wpisy.at(i);
    const std::optional<std::int32_t> poczatek = tryStrToInt(p.Poczatek);
    const std::optional<std::int32_t> dlugosc = tryStrToInt(p.Dlugosc);
    if (!poczatek || !dlugosc)
        return std::nullopt;
    if (pomiar.ramki.pusta()) {
        if (pomiar.jednostekNaMs > 0 && !indeksSzacowany)
            loguj(QStringLiteral("Uwaga: nie udało się ustalić położenia ramek dźwięku pozycji %1 "
                                 "(%2); jej zakładka jest w indeksie szacowana")
                      .arg(i + 1)
                      .arg(p.sciezka()));
        return std::nullopt;
    }
    const PolozenieZakladki z = pomiar.ramki.zakladka(*poczatek, *dlugosc, pomiar.opoznienie);
    if (z.poczatekZaKoncem && !indeksSzacowany)
        loguj(QStringLiteral("Uwaga: zakładka pozycji %1 (%2) zaczyna się w %3 ms, a dźwięk pliku "
                             "trwa %4 ms; w indeksie zaczyna się na końcu pliku")
                  .arg(i + 1)
                  .arg(p.sciezka())
                  .arg(*poczatek)
                  .arg(pomiar.dlugoscMs));
    return z;
}

// Names the entries whose bookmark the estimate puts more than a second
// from where its frames lie, measured at the entry's own rate.
void ZadanieScalania::logujChybioneSzacunki(std::int64_t predkosc) const {
    for (int i = 0; i < wpisy.size(); ++i) {
        const UkladKsiazki::Wpis& w = uklad.wpisy().at(i);
        const std::optional<std::int32_t> poczatek = tryStrToInt(wpisy.at(i).Poczatek);
        if (!w.zakladka || !poczatek || w.dlugoscMs <= 0)
            continue;
        const std::int64_t roznica = bajtSzacowany(predkosc, *poczatek) - w.zakladka->poczatek;
        const double sekundy = double(roznica) * double(w.dlugoscMs) / double(w.bajty) / 1000.0;
        if (std::fabs(sekundy) > 1.0)
            loguj(QStringLiteral("Uwaga: indeks szacowany umieszcza zakładkę pozycji %1 (%2) "
                                 "%3 s %4, w którym zaczyna się jej dźwięk; dokładny "
                                 "indeks umieściłby ją właściwie")
                      .arg(i + 1)
                      .arg(wpisy.at(i).sciezka())
                      .arg(QString::number(std::fabs(sekundy), 'f', 1).replace(u'.', u','))
                      .arg(sekundy < 0 ? QStringLiteral("przed miejscem")
                                       : QStringLiteral("za miejscem")));
    }
}

void ZadanieScalania::utworzIndeksy() {
    if (limitCzesci > 0) {
        utworzIndeksyCzesci();
        return;
    }
    const std::int64_t rozmiar = uklad.rozmiar();
    sprawdzPrzerwanie();
    const QByteArray dat = trescDat(rozmiar, uklad.czasMs(), uklad.indeks(wpisy, indeksSzacowany));
    if (indeksSzacowany)
        logujChybioneSzacunki(sredniaPredkosc(rozmiar, uklad.czasMs()));

    // The book's data reaches the disk before the book is put in place.
    zapiszNaDysk(*plikTymczasowy, nazwaScalonego);
    const QString tymczasowyDat = zapiszObok(plikDat(), dat, znacznik);
    tymczasowe.append(tymczasowyDat);
    const QString tymczasowyLog = zapiszObok(plikLog(), trescLog(), znacznik);
    tymczasowe.append(tymczasowyLog);

    sprawdzPrzerwanie();
    const QList<std::pair<QString, QString>> pary = {{tymczasowyDat, plikDat()},
                                                     {tymczasowyLog, plikLog()},
                                                     {tymczasowyScalony, nazwaScalonego}};
    if (odlozUmieszczenie) {
        gotowe = pary;
        return;
    }
    umiescRazem(pary);
    // The temporary names now hold whatever was replaced.
    usunTymczasowe();
    loguj(QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem"));
    loguj(QStringLiteral("Scalanie plików zakończone powodzeniem"));
}
