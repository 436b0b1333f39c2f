// "Głośność" from the main window, with a stand-in meter: a stop in the
// progress window keeps the files measured before it, and the report window
// takes the focus. What is measured and reported is the session's business.

#include "app/MainForm.h"
#include "audio/ui/FormPomiarGlosnosci.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Okna.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/OknoTekstu.h"

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// Loudness by file name; a file that is not there is measured for real, so
// the report shows the real error.
struct Miernik {
    std::mutex blokada;
    QHash<QString, double> glosnosci;
    QStringList wywolania;           // file names, in no particular order
    std::atomic_bool czekaj = false; // every file but a.mp3 waits for the stop

    MiernikGlosnosci funkcja() {
        return [this](const QString& path, const std::atomic_bool* przerwij) {
            const QString nazwa = QFileInfo(path).fileName();
            double lufs;
            {
                const std::lock_guard lock(blokada);
                wywolania.append(nazwa);
                lufs = glosnosci.value(nazwa);
            }
            if (!QFile::exists(path))
                return zmierzGlosnosc(path, przerwij);
            if (czekaj && nazwa != u"a.mp3") {
                while (!*przerwij)
                    QThread::yieldCurrentThread();
                return std::optional<PomiarGlosnosci>();
            }
            return std::optional<PomiarGlosnosci>(PomiarGlosnosci{lufs, -10.0, 100, 180});
        };
    }
    QStringList wezWywolania() {
        const std::lock_guard lock(blokada);
        QStringList w = std::exchange(wywolania, {});
        w.sort();
        return w;
    }
};

struct Okno {
    QTemporaryDir dir;
    QTemporaryDir conf;
    FakeSeams seams;
    SettingsStore store;
    Miernik miernik;
    TMainForm form;
    QStringList raport; // the lines the report window showed last
    QString fokus;

    Okno() : store(conf.path()), form(uslugi(seams, store, dir.path(), miernik)) {
        form.utworzOkna();
        seams.messages.clear(); // the first-run notice
        seams.onExec = [this](QDialog* d) {
            d->show();
            raport = static_cast<OknoTekstu*>(d)->Memo->toPlainText().split(u'\n');
            fokus = d->focusWidget() ? d->focusWidget()->accessibleName() : QString();
            return int(QDialog::Rejected);
        };
    }
    static Uslugi uslugi(FakeSeams& seams, SettingsStore& store, const QString& dir, Miernik& m) {
        Uslugi u(seams, store, dir);
        u.miernikGlosnosci = m.funkcja();
        return u;
    }
    QString dodaj(const QString& nazwa, std::optional<double> lufs) {
        const QString path = dir.filePath(nazwa);
        if (lufs) {
            miernik.glosnosci.insert(nazwa, *lufs);
            zapiszBajty(path, "x");
        }
        dodajWiersz(form, path, u"0"_s, u"5000"_s);
        return path;
    }
    void glosnosc() {
        raport.clear();
        akcja(form, "Glosnosc1")->trigger();
    }
};

} // namespace

class TestGlosnoscOkna : public QObject {
    Q_OBJECT
private slots:
    // The progress window stops on "Anuluj" and on Esc: no report, the
    // files measured before the stop are kept, and the next run measures
    // the rest and shows its report with the focus in it.
    void stopKeepsWhatWasMeasured_data() {
        QTest::addColumn<bool>("esc");
        QTest::newRow("Anuluj") << false;
        QTest::newRow("Esc") << true;
    }
    void stopKeepsWhatWasMeasured() {
        QFETCH(bool, esc);
        Okno o;
        QStringList pliki;
        for (const QString& n : {u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s})
            pliki << o.dodaj(n, -18.0);
        o.miernik.czekaj = true;
        QMetaObject::invokeMethod(
            &o.form,
            [&] {
                auto* okno = o.form.findChild<TFormPomiarGlosnosci*>(u"FormPomiarGlosnosci"_s);
                QVERIFY(okno);
                QTRY_COMPARE(okno->ProgressBar1->value(), 1);
                if (esc)
                    QTest::keyClick(okno, Qt::Key_Escape);
                else
                    QTest::mouseClick(okno->ButtonAnuluj, Qt::LeftButton);
            },
            Qt::QueuedConnection);
        o.glosnosc();
        QVERIFY(o.seams.shown.isEmpty()); // no report
        QVERIFY(kontrolka<LiniaKomunikatu>(o.form, "StatusBar1")->text().contains(u"przerwano"_s));
        QVERIFY(o.form.glosnosci().znajdz(pliki[0]));
        QVERIFY(!o.form.glosnosci().znajdz(pliki[1]));
        QVERIFY(!o.form.glosnosci().znajdz(pliki[2]));

        // The next run measures the rest only.
        o.miernik.czekaj = false;
        o.miernik.wezWywolania();
        o.glosnosc();
        QCOMPARE(o.miernik.wezWywolania(), (QStringList{u"b.mp3"_s, u"c.mp3"_s}));
        QCOMPARE(o.raport.first(), u"Mediana głośności: −18,0 LUFS (zmierzono 3 z 3 pozycji)."_s);
        QCOMPARE(o.fokus, u"Głośność pozycji"_s);
    }
};

QTEST_MAIN(TestGlosnoscOkna)
#include "tstui_glosnosc.moc"
