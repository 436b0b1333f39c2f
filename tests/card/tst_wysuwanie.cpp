#include "card/UDisks2.h"
#include "card/Volumes.h"
#include "card/Wysuwanie.h"
#include "support/FileBytes.h"
#include "support/Tmpfs.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The eject against a stand-in for UDisks2 (python3-dbusmock) on a private
// bus that this test starts and hands to the program as the system bus.
class TestWysuwanie : public QObject {
    Q_OBJECT
    QProcess magistrala;
    QString python;
    std::optional<QTemporaryDir> dir;
    QString karta; // the card's mount point, no final '/'

    // Starts the stand-in with these parameters and waits until it is on the bus.
    void zastepca(QProcess& mock, const QJsonObject& parametry) {
        mock.start(python,
                   {u"-m"_s, u"dbusmock"_s, u"--system"_s, u"--template"_s,
                    QStringLiteral(QT_TESTCASE_SOURCEDIR "/support/udisks2_karta.py"),
                    u"--parameters"_s, QString::fromUtf8(QJsonDocument(parametry).toJson())});
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::systemBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.UDisks2"_s),
                                 10000);
    }
    void zatrzymaj(QProcess& mock) {
        mock.kill();
        mock.waitForFinished();
        QTRY_VERIFY_WITH_TIMEOUT(!QDBusConnection::systemBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.UDisks2"_s),
                                 10000);
    }

private slots:
    void initTestCase() {
        const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
        // The system's own Python has the system's D-Bus modules.
        python = QStandardPaths::findExecutable(u"python3"_s, {u"/usr/bin"_s});
        if (daemon.isEmpty() || python.isEmpty() ||
            QProcess::execute(python, {u"-c"_s, u"import dbusmock"_s}) != 0)
            QSKIP("dbus-daemon or python3-dbusmock is not installed");
        magistrala.start(daemon, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY(magistrala.waitForReadyRead(20000));
        const QByteArray adres = magistrala.readLine().trimmed();
        QVERIFY(!adres.isEmpty());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", adres);
        QVERIFY(QDBusConnection::systemBus().isConnected());
    }
    void cleanupTestCase() {
        magistrala.kill();
        magistrala.waitForFinished();
    }
    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
        karta = dir->filePath(u"karta"_s);
        QVERIFY(QDir().mkpath(karta));
    }

    void eject_data() {
        QTest::addColumn<QString>("unmount"); // empty: no UDisks2 on the bus
        QTest::addColumn<QString>("poweroff");
        QTest::addColumn<bool>("innaKarta"); // UDisks2 knows only another mount
        QTest::addColumn<bool>("prawdziwa"); // a tmpfs card, needs root
        QTest::addColumn<bool>("moznaWyjac");
        QTest::addColumn<QStringList>("tekst"); // parts of what is said
        QTest::addColumn<QString>("wywolania");
        QTest::newRow("no UDisks2")
            << QString() << u"ok"_s << false << false << false
            << QStringList{u"nie działa usługa UDisks2"_s, u"umount "_s} << QString();
        QTest::newRow("device unknown to UDisks2")
            << u"ok"_s << u"ok"_s << true << false << false
            << QStringList{u"Usługa UDisks2 nie zna urządzenia"_s} << QString();
        QTest::newRow("busy names the holder")
            << u"busy"_s << u"ok"_s << false << false << false
            << QStringList{u"jest używana"_s, u"target is busy"_s, u"tst_wysuwanie (PID"_s,
                           u"Karty nie wolno jeszcze wyjmować."_s}
            << u"Unmount\n"_s;
        QTest::newRow("unmounted and powered off")
            << u"ok"_s << u"ok"_s << false << false << true << QStringList{u"Kartę można wyjąć."_s}
            << u"Unmount\nPowerOff\n"_s;
        QTest::newRow("drive cannot power off")
            << u"ok"_s << u"none"_s << false << false << true
            << QStringList{u"Kartę można wyjąć."_s} << u"Unmount\n"_s;
        QTest::newRow("power off fails")
            << u"ok"_s << u"fail"_s << false << false << true
            << QStringList{u"Kartę można wyjąć. (Czytnika nie udało się wyłączyć"_s}
            << u"Unmount\nPowerOff\n"_s;
        QTest::newRow("real card unmounted")
            << u"umount"_s << u"ok"_s << false << true << true
            << QStringList{u"Kartę można wyjąć."_s} << u"Unmount\nPowerOff\n"_s;
        QTest::newRow("UDisks2 says unmounted, the card is still mounted")
            << u"ok"_s << u"ok"_s << false << true << false
            << QStringList{u"jest nadal zamontowana"_s} << u"Unmount\n"_s;
    }
    void eject() {
        QFETCH(QString, unmount);
        QFETCH(QString, poweroff);
        QFETCH(bool, innaKarta);
        QFETCH(bool, prawdziwa);
        QFETCH(bool, moznaWyjac);
        QFETCH(QStringList, tekst);
        QFETCH(QString, wywolania);
        std::unique_ptr<Tmpfs> tmpfs;
        if (prawdziwa) {
            if (::geteuid() != 0)
                QSKIP("mounting a card needs root");
            tmpfs = std::make_unique<Tmpfs>(karta, "size=1m");
            QVERIFY(tmpfs->zamontowany);
            tmpfs->zamontowany = unmount != u"umount"_s; // the stand-in unmounts it
        }
        const QString log = dir->filePath(u"wywolania"_s);
        QProcess mock;
        if (!unmount.isEmpty())
            zastepca(mock, {{u"punkt"_s, innaKarta ? u"/media/inna"_s : karta},
                            {u"unmount"_s, unmount},
                            {u"poweroff"_s, poweroff},
                            {u"log"_s, log}});
        // A file open on the card, as a player program would hold it.
        QFile otwarty(karta + u"/ksiazka.mp3"_s);
        if (unmount == u"busy"_s)
            QVERIFY(otwarty.open(QIODevice::WriteOnly));

        const WynikWysuniecia wynik = wysunKarte(karta + u"/"_s);
        zatrzymaj(mock);
        QCOMPARE(wynik.moznaWyjac, moznaWyjac);
        for (const QString& czesc : tekst)
            QVERIFY2(wynik.tekst.contains(czesc), qPrintable(wynik.tekst));
        QCOMPARE(QString::fromUtf8(bajtyPliku(log)), wywolania);
    }

    // The drive list takes the label, size and removable flag from UDisks2
    // for the mount it knows, and keeps what it read itself otherwise.
    void driveListFacts_data() {
        QTest::addColumn<bool>("udisks");
        QTest::addColumn<QString>("etykieta");
        QTest::addColumn<bool>("wymienny");
        QTest::addColumn<QString>("opis"); // of the card's entry afterwards
        QTest::newRow("no UDisks2: as read") << false << QString() << true << u"%1 [STARA]"_s;
        QTest::newRow("label, size, removable")
            << true << u"KSIĄŻKI"_s << true << u"%1 [KSIĄŻKI, 7,4 GB]"_s;
        QTest::newRow("no label, fixed drive")
            << true << QString() << false << u"%1 [STARA, 7,4 GB]"_s;
    }
    void driveListFacts() {
        QFETCH(bool, udisks);
        QFETCH(QString, etykieta);
        QFETCH(bool, wymienny);
        QFETCH(QString, opis);
        QProcess mock;
        if (udisks)
            zastepca(mock, {{u"punkt"_s, karta},
                            {u"etykieta"_s, etykieta},
                            {u"rozmiar"_s, 7948206080.0},
                            {u"wymienny"_s, wymienny}});
        const Wolumin inny{u"/media/inny"_s, u"ext4"_s, u"/dev/sdy1"_s, u"INNY"_s, false, 0};
        const ListaWoluminow lista =
            zFaktamiUDisks2({{karta, u"vfat"_s, u"/dev/sdz1"_s, u"STARA"_s, false, 0}, inny});
        zatrzymaj(mock);
        QCOMPARE(lista.size(), 2);
        QCOMPARE(lista.at(0).opis(), opis.arg(karta));
        QCOMPARE(lista.at(0).wymienny, udisks && wymienny);
        QCOMPARE(lista.at(1), inny);
    }

    // The real udisksd on the private bus: a loop device with ext2, mounted
    // through UDisks2 itself and ejected by the program. It needs root, and
    // udev's database, without which udisksd publishes no block device.
    void realUdisksd() {
        const QString udisksd = u"/usr/libexec/udisks2/udisksd"_s;
        const QString mkfs =
            QStandardPaths::findExecutable(u"mkfs.ext2"_s, {u"/usr/sbin"_s, u"/sbin"_s});
        if (::geteuid() != 0 || !QFileInfo(udisksd).isExecutable() || mkfs.isEmpty())
            QSKIP("needs root, udisksd and mkfs.ext2");
        if (!QFileInfo::exists(u"/run/udev/data"_s))
            QSKIP("udev does not run here (no /run/udev/data), so udisksd would publish no "
                  "block device");
        const QString obraz = dir->filePath(u"karta.img"_s);
        QVERIFY(zapiszBajty(obraz, QByteArray(32 * 1024 * 1024, '\0')));
        QProcess losetup;
        losetup.start(u"losetup"_s, {u"--find"_s, u"--show"_s, obraz});
        QVERIFY(losetup.waitForFinished(20000));
        const QString petla = QString::fromLatin1(losetup.readAllStandardOutput()).trimmed();
        if (petla.isEmpty())
            QSKIP("no loop device");
        QProcess demon;
        QString punkt;
        const auto sprzatnij = qScopeGuard([&] {
            demon.kill();
            demon.waitForFinished();
            if (!punkt.isEmpty())
                QProcess::execute(u"umount"_s, {punkt});
            QProcess::execute(u"losetup"_s, {u"-d"_s, petla});
        });
        QCOMPARE(QProcess::execute(mkfs, {u"-q"_s, u"-F"_s, petla}), 0);
        demon.start(udisksd, {});
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::systemBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.UDisks2"_s),
                                 20000);
        // The file system object of the loop device, once udisksd has it.
        const QByteArray urzadzenie = QFile::encodeName(petla) + '\0';
        const auto znajdz = [&urzadzenie] {
            const udisks2::Obiekty obiekty =
                udisks2::obiekty(5000).obiekty.value_or(udisks2::Obiekty());
            for (auto it = obiekty.cbegin(); it != obiekty.cend(); ++it)
                if (it->contains(u"org.freedesktop.UDisks2.Filesystem"_s) &&
                    it->value(u"org.freedesktop.UDisks2.Block"_s)
                            .value(u"Device"_s)
                            .toByteArray() == urzadzenie)
                    return it.key();
            return QString();
        };
        QString obiekt;
        QTRY_VERIFY_WITH_TIMEOUT(!(obiekt = znajdz()).isEmpty(), 10000);
        QDBusMessage montowanie =
            QDBusMessage::createMethodCall(u"org.freedesktop.UDisks2"_s, obiekt,
                                           u"org.freedesktop.UDisks2.Filesystem"_s, u"Mount"_s);
        montowanie << QVariantMap();
        const QDBusMessage odpowiedz =
            QDBusConnection::systemBus().call(montowanie, QDBus::Block, 30000);
        if (odpowiedz.type() == QDBusMessage::ErrorMessage)
            QSKIP(qPrintable(u"udisksd does not mount here: "_s + odpowiedz.errorMessage()));
        punkt = odpowiedz.arguments().value(0).toString();
        QVERIFY(punktMontowania(punkt));
        const WynikWysuniecia wynik = wysunKarte(punkt);
        QVERIFY2(wynik.moznaWyjac, qPrintable(wynik.tekst));
        QVERIFY(!punktMontowania(punkt));
        punkt.clear();
    }
};

QTEST_GUILESS_MAIN(TestWysuwanie)
#include "tst_wysuwanie.moc"
