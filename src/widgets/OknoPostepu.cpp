#include "widgets/OknoPostepu.h"

#include "base/Watki.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <memory>

OknoPostepu::OknoPostepu(QWidget* owner, const QString& nazwa, const QString& tytul,
                         const QString& postep, const QString& przerywanie)
    : QDialog(owner), m_przerywanie(przerywanie) {
    setObjectName(nazwa);
    setWindowTitle(tytul);
    setAccessibleName(tytul);
    setMinimumWidth(420);

    // The label keeps no fixed accessible name: a screen reader reads its
    // text, which names what is being done.
    LabelPlik = new QLabel(this);
    LabelPlik->setObjectName(QStringLiteral("LabelPlik"));
    LabelPlik->setTextFormat(Qt::PlainText);
    LabelPlik->setWordWrap(true);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(postep);
    LabelPlik->setBuddy(ProgressBar1);

    ButtonAnuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setAccessibleName(QStringLiteral("Anuluj"));
    connect(ButtonAnuluj, &QPushButton::clicked, this, &OknoPostepu::reject);

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelPlik);
    uklad->addWidget(ProgressBar1);
    uklad->addWidget(ButtonAnuluj, 0, Qt::AlignRight);
}

void OknoPostepu::reject() {
    if (!m_trwa) {
        QDialog::reject();
        return;
    }
    // The worker notices soon; the window stays until it has.
    if (!m_anulowano.exchange(true))
        LabelPlik->setText(m_przerywanie);
}

void OknoPostepu::closeEvent(QCloseEvent* event) {
    if (!m_trwa) {
        QDialog::closeEvent(event);
        return;
    }
    event->ignore();
    reject();
}

void OknoPostepu::wykonaj(const std::function<void()>& praca) {
    m_anulowano = false;
    m_trwa = true;
    std::unique_ptr<QThread> watek(QThread::create([&praca] {
        obnizPriorytetWatku();
        praca();
    }));
    connect(watek.get(), &QThread::finished, this, [this] {
        m_trwa = false;
        accept();
    });
    watek->start();
    exec();
    watek->wait(); // already ended: exec() returns only on its "finished"
    m_trwa = false;
}
