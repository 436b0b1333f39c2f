#include "audio/ui/FormPrzegladZakladek.h"

#include "base/Errors.h"
#include "base/Watki.h"
#include "widgets/Komunikaty.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace {

// How long after the last move the bookmark plays: long enough for a few
// quick presses to make one move heard once.
constexpr int kOdtworzPoRuchuMs = 700;

} // namespace

TFormPrzegladZakladek::TFormPrzegladZakladek(QWidget* parent, const Komunikaty& komunikaty,
                                             UslugiPrzegladu uslugi)
    : QDialog(parent), m_komunikaty(komunikaty), m_uslugi(std::move(uslugi)),
      m_przeglad(std::make_unique<PrzegladZakladek>(QList<ZakladkaPrzegladu>{})) {
    setObjectName(QStringLiteral("FormPrzegladZakladek"));
    setWindowTitle(QStringLiteral("Przegląd zakładek"));
    setAccessibleName(windowTitle());

    const QString klawisze = QStringLiteral(
        "Spacja: odtwórz zakładkę. Shift+Spacja: odtwórz z 2 sekundami przed nią. Strzałki w "
        "lewo i w prawo: początek o 0,1 s, w górę i w dół: długość o 0,1 s, z Ctrl o 1 s. P: "
        "dopasuj do przerw. T: wykryj tytuł. Enter: zatwierdź i dalej. Page Down: pomiń. Page "
        "Up: wstecz. Escape: zakończ przegląd.");
    EditPrzeglad = new QLineEdit(this);
    EditPrzeglad->setObjectName(QStringLiteral("EditPrzeglad"));
    EditPrzeglad->setReadOnly(true);
    EditPrzeglad->setAccessibleName(QStringLiteral("Zakładka"));
    EditPrzeglad->setAccessibleDescription(klawisze);
    EditPrzeglad->setContextMenuPolicy(Qt::NoContextMenu);
    EditPrzeglad->setMinimumWidth(560);
    EditPrzeglad->installEventFilter(this);
    LabelKlawisze = new QLabel(klawisze, this);
    LabelKlawisze->setObjectName(QStringLiteral("LabelKlawisze"));
    LabelKlawisze->setWordWrap(true);
    LabelKlawisze->setTextFormat(Qt::PlainText);

    ButtonZatwierdz = przycisk("ButtonZatwierdz", QStringLiteral("Zatwierdź (Enter)"),
                               QStringLiteral("Zatwierdź i dalej"), [this] { zatwierdz(); });
    ButtonPomin = przycisk("ButtonPomin", QStringLiteral("Pomiń (Page Down)"),
                           QStringLiteral("Pomiń"), [this] { pomin(); });
    ButtonWstecz = przycisk("ButtonWstecz", QStringLiteral("Wstecz (Page Up)"),
                            QStringLiteral("Wstecz"), [this] { wstecz(); });
    ButtonDopasuj = przycisk("ButtonDopasuj", QStringLiteral("Dopasuj do przerw (P)"),
                             QStringLiteral("Dopasuj do przerw"), [this] { dopasuj(); });
    ButtonWykryj = przycisk("ButtonWykryj", QStringLiteral("Wykryj tytuł (T)"),
                            QStringLiteral("Wykryj tytuł"), [this] { wykryj(); });
    ButtonZakoncz = przycisk("ButtonZakoncz", QStringLiteral("Zakończ (Esc)"),
                             QStringLiteral("Zakończ przegląd"), [this] { accept(); });

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(EditPrzeglad);
    uklad->addWidget(LabelKlawisze);
    auto* przyciski = new QHBoxLayout;
    for (QPushButton* b : {ButtonWstecz, ButtonZatwierdz, ButtonPomin, ButtonDopasuj, ButtonWykryj})
        przyciski->addWidget(b);
    przyciski->addStretch();
    przyciski->addWidget(ButtonZakoncz);
    uklad->addLayout(przyciski);

    m_odtworzPoRuchu = new QTimer(this);
    m_odtworzPoRuchu->setSingleShot(true);
    m_odtworzPoRuchu->setInterval(kOdtworzPoRuchuMs);
    connect(m_odtworzPoRuchu, &QTimer::timeout, this,
            [this] { m_komunikaty.guard([this] { odtworz(false); }); });
}

TFormPrzegladZakladek::~TFormPrzegladZakladek() {
    zakonczWatek();
}

// Buttons for the mouse; the keys stay in the field, which alone takes the focus.
QPushButton* TFormPrzegladZakladek::przycisk(const char* name, const QString& caption,
                                             const QString& accessible,
                                             std::function<void()> handler) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessible);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this,
            [this, handler = std::move(handler)] { m_komunikaty.guard(handler); });
    return button;
}

void TFormPrzegladZakladek::przygotuj(const QList<Wpis>& wpisy) {
    zakonczWatek();
    m_wpisy = wpisy;
    QList<ZakladkaPrzegladu> zakladki;
    for (const Wpis& w : wpisy)
        zakladki.append(w.zakladka);
    m_przeglad = std::make_unique<PrzegladZakladek>(zakladki);
    EditPrzeglad->setText(m_przeglad->tekstPozycji());
}

// The first entry is said once the window and its focus have been.
void TFormPrzegladZakladek::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EditPrzeglad->setFocus();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isVisible() && !m_przeglad->zakonczony())
                m_komunikaty.guard([this] { przybycie(m_przeglad->tekstPozycji()); });
        },
        Qt::QueuedConnection);
}

// However the window closes, nothing more plays and no search goes on.
void TFormPrzegladZakladek::done(int result) {
    m_odtworzPoRuchu->stop();
    zakonczWatek();
    if (m_uslugi.zatrzymaj)
        m_uslugi.zatrzymaj();
    QDialog::done(result);
}

bool TFormPrzegladZakladek::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EditPrzeglad && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        bool uzyty = false;
        m_komunikaty.guard([&] { uzyty = klawisz(e->key(), e->modifiers()); });
        if (uzyty)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TFormPrzegladZakladek::klawisz(int key, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    const std::int64_t krok = ctrl ? 1000 : 100;
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (key) {
    case Qt::Key_Space:
        odtworz(modifiers & Qt::ShiftModifier);
        return true;
    case Qt::Key_Left:
        przesun(m_przeglad->przesunPoczatek(-krok));
        return true;
    case Qt::Key_Right:
        przesun(m_przeglad->przesunPoczatek(krok));
        return true;
    case Qt::Key_Up:
        przesun(m_przeglad->zmienDlugosc(krok));
        return true;
    case Qt::Key_Down:
        przesun(m_przeglad->zmienDlugosc(-krok));
        return true;
    case Qt::Key_P:
        dopasuj();
        return true;
    case Qt::Key_T:
        wykryj();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        zatwierdz();
        return true;
    case Qt::Key_PageDown:
        pomin();
        return true;
    case Qt::Key_PageUp:
        wstecz();
        return true;
    case Qt::Key_Escape:
        accept();
        return true;
    default:
        return false;
    }
}

void TFormPrzegladZakladek::powiedz(const QString& tekst) {
    if (!m_przeglad->zakonczony())
        EditPrzeglad->setText(m_przeglad->tekstPozycji());
    if (m_uslugi.oglos)
        m_uslugi.oglos(tekst);
}

void TFormPrzegladZakladek::przybycie(const QString& tekst) {
    m_odtworzPoRuchu->stop();
    ++m_numer; // a search for the entry left is not wanted any more
    powiedz(tekst);
    odtworz(false);
}

void TFormPrzegladZakladek::przesun(const QString& tekst) {
    ++m_numer; // the user's move wins over a search still running
    if (m_uslugi.zatrzymaj)
        m_uslugi.zatrzymaj();
    powiedz(tekst);
    m_odtworzPoRuchu->start();
}

void TFormPrzegladZakladek::odtworz(bool zPrzedbiegiem) {
    if (m_przeglad->zakonczony() || !m_uslugi.odtworz)
        return;
    m_odtworzPoRuchu->stop();
    const auto [od, doMs] =
        zPrzedbiegiem ? m_przeglad->zakresZPrzedbiegiem() : m_przeglad->zakres();
    m_uslugi.odtworz(m_wpisy.at(m_przeglad->biezaca()).sciezka, od, doMs);
}

// Accepting the last entry ends the review.
void TFormPrzegladZakladek::zatwierdz() {
    const QString tekst = m_przeglad->zatwierdz();
    if (m_przeglad->zakonczony())
        accept();
    else
        przybycie(tekst);
}

void TFormPrzegladZakladek::pomin() {
    przejdz(&PrzegladZakladek::pomin);
}

void TFormPrzegladZakladek::wstecz() {
    przejdz(&PrzegladZakladek::wstecz);
}

// A step that found no entry to go to (the last, the first) is only said.
void TFormPrzegladZakladek::przejdz(QString (PrzegladZakladek::*krok)()) {
    const int przed = m_przeglad->biezaca();
    const QString tekst = ((*m_przeglad).*krok)();
    if (m_przeglad->biezaca() != przed)
        przybycie(tekst);
    else
        powiedz(tekst);
}

void TFormPrzegladZakladek::dopasuj() {
    if (m_przeglad->zakonczony())
        return;
    const QString path = m_wpisy.at(m_przeglad->biezaca()).sciezka;
    const ZakladkaPrzegladu z = m_przeglad->pozycja();
    const int przerwa = m_uslugi.przerwa();
    wTle([this, path, z, przerwa, dopasuj = m_uslugi.dopasuj]() -> std::function<void()> {
        try {
            const ZakladkaDoPrzerw d = dopasuj(path, static_cast<int>(z.poczatekMs),
                                               static_cast<int>(z.dlugoscMs), przerwa, &m_przerwij);
            return [this, d, przerwa] {
                if (!d.poczatekPrzesuniety && !d.koniecPrzesuniety) {
                    powiedz(QStringLiteral("W pobliżu zakładki nie ma przerwy co najmniej %1 ms; "
                                           "zakładka bez zmian.")
                                .arg(przerwa));
                    return;
                }
                powiedz(m_przeglad->ustaw(d.poczatekMs, d.dlugoscMs,
                                          QStringLiteral("Dopasowano do przerw")));
                odtworz(false);
            };
        } catch (const std::exception& e) {
            return [this, blad = errorMessage(e)] {
                powiedz(QStringLiteral("Nie można dopasować zakładki: ") + blad);
            };
        }
    });
}

void TFormPrzegladZakladek::wykryj() {
    if (m_przeglad->zakonczony())
        return;
    const QString path = m_wpisy.at(m_przeglad->biezaca()).sciezka;
    const int przerwa = m_uslugi.przerwa();
    wTle([this, path, przerwa, wykryj = m_uslugi.wykryj]() -> std::function<void()> {
        try {
            const std::optional<WykrytyTytul> t = wykryj(path, przerwa, &m_przerwij);
            return [this, t, przerwa] {
                if (!t) {
                    powiedz(QStringLiteral("Nie znaleziono tytułu: w pierwszych %1 s pliku nie "
                                           "ma przerwy co najmniej %2 ms po mowie. Zakładka bez "
                                           "zmian.")
                                .arg(kWykrywanieMaksMs / 1000)
                                .arg(przerwa));
                    return;
                }
                powiedz(m_przeglad->ustaw(t->poczatekMs, t->dlugoscMs,
                                          QStringLiteral("Wykryto tytuł")));
                odtworz(false);
            };
        } catch (const std::exception& e) {
            return [this, blad = errorMessage(e)] {
                powiedz(QStringLiteral("Nie można wykryć tytułu: ") + blad);
            };
        }
    });
}

void TFormPrzegladZakladek::zakonczWatek() {
    m_przerwij = true;
    if (m_watek)
        m_watek->wait(); // both searches stop within a frame once told
    m_watek.reset();
}

void TFormPrzegladZakladek::wTle(std::function<std::function<void()>()> praca) {
    zakonczWatek();
    m_przerwij = false;
    const quint64 numer = ++m_numer;
    m_watek.reset(QThread::create([this, praca = std::move(praca), numer] {
        obnizPriorytetWatku();
        std::function<void()> dalej = praca();
        if (m_przerwij)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, dalej = std::move(dalej), numer] {
                if (numer == m_numer && !m_przeglad->zakonczony())
                    m_komunikaty.guard(dalej);
            },
            Qt::QueuedConnection);
    }));
    m_watek->start();
}
