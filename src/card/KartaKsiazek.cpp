#include "card/KartaKsiazek.h"

#include "base/Errors.h"
#include "base/Text.h"
#include "card/NaglowekMp3.h"
#include "card/Volumes.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The key that ties a book's three files: the name without its last three
// characters, as FAT compares it (without regard to case).
QString kluczKsiazki(const QString& nazwa) {
    return nazwa.chopped(3).toLower();
}

enum class Rodzaj { Audio, Dat, Log, Inny };

Rodzaj rodzaj(const QString& nazwa) {
    if (nazwa.size() < 5 || nazwa.at(nazwa.size() - 4) != u'.' || nazwa.startsWith(u'.') ||
        nazwa.compare(QStringLiteral("player.dat"), Qt::CaseInsensitive) == 0)
        return Rodzaj::Inny;
    const QString rozszerzenie = nazwa.right(3).toLower();
    if (rozszerzenie == u"mp3" || rozszerzenie == u"asz")
        return Rodzaj::Audio;
    if (rozszerzenie == u"dat")
        return Rodzaj::Dat;
    if (rozszerzenie == u"log")
        return Rodzaj::Log;
    return Rodzaj::Inny;
}

std::int64_t klastryPliku(std::int64_t bajty, std::int64_t klaster) {
    return klaster > 0 ? (bajty + klaster - 1) / klaster : 0;
}

// Lines of an index file that hold something: one bookmark each.
int liczbaZakladek(int folder, const QByteArray& nazwa) {
    const int fd =
        ::openat(folder, nazwa.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    QByteArray tresc(1 << 20, '\0');
    const ssize_t n = ::read(fd, tresc.data(), std::size_t(tresc.size()));
    ::close(fd);
    if (n <= 0)
        return 0;
    tresc.truncate(n);
    int wiersze = 0;
    for (const QByteArray& wiersz : tresc.split('\n'))
        wiersze += wiersz.trimmed().isEmpty() ? 0 : 1;
    return wiersze;
}

const QStringList& nazwyUrzadzen() {
    static const QStringList nazwy = [] {
        QStringList n{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                      QStringLiteral("NUL"), QStringLiteral("CLOCK$")};
        for (int i = 1; i <= 9; ++i) {
            n.append(QStringLiteral("COM%1").arg(i));
            n.append(QStringLiteral("LPT%1").arg(i));
        }
        return n;
    }();
    return nazwy;
}

constexpr QStringView znakiOdrzucane = u"\"*/:<>?\\|";

bool nazwaUrzadzenia(const QString& nazwa) {
    const QString rdzen = nazwa.section(u'.', 0, 0).trimmed().toUpper();
    return nazwyUrzadzen().contains(rdzen);
}

QString rozmiarCzytelny(std::int64_t bajty) {
    return opisRozmiaru(bajty);
}

} // namespace

QString KsiazkaNaKarcieOpis::brakuje() const {
    QStringList braki;
    if (audio.isEmpty())
        braki.append(QStringLiteral("pliku audio"));
    if (dat.isEmpty())
        braki.append(QStringLiteral("pliku .dat"));
    if (log.isEmpty())
        braki.append(QStringLiteral("pliku .log"));
    return braki.isEmpty() ? QString() : QStringLiteral("brak ") + braki.join(u", ");
}

QStringList KsiazkaNaKarcieOpis::pliki() const {
    QStringList wynik;
    for (const QString* n : {&audio, &dat, &log}) {
        if (!n->isEmpty())
            wynik.append(*n);
    }
    return wynik;
}

QString czasGodzinny(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(0, ms) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(s / 3600)
        .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(s % 60, 2, 10, QLatin1Char('0'));
}

ZawartoscKarty przegladajKarte(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo) {
    ZawartoscKarty karta;
    if (!kartaDostepna(korzen, zrodlo))
        throw EInOutError(QStringLiteral("Karta nie jest dostępna: ") + korzen);
    karta.dokonczenie = dokonczPrzerwanaKopie(korzen).tekst;
    const auto pomiar = zmierzKarte(korzen, zrodlo);
    if (!pomiar)
        throw EInOutError(QStringLiteral("Karta nie jest dostępna: ") + korzen);
    karta.pomiar = *pomiar;
    karta.wolne = wolneBajty(*pomiar);
    karta.razem = std::int64_t(pomiar->wolumin.wszystkieKlastry) * pomiar->wolumin.rozmiarKlastra;
    const std::int64_t klaster = pomiar->wolumin.rozmiarKlastra;

    const int folder =
        ::open(QFile::encodeName(korzen).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* katalog = folder >= 0 ? ::fdopendir(folder) : nullptr;
    if (!katalog) {
        const int blad = errno;
        if (folder >= 0)
            ::close(folder);
        throw EInOutError(
            QStringLiteral("Nie można odczytać folderu %1: %2").arg(korzen, powodBleduKarty(blad)));
    }
    QHash<QString, qsizetype> wedlugKlucza;
    QList<QByteArray> nazwyAudio;
    while (const dirent* wpis = ::readdir(katalog)) {
        const QString nazwa = QFile::decodeName(wpis->d_name);
        const Rodzaj r = rodzaj(nazwa);
        struct stat info {};
        if (r == Rodzaj::Inny || ::fstatat(folder, wpis->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        const QString klucz = kluczKsiazki(nazwa);
        qsizetype i = wedlugKlucza.value(klucz, -1);
        // A second audio file of the same key (x.mp3 beside x.asz) cannot
        // share the index files: it is a book of its own, incomplete.
        if (i < 0 || (r == Rodzaj::Audio && !karta.ksiazki.at(i).audio.isEmpty())) {
            karta.ksiazki.append(KsiazkaNaKarcieOpis{});
            i = karta.ksiazki.size() - 1;
            if (!wedlugKlucza.contains(klucz))
                wedlugKlucza.insert(klucz, i);
        }
        KsiazkaNaKarcieOpis& k = karta.ksiazki[i];
        (r == Rodzaj::Audio ? k.audio : r == Rodzaj::Dat ? k.dat : k.log) = nazwa;
        if (r == Rodzaj::Audio) {
            k.rozmiar = info.st_size;
            const int fd =
                ::openat(folder, wpis->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                k.dlugoscMs = dlugoscZNaglowkow(fd, info.st_size);
                ::close(fd);
            }
        } else if (r == Rodzaj::Dat) {
            k.zakladki = liczbaZakladek(folder, QByteArray(wpis->d_name));
        }
        k.razem += info.st_size;
        k.klastry += klastryPliku(info.st_size, klaster);
    }
    ::closedir(katalog);
    for (KsiazkaNaKarcieOpis& k : karta.ksiazki)
        k.nazwa = !k.audio.isEmpty() ? k.audio : !k.dat.isEmpty() ? k.dat : k.log;
    std::sort(karta.ksiazki.begin(), karta.ksiazki.end(),
              [](const KsiazkaNaKarcieOpis& a, const KsiazkaNaKarcieOpis& b) {
                  return porownajNazwy(a.nazwa, b.nazwa) < 0;
              });
    return karta;
}

std::optional<QString> powodNiedozwolonejNazwy(const QString& nazwa) {
    if (nazwa.isEmpty())
        return QStringLiteral("nazwa jest pusta");
    if (nazwa.size() > 255)
        return QStringLiteral("nazwa ma ponad 255 znaków");
    for (const QChar c : nazwa) {
        if (c.unicode() < 0x20)
            return QStringLiteral("nazwa zawiera znak sterujący");
        if (znakiOdrzucane.contains(c))
            return QStringLiteral("nazwa zawiera znak %1, którego karta nie przyjmuje").arg(c);
    }
    if (nazwa.endsWith(u'.') || nazwa.endsWith(u' '))
        return QStringLiteral("nazwa kończy się kropką lub spacją");
    if (nazwaUrzadzenia(nazwa))
        return QStringLiteral("%1 to zastrzeżona nazwa urządzenia")
            .arg(nazwa.section(u'.', 0, 0).trimmed());
    return std::nullopt;
}

QString bezpiecznaNazwa(const QString& nazwa, const QStringList& zajete) {
    const qsizetype kropka = nazwa.lastIndexOf(u'.');
    QString rdzen = kropka > 0 ? nazwa.left(kropka) : nazwa;
    QString rozszerzenie = kropka > 0 ? nazwa.mid(kropka) : QString();
    for (QString* czesc : {&rdzen, &rozszerzenie}) {
        for (QChar& c : *czesc) {
            if (c.unicode() < 0x20 || znakiOdrzucane.contains(c))
                c = u'_';
        }
    }
    while (!rdzen.isEmpty() && (rdzen.endsWith(u'.') || rdzen.endsWith(u' ')))
        rdzen.chop(1);
    while (!rozszerzenie.isEmpty() && (rozszerzenie.endsWith(u'.') || rozszerzenie.endsWith(u' ')))
        rozszerzenie.chop(1);
    if (rdzen.isEmpty())
        rdzen = QStringLiteral("ksiazka");
    if (nazwaUrzadzenia(rdzen)) {
        const qsizetype koniec = rdzen.indexOf(u'.');
        rdzen.insert(koniec < 0 ? rdzen.size() : koniec, u'_');
    }
    const qsizetype miejsce = 255 - rozszerzenie.size() - 6;
    rdzen.truncate(std::max<qsizetype>(1, miejsce));
    QSet<QString> klucze;
    for (const QString& z : zajete)
        klucze.insert(kluczKsiazki(z));
    QString wynik = rdzen + rozszerzenie;
    for (int n = 2; klucze.contains(kluczKsiazki(wynik)); ++n)
        wynik = QStringLiteral("%1 (%2)%3").arg(rdzen).arg(n).arg(rozszerzenie);
    return wynik;
}

std::optional<QString> problemNazwyNaKarcie(const QString& nazwa, const ZawartoscKarty& karta) {
    QStringList zajete;
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki)
        zajete.append(k.nazwa);
    if (const auto powod = powodNiedozwolonejNazwy(nazwa))
        return QStringLiteral("Nazwa %1 nie nadaje się na kartę: %2. Proponowana nazwa: %3.")
            .arg(nazwa, *powod, bezpiecznaNazwa(nazwa, zajete));
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki) {
        const bool taSama = k.audio == nazwa;
        if (!taSama && kluczKsiazki(k.nazwa) == kluczKsiazki(nazwa))
            return QStringLiteral("Na karcie jest już książka %1, której nazwa różni się od %2 "
                                  "tylko wielkością liter lub rozszerzeniem, a karta takich nazw "
                                  "nie rozróżnia. Proponowana nazwa: %3.")
                .arg(k.nazwa, nazwa, bezpiecznaNazwa(nazwa, zajete));
    }
    return std::nullopt;
}

std::int64_t klastryKsiazki(std::int64_t klaster, std::int64_t audio, std::int64_t dat,
                            std::int64_t log) {
    return klastryPliku(audio, klaster) + std::max<std::int64_t>(1, klastryPliku(dat, klaster)) +
           std::max<std::int64_t>(1, klastryPliku(log, klaster));
}

QString Dopasowanie::opis() const {
    QString tekst = QStringLiteral("Na karcie brakuje %1 miejsca.").arg(rozmiarCzytelny(brakuje));
    if (doUsuniecia.isEmpty())
        return tekst + QStringLiteral(" Nie zrobi go nawet usunięcie wszystkich innych książek z "
                                      "karty.");
    QStringList ksiazki;
    for (const KsiazkaNaKarcieOpis& k : doUsuniecia)
        ksiazki.append(QStringLiteral("%1 (%2)").arg(k.nazwa, rozmiarCzytelny(k.razem)));
    return tekst +
           (doUsuniecia.size() == 1 ? QStringLiteral(" Miejsce zrobi usunięcie z karty książki ")
                                    : QStringLiteral(" Miejsce zrobi usunięcie z karty książek ")) +
           ksiazki.join(QStringLiteral(", ")) + u'.';
}

std::optional<Dopasowanie> jakZmiescic(const ZawartoscKarty& karta, std::int64_t potrzebne,
                                       const QStringList& bezTych) {
    const PomiarKarty& p = karta.pomiar;
    const std::int64_t wolne = std::int64_t(p.wolumin.wolneKlastry) +
                               std::int64_t(p.klastryPozostalosci) - (p.playerNaKarcie ? 1 : 0);
    const std::int64_t brak = potrzebne - wolne;
    if (brak <= 0)
        return std::nullopt;
    Dopasowanie wynik;
    wynik.brakuje = brak * p.wolumin.rozmiarKlastra;
    QList<KsiazkaNaKarcieOpis> kandydaci;
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki) {
        const bool zastepowana =
            std::any_of(bezTych.cbegin(), bezTych.cend(),
                        [&](const QString& n) { return kluczKsiazki(n) == kluczKsiazki(k.nazwa); });
        if (!zastepowana && k.klastry > 0)
            kandydaci.append(k);
    }
    // One book, the smallest that is enough; else the largest first, and
    // then those that are not needed left out again.
    std::sort(kandydaci.begin(), kandydaci.end(),
              [](const auto& a, const auto& b) { return a.klastry < b.klastry; });
    for (const KsiazkaNaKarcieOpis& k : kandydaci) {
        if (k.klastry >= brak) {
            wynik.doUsuniecia = {k};
            return wynik;
        }
    }
    std::int64_t zebrane = 0;
    QList<KsiazkaNaKarcieOpis> wybrane;
    for (auto it = kandydaci.crbegin(); it != kandydaci.crend() && zebrane < brak; ++it) {
        wybrane.append(*it);
        zebrane += it->klastry;
    }
    if (zebrane < brak)
        return wynik;
    for (qsizetype i = wybrane.size() - 1; i >= 0; --i) {
        if (zebrane - wybrane.at(i).klastry >= brak) {
            zebrane -= wybrane.at(i).klastry;
            wybrane.removeAt(i);
        }
    }
    wynik.doUsuniecia = wybrane;
    return wynik;
}

QStringList plikiKsiazki(const QString& audio) {
    const QString rdzen = audio.chopped(std::min<qsizetype>(3, audio.size()));
    return {audio, rdzen + QStringLiteral("dat"), rdzen + QStringLiteral("log")};
}

bool RaportKopiiWielu::wszystkie() const {
    return odmowa.isEmpty() && std::all_of(ksiazki.cbegin(), ksiazki.cend(),
                                           [](const WynikKsiazki& k) { return k.skopiowana; });
}

QString RaportKopiiWielu::podsumowanie() const {
    QStringList wiersze;
    if (!dokonczenie.isEmpty())
        wiersze.append(dokonczenie);
    if (!odmowa.isEmpty()) {
        wiersze.append(odmowa);
        return wiersze.join(u'\n');
    }
    QStringList skopiowane, nie;
    for (const WynikKsiazki& k : ksiazki) {
        if (k.skopiowana)
            skopiowane.append(k.nazwa);
        else
            nie.append(QStringLiteral("%1 (%2)").arg(k.nazwa, k.powod));
    }
    wiersze.append(
        QStringLiteral("Skopiowano %1 z %2 książek.").arg(skopiowane.size()).arg(ksiazki.size()));
    if (!skopiowane.isEmpty())
        wiersze.append(QStringLiteral("Skopiowane i sprawdzone: ") + skopiowane.join(u", ") + u'.');
    if (!nie.isEmpty())
        wiersze.append(QStringLiteral("Nie skopiowano: ") + nie.join(u"; ") + u'.');
    return wiersze.join(u'\n');
}

RaportKopiiWielu kopiujKsiazkiNaKarte(const QStringList& ksiazki, const QString& korzen,
                                      const ZrodloWolnegoMiejsca& zrodlo,
                                      const ObslugaKopiowania& obsluga,
                                      const KopiowanieNaKarte& kopiowanie) {
    RaportKopiiWielu raport;
    for (const QString& ksiazka : ksiazki)
        raport.ksiazki.append({QFileInfo(ksiazka).fileName(), false, {}});
    const auto odmow = [&raport](const QString& powod) {
        raport.odmowa = powod;
        for (WynikKsiazki& k : raport.ksiazki)
            k.powod = QStringLiteral("nic nie skopiowano");
        return raport;
    };
    ZawartoscKarty karta;
    try {
        karta = przegladajKarte(korzen, zrodlo);
    } catch (const SonvekError& e) {
        return odmow(e.text());
    }
    raport.dokonczenie = karta.dokonczenie;

    // Everything is checked before any byte is written.
    QStringList problemy, nazwy;
    std::int64_t potrzebne = 0;
    QHash<QString, QString> wybrane; // key -> name
    const std::int64_t klaster = karta.pomiar.wolumin.rozmiarKlastra;
    for (const QString& ksiazka : ksiazki) {
        const QString nazwa = QFileInfo(ksiazka).fileName();
        nazwy.append(nazwa);
        const QStringList pliki = plikiKsiazki(ksiazka);
        QList<std::int64_t> rozmiary;
        for (const QString& plik : pliki) {
            const QFileInfo info(plik);
            if (!info.isFile())
                problemy.append(QStringLiteral("w magazynie nie ma pliku %1").arg(plik));
            rozmiary.append(info.size());
        }
        if (rodzaj(nazwa) != Rodzaj::Audio)
            problemy.append(QStringLiteral("%1 nie jest plikiem .mp3 ani .asz").arg(nazwa));
        if (const auto problem = problemNazwyNaKarcie(nazwa, karta))
            problemy.append(*problem);
        if (const QString inna = wybrane.value(kluczKsiazki(nazwa)); !inna.isEmpty())
            problemy.append(
                QStringLiteral("książki %1 i %2 miałyby na karcie tę samą nazwę").arg(inna, nazwa));
        wybrane.insert(kluczKsiazki(nazwa), nazwa);
        if (karta.pomiar.wolumin.fat && rozmiary.at(0) >= granicaPlikuFat)
            problemy.append(QStringLiteral("plik %1 ma 4 GB lub więcej, a karta ma system "
                                           "plików FAT")
                                .arg(nazwa));
        potrzebne += klastryKsiazki(klaster, rozmiary.at(0), rozmiary.at(1), rozmiary.at(2));
    }
    if (!problemy.isEmpty())
        return odmow(QStringLiteral("Nie skopiowano żadnej książki: ") +
                     problemy.join(QStringLiteral("; ")) + u'.');
    if (const auto dopasowanie = jakZmiescic(karta, potrzebne, nazwy))
        return odmow(QStringLiteral("Wybrane książki nie zmieszczą się razem na karcie, więc nie "
                                    "skopiowano żadnej. ") +
                     dopasowanie->opis());

    ObslugaKopiowania doKsiazki = obsluga;
    if (!doKsiazki.czyZamienic)
        doKsiazki.czyZamienic = [](const QString&) { return true; };
    // All books as one copy first: every file written and read back, then
    // one marker and the renames of all, so the card's folder is synced a
    // few times in all rather than for each book.
    QStringList wszystkiePliki;
    for (const QString& ksiazka : ksiazki)
        wszystkiePliki += plikiKsiazki(ksiazka);
    const RaportKopiowania razem = kopiowanie(wszystkiePliki, korzen, doKsiazki);
    raport.dokonczenie =
        razem.dokonczenie.isEmpty()
            ? raport.dokonczenie
            : (raport.dokonczenie.isEmpty() ? QString() : raport.dokonczenie + u' ') +
                  razem.dokonczenie;
    if (razem.wynik == WynikKopiowania::Skopiowano || razem.wynik == WynikKopiowania::Anulowano) {
        for (WynikKsiazki& k : raport.ksiazki) {
            k.skopiowana = razem.udane();
            k.powod = razem.udane() ? QString() : QStringLiteral("kopiowanie przerwano");
        }
        return raport;
    }
    // A failure leaves the card as it was: then each book on its own, so
    // that one book that cannot be copied keeps no other off the card.
    for (qsizetype i = 0; i < ksiazki.size(); ++i) {
        const RaportKopiowania r = kopiowanie(plikiKsiazki(ksiazki.at(i)), korzen, doKsiazki);
        WynikKsiazki& k = raport.ksiazki[i];
        k.skopiowana = r.udane();
        switch (r.wynik) {
        case WynikKopiowania::Skopiowano:
            break;
        case WynikKopiowania::NieZamieniono:
            k.powod = QStringLiteral("książka na karcie nie została zamieniona");
            break;
        case WynikKopiowania::Anulowano:
            k.powod = QStringLiteral("kopiowanie przerwano");
            break;
        case WynikKopiowania::Blad:
            k.powod = r.blad;
            break;
        }
        if (!r.dokonczenie.isEmpty())
            raport.dokonczenie +=
                (raport.dokonczenie.isEmpty() ? QString() : QStringLiteral(" ")) + r.dokonczenie;
        // A stop ends the books that follow too.
        if (r.wynik == WynikKopiowania::Anulowano) {
            for (qsizetype j = i + 1; j < ksiazki.size(); ++j)
                raport.ksiazki[j].powod = QStringLiteral("kopiowanie przerwano");
            break;
        }
    }
    return raport;
}
