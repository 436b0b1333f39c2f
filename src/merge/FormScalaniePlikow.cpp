#include "merge/FormScalaniePlikow.h"

#include "app/MainForm.h"
#include "app/Seams.h"
#include "app/Text.h"

#include <QPlainTextEdit>
#include <QPointer>
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
    // Esc closes the dialog through reject(), as this button does.
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

void TFormScalaniePlikow::ButtonRozpocznijClick() {
    if (trwa)
        return;
    auto zadanie = std::make_unique<ZadanieScalania>(glowne->SaveDialogMP3FileName,
                                                     glowne->pozycje(), glowne->MiernikScalania);
    zadanie->plikProjektu = glowne->NazwaProjektu;
    QPointer<TFormScalaniePlikow> okno(this);
    zadanie->dziennik = [okno](const QString& linia) {
        if (okno)
            okno->dopiszLinie(linia);
    };
    zadanie->postep = [okno](std::int64_t skopiowane, std::int64_t razem) {
        if (okno)
            okno->pokazPostep(skopiowane, razem);
    };
    trwa = true;
    ProgressBar1->setValue(0);
    auto* watek = new TSklej(this, std::move(zadanie));
    watek->start(QThread::IdlePriority);
}

void TFormScalaniePlikow::ButtonAnulujClick() {
    reject();
}

// A stage holds the user-interface thread until it returns, so what it
// shows is painted at once; no input is taken meanwhile.
void TFormScalaniePlikow::dopiszLinie(const QString& linia) {
    Memo1->appendPlainText(linia);
    if (isVisible())
        Memo1->viewport()->repaint();
}

void TFormScalaniePlikow::pokazPostep(std::int64_t skopiowane, std::int64_t razem) {
    const int promile = razem > 0 ? static_cast<int>(skopiowane * 1000 / razem) : 0;
    if (promile == ProgressBar1->value())
        return;
    ProgressBar1->setValue(promile);
    if (isVisible())
        ProgressBar1->repaint();
}

void TFormScalaniePlikow::zakonczono(const ZadanieScalania& zadanie) {
    trwa = false;
    if (zadanie.zakonczone()) {
        ButtonRozpocznij->hide();
        ustawAnuluj(QStringLiteral("Zamknij"));
        for (int i = 0; i < 3; ++i)
            glowne->seams().beep();
        Memo1->setFocus();
    } else if (zadanie.odmowa()) {
        glowne->uwaga(errorBoxText(zadanie.blad()));
    }
}

// ---- the worker ------------------------------------------------------------------

TSklej::TSklej(TFormScalaniePlikow* form, std::unique_ptr<ZadanieScalania> zadanie)
    : form(form), zadanie(std::move(zadanie)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TSklej::~TSklej() = default;

void TSklej::run() {
    bool sklejone = false;
    QMetaObject::invokeMethod(
        this, [this, &sklejone] { sklejone = SklejPliki(); }, Qt::BlockingQueuedConnection);
    if (sklejone)
        QMetaObject::invokeMethod(
            this, [this] { UtworzIndeksy(); }, Qt::BlockingQueuedConnection);
}

bool TSklej::SklejPliki() {
    const bool ok = zadanie->SklejPliki();
    if (!ok && form)
        form->zakonczono(*zadanie);
    return ok;
}

void TSklej::UtworzIndeksy() {
    zadanie->UtworzIndeksy();
    if (form)
        form->zakonczono(*zadanie);
}
