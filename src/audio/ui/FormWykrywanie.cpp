#include "audio/ui/FormWykrywanie.h"

#include "base/Errors.h"
#include "base/Watki.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

TFormWykrywanie::TFormWykrywanie(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("FormWykrywanie"));
    setWindowTitle(QStringLiteral("Wykrywanie zakładek"));
    setAccessibleName(QStringLiteral("Wykrywanie zakładek"));
    setMinimumWidth(420);

    // The label keeps no fixed accessible name: a screen reader reads its
    // text, which names the file being examined.
    LabelPlik = new QLabel(this);
    LabelPlik->setObjectName(QStringLiteral("LabelPlik"));
    LabelPlik->setTextFormat(Qt::PlainText);
    LabelPlik->setWordWrap(true);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Postęp wykrywania"));
    LabelPlik->setBuddy(ProgressBar1);

    ButtonAnuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setAccessibleName(QStringLiteral("Anuluj"));
    connect(ButtonAnuluj, &QPushButton::clicked, this, &TFormWykrywanie::reject);

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelPlik);
    uklad->addWidget(ProgressBar1);
    uklad->addWidget(ButtonAnuluj, 0, Qt::AlignRight);
}

void TFormWykrywanie::reject() {
    if (!m_trwa) {
        QDialog::reject();
        return;
    }
    // The worker notices within the file in hand; the window stays until it has.
    if (!m_anulowano.exchange(true))
        LabelPlik->setText(QStringLiteral("Przerywanie wykrywania…"));
}

void TFormWykrywanie::closeEvent(QCloseEvent* event) {
    if (!m_trwa) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    reject();
}

void TFormWykrywanie::pokaz(const QString& nazwa, int zrobione, int razem) {
    if (m_anulowano)
        return;
    LabelPlik->setText(QStringLiteral("Wykrywanie zakładki: %1 (%2 z %3)")
                           .arg(nazwa)
                           .arg(zrobione + 1)
                           .arg(razem));
    ProgressBar1->setValue(zrobione);
}

TFormWykrywanie::Wynik TFormWykrywanie::wykryj(const QStringList& pliki, int przerwaMs,
                                               const WykrywanieTytulow& wykrywanie) {
    Wynik wynik;
    m_anulowano = false;
    m_trwa = true;
    ProgressBar1->setRange(0, int(pliki.size()));
    if (!pliki.isEmpty())
        pokaz(QFileInfo(pliki.first()).fileName(), 0, int(pliki.size()));

    // The worker touches only its own copies and `wynik`, which is read
    // here after it has ended.
    std::unique_ptr<QThread> watek(QThread::create([&wynik, this, pliki, przerwaMs, wykrywanie] {
        obnizPriorytetWatku();
        for (int i = 0; i < pliki.size() && !m_anulowano; ++i) {
            if (i > 0) {
                QMetaObject::invokeMethod(
                    this,
                    [this, nazwa = QFileInfo(pliki.at(i)).fileName(), i, n = int(pliki.size())] {
                        pokaz(nazwa, i, n);
                    },
                    Qt::QueuedConnection);
            }
            WynikPliku w;
            try {
                w.tytul = wykrywanie(pliki.at(i), przerwaMs, &m_anulowano);
            } catch (const std::exception& e) {
                w.blad = errorMessage(e);
            }
            if (m_anulowano)
                break;
            wynik.pliki.append(w);
        }
    }));
    connect(watek.get(), &QThread::finished, this, [this] {
        m_trwa = false;
        accept();
    });
    watek->start();
    exec();
    watek->wait(); // already ended: exec() returns only on its "finished"
    wynik.przerwano = wynik.pliki.size() < pliki.size();
    m_trwa = false;
    return wynik;
}
