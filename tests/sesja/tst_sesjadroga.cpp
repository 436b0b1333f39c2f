// The whole road of a book without a window: entries added and a bookmark
// set through the history, the project saved by the session, the book
// merged into the store, copied to a card (a folder) and checked there,
// the player's file written, and the book exported in both forms. Every
// question is answered through FakeRozmowa and every output read back.

#include "cofanie/HistoriaProjektu.h"
#include "eksport/EksportKsiazki.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "sesja/Sesja.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeRozmowa.h"
#include "support/FileBytes.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"

#include <QDir>
#include <QJsonArray>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using O = Rozmowa::Odpowiedz;

class TestSesjaDroga : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland)); }

    void wholeRoad() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        for (const QString& f : {u"audio"_s, u"karta"_s, u"magazyn"_s})
            QVERIFY(QDir(dir.path()).mkpath(f));
        const QString audio = dir.filePath(u"audio/"_s), karta = dir.filePath(u"karta/"_s);
        const QString magazyn = dir.filePath(u"magazyn/"_s);
        FakeRozmowa rozmowa;
        FakeWolneMiejsce miejsce{4096, 100'000'000};
        SettingsStore store(dir.filePath(u"conf"_s));
        ModelProjektu projekt;
        HistoriaProjektu historia{projekt};
        UslugiSesji uslugi;
        uslugi.wolneMiejsce = &miejsce;
        uslugi.wysuwanieKarty = [](const QString&) {
            return WynikWysuniecia{true, u"Kartę można wyjąć."_s};
        };
        Sesja sesja(rozmowa, rozmowa, store, projekt, historia, uslugi);
        Konfiguracja k = sesja.konfiguracja();
        k.Karta = dir.filePath(u"karta"_s);
        k.Magazyn = dir.filePath(u"magazyn"_s);
        sesja.zapiszKonfiguracje(k);
        sesja.odczytajKonfiguracje();

        // Three entries, a bookmark in the second, the project saved.
        ListaPozycji pozycje;
        for (int i = 0; i < 3; ++i) {
            Mp3Format f;
            f.durationMs = 1500 + 400 * i;
            const QString nazwa = u"r%1.mp3"_s.arg(i + 1);
            makeMp3(audio + nazwa, f);
            pozycje.append({QString::number(i + 1), nazwa, u"0"_s, u"500"_s, audio});
        }
        historia.wstaw(0, pozycje);
        QCOMPARE(historia.zmienZakladki({{1, u"700"_s, u"300"_s}}), 1);
        rozmowa.zapisy = {dir.filePath(u"ksiazka.xml"_s)};
        QVERIFY(sesja.zapiszProjekt());
        const ListaPozycji zapisane =
            wczytajPozycjeProjektu(dir.filePath(u"ksiazka.xml"_s)).pozycje;
        QCOMPARE(zapisane.size(), 3);
        QCOMPARE(zapisane.at(1).Poczatek, u"700"_s);

        // The merge into the store: one index row per entry, in book order.
        ZadanieScalania scalanie(magazyn + u"ksiazka.mp3"_s, projekt.pozycje(), miernikMp3());
        scalanie.plikProjektu = dir.filePath(u"ksiazka.xml"_s);
        QVERIFY2(scalanie.wykonaj(), qPrintable(scalanie.blad()));
        const QList<QByteArray> wiersze = bajtyPliku(scalanie.plikDat()).split('\n');
        QCOMPARE(wiersze.size(), 3);
        QVERIFY(wiersze.at(0).split('\t').at(0).trimmed().toLongLong() <
                wiersze.at(1).split('\t').at(0).trimmed().toLongLong());

        // The card: copied (the eject declined), checked, the player's file.
        rozmowa.wpisy.clear();
        rozmowa.wybory = {{magazyn + u"ksiazka.mp3"_s}, {magazyn + u"ksiazka.mp3"_s}};
        rozmowa.odpowiedzi = {O::Nie};
        sesja.kopiujKsiazke();
        sesja.sprawdzKsiazke();
        sesja.utworzPlikZakladki();
        QCOMPARE(rozmowa.teksty(),
                 (QStringList{u"Pliki zostały pomyślnie skopiowane! Książka na karcie sprawdzona: "
                              "zgodna z magazynem.\n\nCzy wysunąć kartę teraz?"_s,
                              u"Książka na karcie sprawdzona: zgodna z magazynem."_s,
                              u"Plik zakładki został pomyślnie utworzony!"_s}));
        for (const QString& n : {u"ksiazka.mp3"_s, u"ksiazka.dat"_s, u"ksiazka.log"_s})
            QCOMPARE(bajtyPliku(karta + n), bajtyPliku(magazyn + n));
        QCOMPARE(bajtyPliku(karta + u"player.dat"_s), QByteArray("0000 0000"));

        // The export of the saved project in both forms.
        EksportKsiazki eksport(projekt.pozycje(), uzupelnijOpis({}, projekt.pozycje(),
                                                                dir.filePath(u"ksiazka.xml"_s)));
        eksport.folderDaisy = dir.filePath(u"daisy"_s);
        eksport.plikRozdzialow = dir.filePath(u"rozdzialy.mp3"_s);
        eksport.wykonaj();
        QCOMPARE(wpisyFolderu(eksport.folderDaisy).size(), 1 + 2 * 3);
        const QJsonObject probe = ffprobe(eksport.plikRozdzialow);
        if (probe.isEmpty())
            QSKIP("ffprobe missing: the chapters not read back");
        QCOMPARE(probe[u"chapters"].toArray().size(), 3);
        QCOMPARE(probe[u"format"][u"tags"][u"title"].toString(), u"ksiazka"_s);
    }
};

QTEST_MAIN(TestSesjaDroga)
#include "tst_sesjadroga.moc"
