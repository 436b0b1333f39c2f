#include "widgets/OknoPostepu.h"

#include "base/Watki.h"
#include "widgets/PasekPostepu.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
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

    auto* pasek = new PasekPostepu(this);
    ProgressBar1 = pasek;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(postep);
    LabelPlik->setBuddy(ProgressBar1);

    ButtonAnuluj = new QPushButton(QStringLiteral("Anuluj"), this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setAccessibleName(QStringLiteral("Anuluj"));
    connect(ButtonAnuluj, &QPushButton::clicked, this, &OknoPostepu::reject);

    // The help line names the keys of the window.
    auto* pomoc =
        new QLabel(QStringLiteral("Esc: przerwij, ") + PasekPostepu::opisKlawisza(), this);
    pomoc->setObjectName(QStringLiteral("LabelPomoc"));
    setAccessibleDescription(pomoc->text());

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelPlik);
    uklad->addWidget(ProgressBar1);
    uklad->addWidget(pasek->LabelCzas);
    uklad->addWidget(pomoc);
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
    auto* pasek = static_cast<PasekPostepu*>(ProgressBar1);
    pasek->rozpocznij();
    watek->start();
    exec();
    watek->wait(); // already ended: exec() returns only on its "finished"
    pasek->zakoncz();
    m_trwa = false;
}

std::function<void(const QString&)> OknoPostepu::dziennikDoEtykiety() {
    return [this](const QString& linia) {
        QMetaObject::invokeMethod(
            this,
            [this, linia] {
                if (!m_anulowano)
                    LabelPlik->setText(linia);
            },
            Qt::QueuedConnection);
    };
}

std::function<void(std::int64_t, std::int64_t)> OknoPostepu::postepDoPaska() {
    const int skala = ProgressBar1->maximum();
    return [this, skala](std::int64_t zrobione, std::int64_t razem) {
        const int wartosc =
            razem > 0 ? int(std::clamp<std::int64_t>(zrobione * skala / razem, 0, skala)) : 0;
        QMetaObject::invokeMethod(
            this, [this, wartosc] { ProgressBar1->setValue(wartosc); }, Qt::QueuedConnection);
    };
}
