// The whole road of a book without a window: entries added and a bookmark
// set through the history, the project saved by the session, the book
// merged into the store, copied to a card (a folder) and checked there,
// the player's file written, and the book exported in both forms, then
// again levelled over the first export. Every question is answered through
// FakeRozmowa and every output read back; the session's exports are
// byte-equal to the export core's own with the same choices. Beside it,
// the merge's offer of parts and what a merge says at its end.

#include "cofanie/HistoriaProjektu.h"
#include "eksport/EksportKsiazki.h"
#include "merge/CzesciKsiazki.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "sesja/Sesja.h"
#include "sesja/SesjaLista.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakePracaListy.h"
#include "support/FakePracaWyjscia.h"
#include "support/FakeRozmowa.h"
#include "support/FileBytes.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using O = Rozmowa::Odpowiedz;

// The chaptered MP3 the export core writes of `pozycje` by itself.
QByteArray eksportRdzenia(const ListaPozycji& pozycje, const QString& plik,
                          std::optional<double> cel = std::nullopt) {
    EksportKsiazki eksport(
        pozycje, uzupelnijOpis({}, pozycje, QFileInfo(plik).dir().filePath(u"ksiazka.xml"_s)));
    eksport.plikRozdzialow = plik;
    eksport.celGlosnosci = cel;
    eksport.wykonaj();
    return bajtyPliku(plik);
}

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
        FakePracaListy pracaListy;
        FakePracaWyjscia praca;
        SesjaLista lista(sesja, rozmowa, pracaListy, projekt, historia, {});
        SesjaWyjscie wyjscie(sesja, lista, rozmowa, praca, projekt);

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

        // The merge into the store: its dialog starts there, the summary
        // before it; one index row per entry, in book order.
        rozmowa.zapisy = {magazyn + u"ksiazka.mp3"_s};
        wyjscie.scal();
        QCOMPARE(rozmowa.dialogi.last().folder, k.Magazyn);
        QCOMPARE(praca.scalenia.size(), 1);
        QVERIFY(praca.scalenia.first().podsumowanie.has_value());
        QCOMPARE(praca.scalenia.first().plikProjektu, dir.filePath(u"ksiazka.xml"_s));
        QCOMPARE(praca.koniecScalania, u"Scalanie zakończone powodzeniem"_s);
        const QList<QByteArray> wiersze = bajtyPliku(magazyn + u"ksiazka.dat"_s).split('\n');
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

        // The export of the saved project in both forms, named after it in
        // the store, then levelled over the first (each replace asked, Esc
        // keeping it); the levelling is remembered for the next window.
        const QString daisy = magazyn + u"ksiazka DAISY"_s;
        const QString mp3 = magazyn + u"ksiazka (rozdziały).mp3"_s;
        rozmowa.wpisy.clear();
        wyjscie.eksportuj();
        QCOMPARE(praca.okna.last().folderDaisy, daisy);
        QCOMPARE(praca.okna.last().celLufs, kDomyslnyCelLufs);
        QCOMPARE(
            rozmowa.status,
            u"Książka wyeksportowana: książka DAISY w folderze %1, plik MP3 z rozdziałami %2."_s
                .arg(QDir::toNativeSeparators(daisy), QDir::toNativeSeparators(mp3)));
        QCOMPARE(wpisyFolderu(daisy).size(), 1 + 2 * 3);
        QCOMPARE(bajtyPliku(mp3), eksportRdzenia(projekt.pozycje(), dir.filePath(u"r.mp3"_s)));
        praca.wOknie = [](WyborEksportu w) {
            w.wyrownaj = true;
            return std::optional(w);
        };
        rozmowa.odpowiedzi = {O::Brak};
        rozmowa.wpisy.clear();
        const QByteArray przed = bajtyPliku(mp3);
        wyjscie.eksportuj();
        QCOMPARE(rozmowa.wpisy.size(), 1);
        QVERIFY(
            rozmowa.wpisy.first().tekst.contains(u"zawiera książkę DAISY utworzoną wcześniej"_s));
        QCOMPARE(rozmowa.wpisy.first().domyslna, O::Nie);
        QCOMPARE(rozmowa.wpisy.first().esc, O::Nie);
        QVERIFY(rozmowa.status.startsWith(u"Eksport anulowany; "_s));
        QCOMPARE(bajtyPliku(mp3), przed);
        rozmowa.odpowiedzi = {O::Tak, O::Tak};
        wyjscie.eksportuj();
        QVERIFY2(rozmowa.status.startsWith(u"Książka wyeksportowana"_s),
                 qPrintable(rozmowa.status));
        QCOMPARE(bajtyPliku(mp3),
                 eksportRdzenia(projekt.pozycje(), dir.filePath(u"w.mp3"_s), kDomyslnyCelLufs));
        praca.wOknie = [](const WyborEksportu&) { return std::nullopt; };
        wyjscie.eksportuj();
        QVERIFY(praca.okna.last().wyrownaj);
        const QJsonObject probe = ffprobe(mp3);
        if (probe.isEmpty())
            QSKIP("ffprobe missing: the chapters not read back");
        QCOMPARE(probe[u"chapters"].toArray().size(), 3);
        QCOMPARE(probe[u"format"][u"tags"][u"title"].toString(), u"ksiazka"_s);
    }

    // As the merge starts, a book over the FAT limit is offered parts: Tak
    // (Enter) writes parts, Nie one file, Esc does not merge. A book that
    // fits, or whose size is not known, is merged without a question.
    void partsOffered_data() {
        QTest::addColumn<std::int64_t>("rozmiar"); // -1: not known
        QTest::addColumn<O>("odpowiedz");
        QTest::addColumn<std::int64_t>("limit"); // -1: not merged
        QTest::addColumn<bool>("pytanie");
        const std::int64_t ponad = kNajwiekszyPlikFat + 1;
        QTest::newRow("over, Tak") << ponad << O::Tak << kNajwiekszyPlikFat << true;
        QTest::newRow("over, Nie") << ponad << O::Nie << std::int64_t(0) << true;
        QTest::newRow("over, Esc") << ponad << O::Brak << std::int64_t(-1) << true;
        QTest::newRow("at the limit") << kNajwiekszyPlikFat << O::Tak << std::int64_t(0) << false;
        QTest::newRow("not known") << std::int64_t(-1) << O::Tak << std::int64_t(0) << false;
    }
    void partsOffered() {
        QFETCH(std::int64_t, rozmiar);
        QFETCH(O, odpowiedz);
        QFETCH(std::int64_t, limit);
        QFETCH(bool, pytanie);
        FakeRozmowa rozmowa;
        rozmowa.odpowiedzi = {odpowiedz};
        const auto wynik = SesjaWyjscie::limitCzesci(
            rozmowa, rozmiar < 0 ? std::nullopt : std::optional(rozmiar), u"/m/K.mp3"_s);
        QCOMPARE(wynik.value_or(-1), limit);
        QCOMPARE(rozmowa.wpisy.size(), pytanie ? 1 : 0);
        if (!pytanie)
            return;
        const FakeRozmowa::Wpis& w = rozmowa.wpisy.first();
        QCOMPARE(w.tytul, u"Książka w częściach"_s);
        QCOMPARE(w.domyslna, O::Tak);
        QCOMPARE(w.esc, O::Anuluj);
        QVERIFY2(w.tekst.contains(u"w częściach K-1.mp3, K-2.mp3 i dalszych"_s),
                 qPrintable(w.tekst));
    }

    // What is said when a merge ends: a book in parts names them (one
    // "części", more "częściach") before the levelling's summary.
    void endOfMergeSaid_data() {
        QTest::addColumn<WynikScalania>("wynik");
        QTest::addColumn<bool>("przerwano");
        QTest::addColumn<QString>("tekst");
        const auto w = [](bool zakonczone, const QString& blad, const QString& glosnosc,
                          const QStringList& czesci) {
            return WynikScalania{zakonczone, false, blad, glosnosc, czesci};
        };
        const QString ok = u"Scalanie zakończone powodzeniem"_s, g = u"Głośność wyrównana"_s;
        QTest::newRow("one file") << w(true, {}, {}, {}) << false << ok;
        QTest::newRow("levelled") << w(true, {}, g, {}) << false << ok + u". "_s + g;
        QTest::newRow("one part") << w(true, {}, {}, {u"/m/K-1.mp3"_s}) << false
                                  << ok + u". Książka zapisana w 1 części: K-1.mp3"_s;
        QTest::newRow("two parts, levelled")
            << w(true, {}, g, {u"/m/K-1.mp3"_s, u"/m/K-2.mp3"_s}) << false
            << ok + u". Książka zapisana w 2 częściach: K-1.mp3, K-2.mp3. "_s + g;
        QTest::newRow("stopped") << w(false, {}, {}, {}) << true << u"Scalanie przerwane"_s;
        QTest::newRow("failed") << w(false, u"zepsuty"_s, {}, {}) << false
                                << u"Scalanie nie powiodło się: zepsuty"_s;
        QTest::newRow("failed, unsaid")
            << w(false, {}, {}, {}) << false << u"Scalanie nie powiodło się"_s;
    }
    void endOfMergeSaid() {
        QFETCH(WynikScalania, wynik);
        QFETCH(bool, przerwano);
        QFETCH(QString, tekst);
        QCOMPARE(SesjaWyjscie::tekstKonca(wynik, przerwano), tekst);
    }
};

QTEST_MAIN(TestSesjaDroga)
#include "tst_sesjadroga.moc"
