// The merge of a book in parts (ZadanieScalania::limitCzesci): each part is
// merged by a merge of its own, and all are put in place together.

#include "merge/ZadanieScalania.h"

#include "base/Errors.h"
#include "base/PlikiTymczasowe.h"
#include "base/TozsamoscPlikow.h"
#include "base/Transakcja.h"
#include "base/ZwyklyPlik.h"
#include "merge/IndexFile.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <numeric>

// A part that failed ends the whole book the same way.
void ZadanieScalania::bladCzesci(const ZadanieScalania& czesc) {
    if (czesc.przerwane())
        throw Przerwanie{};
    odmowiono = czesc.odmowa();
    throw SonvekError(czesc.blad());
}

// Stage 1 of a book in parts: the names of every part checked against
// everything the merge reads before a byte is written, then each part's
// entries merged by a merge of their own, which keeps its files under
// temporary names.
void ZadanieScalania::sklejCzesci() {
    odmowiono = true;
    sprawdzNazwy(); // the single book's names, and every entry a regular file
    QList<std::int64_t> rozmiaryWpisow;
    for (const PozycjaProjektu& p : std::as_const(wpisy))
        rozmiaryWpisow.append(zbadajPlik(p.sciezka()).rozmiar);
    const QList<int> podzial = podzialNaCzesci(rozmiaryWpisow, limitCzesci);
    nazwijCzesci(int(podzial.size()));
    odmowiono = false;
    usunPozostalosci();
    const auto suma = [&rozmiaryWpisow](int od, int ile) {
        return std::accumulate(rozmiaryWpisow.cbegin() + od, rozmiaryWpisow.cbegin() + od + ile,
                               std::int64_t{0});
    };
    const std::int64_t razem = suma(0, int(rozmiaryWpisow.size()));
    QStringList wyrownanie;
    int poczatek = 0;
    std::int64_t przed = 0;
    for (int k = 0; k < podzial.size(); ++k) {
        sprawdzPrzerwanie();
        const int n = podzial.at(k);
        const std::int64_t wCzesci = suma(poczatek, n);
        loguj(QStringLiteral("Część %1 z %2: %3")
                  .arg(k + 1)
                  .arg(podzial.size())
                  .arg(nazwyCzesci.at(k)));
        zadaniaCzesci.push_back(zadanieCzesci(k, poczatek, n, przed, razem - przed - wCzesci));
        ZadanieScalania& zadanie = *zadaniaCzesci.back();
        if (!zadanie.SklejPliki())
            bladCzesci(zadanie);
        if (!zadanie.podsumowanieGlosnosci().isEmpty())
            wyrownanie.append(
                QStringLiteral("część %1: %2").arg(k + 1).arg(zadanie.podsumowanieGlosnosci()));
        poczatek += n;
        przed += wCzesci;
    }
    tekstWyrownania = wyrownanie.join(QStringLiteral("; "));
}

// The names of `ile` parts, each with its index files; refused when a
// folder holds one of them or the merge reads a file one of them names.
void ZadanieScalania::nazwijCzesci(int ile) {
    nazwyCzesci.clear();
    QStringList wyjscia;
    for (int k = 0; k < ile; ++k) {
        nazwyCzesci.append(nazwaCzesci(nazwaScalonego, k + 1));
        wyjscia << nazwyCzesci.last() << nazwaIndeksu(nazwyCzesci.last(), QStringLiteral("dat"))
                << nazwaIndeksu(nazwyCzesci.last(), QStringLiteral("log"));
    }
    for (const QString& nazwa : std::as_const(wyjscia))
        if (QFileInfo(nazwa).isDir())
            throw EInOutError(
                QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej nazwie")
                    .arg(nazwa));
    const TozsamoscPlikow cele(wyjscia);
    QStringList czytane{plikProjektu};
    czytane += sciezkiWpisow();
    for (const QString& sciezka : std::as_const(czytane))
        if (const auto k = cele.ktory(sciezka))
            throw SonvekError(QStringLiteral("Nie można scalić plików do %1: to plik, który "
                                             "scalanie czyta (%2), a zostałby zastąpiony. "
                                             "Wybierz inną nazwę")
                                  .arg(wyjscia.at(*k), sciezka));
}

// The merge of part `k` (from 0): `n` entries from `poczatek`, run with this
// merge's settings, its stop and its log. Its progress is told as the whole
// book's, with `przed` bytes of entries before the part and `dalej` after it.
std::unique_ptr<ZadanieScalania>
ZadanieScalania::zadanieCzesci(int k, int poczatek, int n, std::int64_t przed, std::int64_t dalej) {
    auto czesc =
        std::make_unique<ZadanieScalania>(nazwyCzesci.at(k), wpisy.mid(poczatek, n), miernik);
    czesc->odlozUmieszczenie = true;
    czesc->plikProjektu = plikProjektu;
    czesc->indeksSzacowany = indeksSzacowany;
    czesc->celGlosnosci = celGlosnosci;
    czesc->miernikGlosnosci = miernikGlosnosci;
    czesc->pamiecGlosnosci = pamiecGlosnosci;
    czesc->przerwanie = przerwanie;
    czesc->przerwac = przerwac;
    // The parts' own ends are said once, for the whole book.
    czesc->dziennik = [this](const QString& linia) {
        if (!linia.startsWith(QStringLiteral("Błąd: ")) &&
            linia != QStringLiteral("Scalanie przerwane"))
            loguj(linia);
    };
    if (postep)
        czesc->postep = [this, przed, dalej](std::int64_t zrobione, std::int64_t wszystkie) {
            postep(przed + zrobione, przed + wszystkie + dalej);
        };
    if (przeksztalcRamke)
        czesc->przeksztalcRamke = [this, poczatek](int wpis, unsigned char* ramka, int bajty) {
            przeksztalcRamke(poczatek + wpis, ramka, bajty);
        };
    return czesc;
}

// Stage 2 of a book in parts: every part's index files, then all the parts
// put in place in one step that also takes away the single book of the
// chosen name, so that what stays is one book or the other, never a mix.
void ZadanieScalania::utworzIndeksyCzesci() {
    QList<std::pair<QString, QString>> pary;
    for (const auto& czesc : zadaniaCzesci) {
        if (!czesc->UtworzIndeksy())
            bladCzesci(*czesc);
        pary += czesc->gotowe;
    }
    sprawdzPrzerwanie();
    QStringList stare;
    for (const QString& nazwa : {nazwaScalonego, plikDat(), plikLog()})
        if (QFileInfo(nazwa).isFile())
            stare.append(nazwa);
    // The single book is moved aside under hidden names (removed as
    // leftovers by the next merge of it, should the program be killed
    // now) and moved back if the parts cannot be put in place. A signal
    // waits until the parts are in place.
    const BezPrzerwania bezPrzerwania;
    QList<std::pair<QString, QString>> odsuniete;
    auto przywroc = [&odsuniete] {
        for (const auto& [stary, ukryty] : std::as_const(odsuniete))
            przemianujBezZastepowania(ukryty, stary);
    };
    for (const QString& stary : std::as_const(stare)) {
        QFile miejsce;
        QString znak;
        const QString ukryty = utworzObok(stary, miejsce, znak);
        miejsce.close();
        zapomnijTymczasowy(ukryty);
        std::error_code ec;
        std::filesystem::rename(QFile::encodeName(stary).constData(),
                                QFile::encodeName(ukryty).constData(), ec);
        if (ec) {
            QFile::remove(ukryty);
            przywroc();
            throw EInOutError(QStringLiteral("Nie można usunąć pliku %1: %2")
                                  .arg(stary, QString::fromLocal8Bit(ec.message())));
        }
        odsuniete.append({stary, ukryty});
    }
    try {
        umiescRazem(pary);
    } catch (...) {
        przywroc();
        throw;
    }
    usunTymczasowe(); // the parts' temporary names now hold what was replaced
    for (const auto& odsuniety : std::as_const(odsuniete))
        QFile::remove(odsuniety.second);
    if (!stare.isEmpty())
        loguj(QStringLiteral("Książka %1 zapisana wcześniej w jednym pliku została zastąpiona "
                             "częściami")
                  .arg(nazwaScalonego));
    const QString nastepna = nazwaCzesci(nazwaScalonego, int(nazwyCzesci.size()) + 1);
    if (QFileInfo::exists(nastepna))
        loguj(QStringLiteral("Uwaga: plik %1 został z wcześniejszego scalenia w większej liczbie "
                             "części i nie należy do tej książki; usuń go, by odtwarzacz go nie "
                             "czytał")
                  .arg(nastepna));
    loguj(QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem"));
    loguj(QStringLiteral("Scalanie plików zakończone powodzeniem"));
}
