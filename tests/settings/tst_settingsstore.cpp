#include "settings/Konfiguracja.h"
#include "settings/SettingsStore.h"
#include "settings/StanProgramu.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettingsStore : public QObject {
    Q_OBJECT

    static QByteArray readAll(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeAll(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

private slots:
    void openWithoutCreateOnMissingKey() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("conf")));
        QVERIFY(!store.open(QStringLiteral("SonvCom"), false));
        QVERIFY(!QDir(store.folder()).exists()); // nothing written
        auto key = store.open(QStringLiteral("SonvCom"), true);
        QVERIFY(key);
        QVERIFY(QFile::exists(key->filePath()));
        QVERIFY(store.open(QStringLiteral("SonvCom"), false));
    }

    // A key opened for a rewrite exists on disk only after its commit, and
    // keeps the values it had.
    void openForWritingWritesOnlyOnCommit() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("conf")));
        auto key = store.openForWriting(QStringLiteral("SonvCom"));
        QVERIFY(key);
        QVERIFY(!QDir(store.folder()).exists());
        key->writeString(QStringLiteral("Karta"), QStringLiteral("/media/a"));
        key->commit();
        key = store.openForWriting(QStringLiteral("SonvCom"));
        key->writeInteger(QStringLiteral("Zakladka"), 7);
        key->commit();
        key = store.open(QStringLiteral("SonvCom"), false);
        QCOMPARE(key->readString(QStringLiteral("Karta")), std::optional<QString>(u"/media/a"_qs));
        QCOMPARE(key->readInteger(QStringLiteral("Zakladka")), std::optional<std::int32_t>(7));
    }

    void writtenFileIsRegistryExport() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        auto key = store.open(QStringLiteral("SonvCom"), true);
        key->writeString(QStringLiteral("Karta"), QStringLiteral("/media/ola/KARTA"));
        key->writeString(QStringLiteral("Magazyn"), QStringLiteral("C:\\Książki \"nowe\""));
        key->writeInteger(QStringLiteral("Zakladka"), 5000);
        key->commit();
        QCOMPARE(readAll(key->filePath()), QByteArray("Windows Registry Editor Version 5.00\n\n"
                                                      "[HKEY_CURRENT_USER\\SonvCom]\n"
                                                      "\"Karta\"=\"/media/ola/KARTA\"\n"
                                                      "\"Magazyn\"=\"C:\\\\Ksi\xc4\x85\xc5\xbc"
                                                      "ki \\\"nowe\\\"\"\n"
                                                      "\"Zakladka\"=dword:00001388\n"));
    }

    void valuesSurviveRoundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");
        QTest::newRow("plain") << QStringLiteral("/home/ola") << 5000;
        QTest::newRow("negative") << QStringLiteral("") << -1;
        QTest::newRow("min") << QStringLiteral("a\\b\\") << int(-2147483647 - 1);
        QTest::newRow("unicode") << QStringLiteral("/nagrania/Żółw/Ελληνικά/日本") << 2147483647;
    }
    void valuesSurviveRoundTrip() {
        QFETCH(QString, text);
        QFETCH(int, number);
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        {
            auto key = store.open(QStringLiteral("SonvCom"), true);
            key->writeString(QStringLiteral("Magazyn"), text);
            key->writeInteger(QStringLiteral("Zakladka"), number);
            key->commit();
        }
        auto key = store.open(QStringLiteral("SonvCom"), false);
        QCOMPARE(key->readString(QStringLiteral("Magazyn")), std::optional<QString>(text));
        QCOMPARE(key->readInteger(QStringLiteral("Zakladka")), std::optional<std::int32_t>(number));
        QCOMPARE(key->readString(QStringLiteral("Karta")), std::optional<QString>());
    }

    void wrongTypesAreErrors() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        writeAll(dir.filePath(QStringLiteral("SonvCom.reg")),
                 "[HKEY_CURRENT_USER\\SonvCom]\r\n"
                 "\"Karta\"=dword:00000001\r\n"
                 "\"Zakladka\"=\"5000\"\r\n"
                 "\"Zly\"=dword:zz\r\n"
                 "\"Bin\"=hex:01,02\r\n"
                 "\"Rozw\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\r\n");
        auto key = store.open(QStringLiteral("SonvCom"), false);
        QVERIFY(key);
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->readString(QStringLiteral("Karta")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->readInteger(QStringLiteral("Zakladka")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->readInteger(QStringLiteral("Zly")));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->readString(QStringLiteral("Bin")));
        // An expandable text is read as text, unexpanded.
        QCOMPARE(key->readString(QStringLiteral("Rozw")), std::optional<QString>(u"%HOME%"_qs));
        // Value names are case-insensitive, as in the registry.
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->readString(QStringLiteral("karta")));
    }

    void unknownValuesSurviveRewrite() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        writeAll(dir.filePath(QStringLiteral("SonvCom.reg")),
                 "[HKEY_CURRENT_USER\\SonvCom]\n\"Inne\"=hex:01,02\n");
        auto key = store.open(QStringLiteral("SonvCom"), false);
        key->writeInteger(QStringLiteral("Zakladka"), 1);
        key->commit();
        QVERIFY(readAll(key->filePath()).contains("\"Inne\"=hex:01,02\n"));
    }

    // Whatever the reader accepts reads back the same after a rewrite that
    // adds a value.
    void rewriteReadsBack_data() {
        QTest::addColumn<QByteArray>("plik");
        QTest::newRow("backslash ending the file") << QByteArray("\"A\"=hex:01,\\");
        QTest::newRow("backslash, then line end") << QByteArray("\"A\"=hex:01,\\\n");
        QTest::newRow("continued list") << QByteArray("\"A\"=hex:01,\\\r\n  02\r\n");
        QTest::newRow("escapes") << QByteArray(
            "\"A\\\"b\"=\"x\\y\\\\\" reszta\r\n\"D\"=dword:zz\n");
        QTest::newRow("expandable text") << QByteArray("\"R\"=hex(2):25,00,00,00\n");
    }
    void rewriteReadsBack() {
        QFETCH(QByteArray, plik);
        RegistryKey key = RegistryKey::parse(u"SonvCom"_qs, u"SonvCom.reg"_qs, plik);
        key.writeString(u"Magazyn"_qs, u"C:\\Książki\\"_qs);
        const QByteArray zapisany = key.fileContent();
        const RegistryKey back = RegistryKey::parse(u"SonvCom"_qs, u"SonvCom.reg"_qs, zapisany);
        QVERIFY(back.values() == key.values());
        QCOMPARE(back.fileContent(), zapisany);
    }

    // A text the file cannot hold is refused and the file kept; a broken
    // file does not stop the next save, which writes the key anew.
    void refusedTextAndBrokenFile_data() {
        QTest::addColumn<QString>("tekst");
        QTest::newRow("line break") << u"/home/ola\n"_qs;
        QTest::newRow("backslash, line break") << u"/home/ola\\\nx"_qs;
        QTest::newRow("lone surrogate") << u"/home/"_qs + QChar(0xD800);
    }
    void refusedTextAndBrokenFile() {
        QFETCH(QString, tekst);
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        const QString path = dir.filePath(QStringLiteral("SonvCom.reg"));
        const QByteArray zepsuty("[HKEY_CURRENT_USER\\SonvCom]\n\"Magazyn\"=\"/home/ola\n\"\n");
        writeAll(path, zepsuty);
        QVERIFY_THROWS_EXCEPTION(ERegistryException, store.open(QStringLiteral("SonvCom"), false));
        auto key = store.openForWriting(QStringLiteral("SonvCom"));
        QVERIFY(key->values().isEmpty());
        key->writeString(QStringLiteral("Magazyn"), tekst);
        try {
            key->commit();
            QFAIL("a text that does not read back was written");
        } catch (const ERegistryException& e) {
            QVERIFY2(e.text().contains(u"„Magazyn”"_qs), qPrintable(e.text()));
        }
        QCOMPARE(readAll(path), zepsuty);
        key->writeString(QStringLiteral("Magazyn"), QStringLiteral("/home/ola"));
        key->commit();
        QCOMPARE(
            store.open(QStringLiteral("SonvCom"), false)->readString(QStringLiteral("Magazyn")),
            std::optional<QString>(u"/home/ola"_qs));
    }

    void failedCommitKeepsOldFile() {
        QTemporaryDir dir;
        SettingsStore store(dir.path());
        auto key = store.open(QStringLiteral("SonvCom"), true);
        key->writeString(QStringLiteral("Karta"), QStringLiteral("/media/a"));
        key->commit();
        const QByteArray before = readAll(key->filePath());
        // A folder where the temporary file would go makes the write fail
        // even for root: replace the store's folder by a read-only file tree.
        QVERIFY(QDir(dir.path()).rename(QStringLiteral("SonvCom.reg"), QStringLiteral("keep")));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("SonvCom.reg")));
        key->writeString(QStringLiteral("Karta"), QStringLiteral("/media/b"));
        QVERIFY_THROWS_EXCEPTION(ERegistryException, key->commit());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("keep"))), before);
    }

    // What the program remembers lives beside the settings: written only
    // into a key the settings made, never changing them, read back in order
    // with the newest project first and at most eight of them.
    void rememberedStateBesideTheSettings() {
        QTemporaryDir dir;
        SettingsStore store(dir.filePath(QStringLiteral("conf")));
        StanProgramu stan;
        for (int i = 1; i <= 10; ++i)
            dopiszOstatni(stan.OstatnieProjekty, QStringLiteral("/k/%1.xml").arg(i));
        dopiszOstatni(stan.OstatnieProjekty, QStringLiteral("/k/5.xml"));
        QCOMPARE(stan.OstatnieProjekty.size(), 8);
        QCOMPARE(stan.OstatnieProjekty.mid(0, 3),
                 (QStringList{u"/k/5.xml"_qs, u"/k/10.xml"_qs, u"/k/9.xml"_qs}));
        stan.FolderProjektow = QStringLiteral("/k/");
        stan.Geometria = QStringLiteral("AdnQyw==");
        QVERIFY(!zapiszStanProgramu(store, stan)); // no key yet: the first run stays one
        QVERIFY(!store.open(QStringLiteral("SonvCom"), false));

        zapiszKonfiguracje(store, {QStringLiteral("/media/k"), QStringLiteral("/m"), 4000, {}});
        QVERIFY(zapiszStanProgramu(store, stan));
        stan.OstatnieProjekty.removeLast(); // fewer later: the old ones do not come back
        QVERIFY(zapiszStanProgramu(store, stan));
        const StanProgramu odczytany = odczytajStanProgramu(store);
        QCOMPARE(odczytany.OstatnieProjekty, stan.OstatnieProjekty);
        QCOMPARE(odczytany.FolderProjektow, stan.FolderProjektow);
        QCOMPARE(odczytany.Geometria, stan.Geometria);
        Konfiguracja k;
        QVERIFY(!odczytajKonfiguracje(store, k));
        QCOMPARE(k.Karta, QStringLiteral("/media/k"));
        QCOMPARE(k.DomyslnaZakladka, 4000);
        // The settings dialog's save keeps the remembered values.
        zapiszKonfiguracje(store, {QStringLiteral("/media/j"), QStringLiteral("/m"), 4000, {}});
        QCOMPARE(odczytajStanProgramu(store).OstatnieProjekty, stan.OstatnieProjekty);

        // A broken key is left as it is.
        const QString plik = store.open(QStringLiteral("SonvCom"), false)->filePath();
        writeAll(plik, "\"Karta\"=\"nie zamkniete\n");
        QVERIFY(!zapiszStanProgramu(store, stan));
        QCOMPARE(readAll(plik), QByteArray("\"Karta\"=\"nie zamkniete\n"));
        QVERIFY(odczytajStanProgramu(store).OstatnieProjekty.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
