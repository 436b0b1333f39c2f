#include "card/ui/FormKopiowanie.h"

#include "base/Watki.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

TFormKopiowanie::TFormKopiowanie(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("FormKopiowanie"));
    setWindowTitle(QStringLiteral("Kopiowanie na kartę"));
    setAccessibleName(QStringLiteral("Kopiowanie na kartę"));
    setMinimumWidth(420);

    // The label keeps no fixed accessible name: a screen reader reads its
    // text, which names the file being copied.
    LabelPlik = new QLabel(this);
    LabelPlik->setObjectName(QStringLiteral("LabelPlik"));
    LabelPlik->setWordWrap(true);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Postęp kopiowania"));
    ProgressBar1->setRange(0, 1000); // thousandths, so books over 2 GiB fit
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    LabelPlik->setBuddy(ProgressBar1);

    ButtonAnuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setAccessibleName(QStringLiteral("Anuluj"));
    connect(ButtonAnuluj, &QPushButton::clicked, this, &TFormKopiowanie::reject);

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelPlik);
    uklad->addWidget(ProgressBar1);
    uklad->addWidget(ButtonAnuluj, 0, Qt::AlignRight);
}

void TFormKopiowanie::reject() {
    if (!trwa) {
        QDialog::reject();
        return;
    }
    // The worker notices at its next chunk; the window stays until it has.
    if (!anulowano.exchange(true))
        LabelPlik->setText(QStringLiteral("Przerywanie kopiowania…"));
}

void TFormKopiowanie::closeEvent(QCloseEvent* event) {
    if (!trwa) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    reject();
}

void TFormKopiowanie::pokaz(const QString& nazwa, int numer, int razem, std::int64_t bajty,
                            std::int64_t wszystkie) {
    if (anulowano)
        return;
    const QLocale locale;
    const QString tekst =
        QStringLiteral("Kopiowanie pliku %1 (%2 z %3)\nSkopiowano %4 z %5 bajtów")
            .arg(nazwa)
            .arg(numer)
            .arg(razem)
            .arg(locale.toString(qlonglong(bajty)), locale.toString(qlonglong(wszystkie)));
    if (LabelPlik->text() != tekst)
        LabelPlik->setText(tekst);
    const int promile = wszystkie > 0 ? static_cast<int>(bajty * 1000 / wszystkie) : 1000;
    if (ProgressBar1->value() != promile)
        ProgressBar1->setValue(promile);
}

TFormKopiowanie::Wynik TFormKopiowanie::kopiuj(const QStringList& pliki, const QString& korzen,
                                               const QStringList& zamien,
                                               const KopiowanieNaKarte& kopiowanie) {
    Wynik wynik;
    anulowano = false;
    trwa = true;
    if (!pliki.isEmpty())
        pokaz(QFileInfo(pliki.first()).fileName(), 1, int(pliki.size()), 0,
              QFileInfo(pliki.first()).size());

    // The worker touches only its own copies and `wynik`, which is read
    // here after it has ended.
    std::unique_ptr<QThread> watek(QThread::create([&wynik, this, pliki, korzen, zamien,
                                                    kopiowanie] {
        obnizPriorytetWatku();
        QElapsedTimer odPokazania;
        for (int i = 0; i < pliki.size() && !anulowano; ++i) {
            const QString nazwa = QFileInfo(pliki.at(i)).fileName();
            ObslugaKopiowania obsluga;
            obsluga.postep = [&](std::int64_t bajty, std::int64_t wszystkie) {
                // Each file's start and end, and between them a few updates a
                // second: enough to follow, little work for the window.
                if (bajty == 0 || bajty == wszystkie || !odPokazania.isValid() ||
                    odPokazania.elapsed() >= 100) {
                    odPokazania.start();
                    QMetaObject::invokeMethod(
                        this,
                        [this, nazwa, i, n = int(pliki.size()), bajty, wszystkie] {
                            pokaz(nazwa, i + 1, n, bajty, wszystkie);
                        },
                        Qt::QueuedConnection);
                }
                return !anulowano;
            };
            obsluga.czyZamienic = [&zamien](const QString& cel) { return zamien.contains(cel); };
            const RaportKopiowania raport = kopiowanie(pliki.at(i), korzen, obsluga);
            if (raport.wynik == WynikKopiowania::Anulowano)
                break;
            wynik.raporty.append(raport);
        }
    }));
    connect(watek.get(), &QThread::finished, this, [this] {
        trwa = false;
        accept();
    });
    watek->start();
    exec();
    watek->wait(); // already ended: exec() returns only on its "finished"
    // Only a stop leaves files unattempted.
    wynik.przerwano = wynik.raporty.size() < pliki.size();
    trwa = false;
    return wynik;
}
