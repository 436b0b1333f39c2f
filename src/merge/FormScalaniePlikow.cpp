#include "merge/FormScalaniePlikow.h"

#include "app/MainForm.h"
#include "app/Seams.h"
#include "base/Text.h"
#include "base/Watki.h"
#include "project/ModelProjektu.h"

#include <QCloseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

TFormScalaniePlikow::TFormScalaniePlikow(TMainForm* mainForm)
    : QDialog(mainForm), glowne(mainForm) {
    setObjectName(QStringLiteral("FormScalaniePlikow"));
    setWindowTitle(QStringLiteral("Scalanie plików"));
    setFixedSize(409, 267);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("Przebieg scalania"));
    Memo1->setReadOnly(true);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    Memo1->setGeometry(0, 0, 409, 209);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Postęp sklejania plików"));
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setFocusPolicy(Qt::NoFocus);
    ProgressBar1->setGeometry(8, 228, 190, 17);

    ButtonRozpocznij = new QPushButton(QStringLiteral("Rozpocznij"), this);
    ButtonRozpocznij->setObjectName(QStringLiteral("ButtonRozpocznij"));
    ButtonRozpocznij->setAccessibleName(QStringLiteral("Rozpocznij"));
    ButtonRozpocznij->setGeometry(208, 224, 75, 25);
    ButtonRozpocznij->setDefault(true);
    connect(ButtonRozpocznij, &QPushButton::clicked, this,
            [this] { glowne->guard([this] { ButtonRozpocznijClick(); }); });

    ButtonAnuluj = new QPushButton(this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setGeometry(296, 224, 75, 25);
    ustawAnuluj(QStringLiteral("Anuluj"));
    // Esc goes through reject(), as this button does.
    connect(ButtonAnuluj, &QPushButton::clicked, this, &TFormScalaniePlikow::ButtonAnulujClick);

    setTabOrder(Memo1, ButtonRozpocznij);
    setTabOrder(ButtonRozpocznij, ButtonAnuluj);
}

void TFormScalaniePlikow::ustawAnuluj(const QString& napis) {
    ButtonAnuluj->setText(napis);
    ButtonAnuluj->setAccessibleName(napis);
}

void TFormScalaniePlikow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void TFormScalaniePlikow::FormActivate() {
    ustawAnuluj(QStringLiteral("Anuluj"));
    ButtonRozpocznij->show();
    Memo1->clear();
    ProgressBar1->setValue(0);
    Memo1->appendPlainText(QStringLiteral("Zapisywanie projektu do pliku ") +
                           glowne->SaveDialogMP3FileName);
    Memo1->setFocus();
}

TFormScalaniePlikow::~TFormScalaniePlikow() {
    if (watek)
        watek->przerwij();
    zaczekajNaWatek();
}

void TFormScalaniePlikow::ButtonRozpocznijClick() {
    if (trwa)
        return;
    auto zadanie = std::make_unique<ZadanieScalania>(
        glowne->SaveDialogMP3FileName, glowne->projekt().pozycje(), glowne->MiernikScalania);
    zadanie->plikProjektu = glowne->projekt().NazwaProjektu();
    // The worker calls these; each hands its figures over as a queued call,
    // so lines arrive in the order they were written.
    zadanie->dziennik = [this](const QString& linia) {
        QMetaObject::invokeMethod(
            this, [this, linia] { dopiszLinie(linia); }, Qt::QueuedConnection);
    };
    zadanie->postep = [this](std::int64_t skopiowane, std::int64_t razem) {
        QMetaObject::invokeMethod(
            this, [this, skopiowane, razem] { pokazPostep(skopiowane, razem); },
            Qt::QueuedConnection);
    };
    trwa = true;
    zamknijPoZakonczeniu = false;
    ProgressBar1->setValue(0);
    ustawAnuluj(QStringLiteral("Przerwij"));
    watek = new TSklej(this, std::move(zadanie));
    watek->start();
}

void TFormScalaniePlikow::ButtonAnulujClick() {
    reject();
}

void TFormScalaniePlikow::reject() {
    if (trwa)
        przerwij();
    else
        QDialog::reject();
}

void TFormScalaniePlikow::closeEvent(QCloseEvent* event) {
    if (!trwa) {
        QDialog::closeEvent(event);
        return;
    }
    // The dialog closes once the worker has stopped and removed its files.
    event->ignore();
    if (!zapytajOPrzerwanie())
        return;
    if (trwa) {
        zamknijPoZakonczeniu = true;
        przerwij();
    } else {
        QDialog::reject(); // the merge ended while the question was open
    }
}

// Yes or No; Enter and Esc in the question answer No, so the merge goes on.
bool TFormScalaniePlikow::zapytajOPrzerwanie() {
    return glowne->seams().message(this, Seams::Icon::Question, QStringLiteral("Uwaga"),
                                   pytaniePrzerwac(), QMessageBox::Yes | QMessageBox::No,
                                   QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TFormScalaniePlikow::przerwij() {
    if (watek)
        watek->przerwij();
}

void TFormScalaniePlikow::zaczekajNaWatek() {
    if (!watek)
        return;
    watek->wait();
    delete watek.data();
}

bool TFormScalaniePlikow::zakonczScalanie() {
    if (!trwa)
        return true;
    if (!zapytajOPrzerwanie())
        return false;
    przerwij();
    zaczekajNaWatek();
    trwa = false;
    return true;
}

// While an assistive technology listens, the text control announces each
// inserted line itself (a text-inserted event).
void TFormScalaniePlikow::dopiszLinie(const QString& linia) {
    Memo1->appendPlainText(linia);
}

void TFormScalaniePlikow::pokazPostep(std::int64_t skopiowane, std::int64_t razem) {
    const int promile = razem > 0 ? static_cast<int>(skopiowane * 1000 / razem) : 0;
    if (promile != ProgressBar1->value())
        ProgressBar1->setValue(promile);
}

void TFormScalaniePlikow::zakonczono(const WynikScalania& wynik) {
    trwa = false;
    ustawAnuluj(QStringLiteral("Anuluj"));
    if (wynik.zakonczone) {
        ButtonRozpocznij->hide();
        ustawAnuluj(QStringLiteral("Zamknij"));
        for (int i = 0; i < 3; ++i)
            glowne->seams().beep();
        Memo1->setFocus();
    } else if (wynik.odmowa) {
        glowne->uwaga(errorBoxText(wynik.blad));
    }
    if (zamknijPoZakonczeniu) {
        zamknijPoZakonczeniu = false;
        QDialog::reject();
    }
}

// ---- the worker ------------------------------------------------------------------

TSklej::TSklej(TFormScalaniePlikow* form, std::unique_ptr<ZadanieScalania> zadanie)
    : form(form), zadanie(std::move(zadanie)) {
    this->zadanie->przerwac = [this] { return stop.load(); };
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TSklej::~TSklej() = default;

void TSklej::run() {
    obnizPriorytetWatku();
    zadanie->wykonaj();
    const WynikScalania wynik{zadanie->zakonczone(), zadanie->odmowa(), zadanie->blad()};
    TFormScalaniePlikow* okno = form;
    QMetaObject::invokeMethod(
        okno, [okno, wynik] { okno->zakonczono(wynik); }, Qt::QueuedConnection);
}
