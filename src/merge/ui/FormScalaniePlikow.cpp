#include "merge/ui/FormScalaniePlikow.h"

#include "audio/Glosnosc.h"
#include "base/Text.h"
#include "base/Watki.h"
#include "merge/Podsumowanie.h"
#include "merge/ZadanieScalania.h"
#include "sesja/SesjaWyjscie.h"
#include "widgets/Komunikaty.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/OknoTekstu.h"
#include "widgets/PasekPostepu.h"
#include "widgets/Seams.h"
#include "widgets/Ulatwienia.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <utility>

TFormScalaniePlikow::TFormScalaniePlikow(QWidget* parent, const Komunikaty& komunikaty,
                                         Rozmowa& rozmowa, MiernikMp3 miernik)
    : QDialog(parent), m_komunikaty(komunikaty), m_rozmowa(rozmowa), m_miernik(std::move(miernik)) {
    setObjectName(QStringLiteral("FormScalaniePlikow"));
    setWindowTitle(QStringLiteral("Scalanie plików"));
    setMinimumSize(409, 267);

    MemoPodsumowanie = tekstDoCzytania(this, QStringLiteral("MemoPodsumowanie"),
                                       QStringLiteral("Podsumowanie książki"));
    MemoPodsumowanie->setMaximumHeight(7 * MemoPodsumowanie->fontMetrics().lineSpacing());
    MemoPodsumowanie->hide();

    Memo1 = tekstDoCzytania(this, QStringLiteral("Memo1"), QStringLiteral("Przebieg scalania"));
    // The log's lines as the log file has them, heard spelled right.
    slyszaneJako(Memo1, {{QStringLiteral("zakonczone"), QStringLiteral("zakończone")},
                         {QStringLiteral("pliku::"), QStringLiteral("pliku: ")}});
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* pasek = new PasekPostepu(this);
    m_pasek = pasek;
    ProgressBar1 = pasek;
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setAccessibleName(QStringLiteral("Postęp sklejania plików"));
    ProgressBar1->setRange(0, 1000);
    ProgressBar1->setFormat(QStringLiteral("%p%"));
    ProgressBar1->setFocusPolicy(Qt::NoFocus);

    CheckWyrownaj = new QCheckBox(QStringLiteral("&Wyrównaj głośność"), this);
    CheckWyrownaj->setObjectName(QStringLiteral("CheckWyrownaj"));
    CheckWyrownaj->setAccessibleName(QStringLiteral("Wyrównaj głośność"));
    ustawGlosnosc(kDomyslnyCelLufs, nullptr);

    ButtonRozpocznij = new QPushButton(QStringLiteral("Rozpocznij"), this);
    ButtonRozpocznij->setObjectName(QStringLiteral("ButtonRozpocznij"));
    ButtonRozpocznij->setAccessibleName(QStringLiteral("Rozpocznij"));
    ButtonRozpocznij->setDefault(true);
    connect(ButtonRozpocznij, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonRozpocznijClick(); }); });

    ButtonAnuluj = new QPushButton(this);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ustawAnuluj(QStringLiteral("Anuluj"));
    // Esc goes through reject(), as this button does.
    connect(ButtonAnuluj, &QPushButton::clicked, this, &TFormScalaniePlikow::ButtonAnulujClick);

    auto* pomoc =
        new QLabel(QStringLiteral("Esc: przerwij, ") + PasekPostepu::opisKlawisza(), this);
    pomoc->setObjectName(QStringLiteral("LabelPomoc"));
    setAccessibleDescription(pomoc->text());

    // What the dialog says of its end (the log's last line is not read by itself).
    ogloszenie(this);
    // The worker's lines reach the log together, a few times a second: a
    // screen reader is sent every insertion, and one per line would flood it
    // until it drops what the window says.
    m_dopisz = new QTimer(this);
    m_dopisz->setSingleShot(true);
    m_dopisz->setInterval(kOdstepDziennika);
    connect(m_dopisz, &QTimer::timeout, this, &TFormScalaniePlikow::dopiszCzekajace);

    auto* uklad = new QGridLayout(this);
    uklad->addWidget(MemoPodsumowanie, 0, 0, 1, 3);
    uklad->addWidget(Memo1, 1, 0, 1, 3);
    uklad->addWidget(CheckWyrownaj, 2, 0, 1, 3);
    uklad->addWidget(ProgressBar1, 3, 0);
    uklad->addWidget(ButtonRozpocznij, 3, 1);
    uklad->addWidget(ButtonAnuluj, 3, 2);
    uklad->addWidget(pasek->LabelCzas, 4, 0, 1, 3);
    uklad->addWidget(pomoc, 5, 0, 1, 3);
    uklad->setRowStretch(1, 1);
    uklad->setColumnStretch(0, 1);

    setTabOrder(MemoPodsumowanie, Memo1);
    setTabOrder(Memo1, CheckWyrownaj);
    setTabOrder(CheckWyrownaj, ButtonRozpocznij);
    setTabOrder(ButtonRozpocznij, ButtonAnuluj);
}

void TFormScalaniePlikow::przygotuj(const UstawienieScalania& u) {
    ustawPodsumowanie(u.podsumowanie.value_or(QStringList()));
    ustawRozmiarKsiazki(u.podsumowanie ? u.rozmiar : std::nullopt);
    m_ustawienie = u;
    ustawGlosnosc(u.celLufs, u.pamiec);
}

void TFormScalaniePlikow::ustawGlosnosc(double celLufs, PamiecGlosnosci* pamiec) {
    m_ustawienie.celLufs = celLufs;
    m_ustawienie.pamiec = pamiec;
    CheckWyrownaj->setAccessibleDescription(
        QStringLiteral("Do %1 LUFS, bez ponownego kodowania: wzmocnienie ramek każdego pliku "
                       "zmienia się o całe kroki po 1,5 dB, a szczyt nie przekracza \u22121 dBTP. "
                       "Głośność docelową zmienia się w ustawieniach.")
            .arg(tekstPoziomu(celLufs)));
    CheckWyrownaj->setToolTip(CheckWyrownaj->accessibleDescription());
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
    CheckWyrownaj->setEnabled(true);
    m_czekajace.clear();
    m_dopisz->stop();
    Memo1->clear();
    ProgressBar1->setValue(0);
    m_pasek->wyzeruj();
    Memo1->appendPlainText(QStringLiteral("Zapisywanie projektu do pliku ") + m_ustawienie.scalony);
    // The book's summary, when there is one, is read first.
    MemoPodsumowanie->setPlainText(m_podsumowanie.join(u'\n'));
    MemoPodsumowanie->moveCursor(QTextCursor::Start);
    MemoPodsumowanie->setVisible(!m_podsumowanie.isEmpty());
    if (m_podsumowanie.isEmpty())
        Memo1->setFocus();
    else
        MemoPodsumowanie->setFocus();
}

TFormScalaniePlikow::~TFormScalaniePlikow() {
    if (m_watek)
        m_watek->przerwij();
    zaczekajNaWatek();
}

void TFormScalaniePlikow::ButtonRozpocznijClick() {
    if (m_trwa)
        return;
    const std::optional<std::int64_t> limitCzesci =
        SesjaWyjscie::limitCzesci(m_rozmowa, m_rozmiarKsiazki, m_ustawienie.scalony);
    if (!limitCzesci)
        return;
    auto zadanie = SesjaWyjscie::zadanieScalania(m_ustawienie, m_miernik,
                                                 CheckWyrownaj->isChecked(), *limitCzesci);
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
    m_trwa = true;
    m_przerwano = false;
    m_zamknijPoZakonczeniu = false;
    ProgressBar1->setValue(0);
    m_pasek->rozpocznij();
    CheckWyrownaj->setEnabled(false);
    ustawAnuluj(QStringLiteral("Przerwij"));
    m_watek = new TSklej(this, std::move(zadanie));
    m_watek->start();
}

void TFormScalaniePlikow::ButtonAnulujClick() {
    reject();
}

void TFormScalaniePlikow::reject() {
    if (m_trwa)
        przerwij();
    else
        QDialog::reject();
}

void TFormScalaniePlikow::closeEvent(QCloseEvent* event) {
    if (!m_trwa) {
        QDialog::closeEvent(event);
        return;
    }
    // The dialog closes once the worker has stopped and removed its files.
    event->ignore();
    if (!zapytajOPrzerwanie())
        return;
    if (m_trwa) {
        m_zamknijPoZakonczeniu = true;
        przerwij();
    } else {
        QDialog::reject(); // the merge ended while the question was open
    }
}

// Yes or No; Enter and Esc in the question answer No, so the merge goes on.
bool TFormScalaniePlikow::zapytajOPrzerwanie() {
    return m_komunikaty.seams().message(this, Seams::Icon::Question, QStringLiteral("Uwaga"),
                                        pytaniePrzerwac(), QMessageBox::Yes | QMessageBox::No,
                                        QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void TFormScalaniePlikow::przerwij() {
    m_przerwano = true;
    if (m_watek)
        m_watek->przerwij();
}

void TFormScalaniePlikow::zaczekajNaWatek() {
    if (!m_watek)
        return;
    m_watek->wait();
    delete m_watek.data();
}

bool TFormScalaniePlikow::zakonczScalanie() {
    if (!m_trwa)
        return true;
    if (!zapytajOPrzerwanie())
        return false;
    przerwij();
    zaczekajNaWatek();
    m_trwa = false;
    return true;
}

void TFormScalaniePlikow::dopiszLinie(const QString& linia) {
    m_czekajace.append(linia);
    if (!m_dopisz->isActive())
        m_dopisz->start();
}

void TFormScalaniePlikow::dopiszCzekajace() {
    m_dopisz->stop();
    if (!m_czekajace.isEmpty())
        Memo1->appendPlainText(std::exchange(m_czekajace, {}).join(u'\n'));
}

void TFormScalaniePlikow::pokazPostep(std::int64_t skopiowane, std::int64_t razem) {
    const int promile = razem > 0 ? static_cast<int>(skopiowane * 1000 / razem) : 0;
    if (promile != ProgressBar1->value())
        ProgressBar1->setValue(promile);
}

void TFormScalaniePlikow::zakonczono(const WynikScalania& wynik) {
    dopiszCzekajace();
    m_trwa = false;
    m_pasek->zakoncz();
    CheckWyrownaj->setEnabled(true);
    ustawAnuluj(QStringLiteral("Anuluj"));
    // The focus goes to the button that closes the window, and then the end
    // is said (what a screen reader says of a new focus would cut it off);
    // a refusal is said by its message box.
    if (wynik.zakonczone) {
        ButtonRozpocznij->hide();
        ustawAnuluj(QStringLiteral("Zamknij"));
        for (int i = 0; i < 3; ++i)
            m_komunikaty.seams().beep();
    } else if (wynik.odmowa) {
        m_komunikaty.uwaga(errorBoxText(wynik.blad));
    }
    ButtonAnuluj->setFocus(Qt::OtherFocusReason);
    if (!wynik.odmowa)
        oglos(this, SesjaWyjscie::tekstKonca(wynik, m_przerwano));
    if (m_zamknijPoZakonczeniu) {
        m_zamknijPoZakonczeniu = false;
        QDialog::reject();
    }
}

// ---- the worker ------------------------------------------------------------------

TSklej::TSklej(TFormScalaniePlikow* form, std::unique_ptr<ZadanieScalania> zadanie)
    : m_form(form), m_zadanie(std::move(zadanie)) {
    m_zadanie->przerwac = [this] { return m_stop.load(); };
    m_zadanie->przerwanie = &m_stop;
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

TSklej::~TSklej() = default;

void TSklej::run() {
    obnizPriorytetWatku();
    m_zadanie->wykonaj();
    const WynikScalania wynik = SesjaWyjscie::wynik(*m_zadanie);
    TFormScalaniePlikow* okno = m_form;
    QMetaObject::invokeMethod(
        okno, [okno, wynik] { okno->zakonczono(wynik); }, Qt::QueuedConnection);
}
