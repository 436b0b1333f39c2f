#include "audio/ui/FormUstawZakladke.h"

#include "audio/DopasowanieDoPrzerw.h"
#include "audio/MediaPlayer.h"
#include "audio/PamiecPomiarow.h"
#include "audio/Zakladka.h"
#include "audio/ui/OdtwarzanieZakladki.h"
#include "audio/ui/WykresFali.h"
#include "base/Czas.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "base/Watki.h"
#include "widgets/BezZamrazania.h"
#include "widgets/Komunikaty.h"
#include "widgets/Ulatwienia.h"

#include <QAction>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <limits>
#include <utility>

namespace {

// How long snapping may take before the dialog gives up on the file.
constexpr int kDopasowanieLimitMs = 10'000;

} // namespace

TFormUstawZakladke::TFormUstawZakladke(QWidget* parent, const Komunikaty& komunikaty,
                                       OdtwarzanieZakladki& odtwarzanie, TMediaPlayer& odtwarzacz)
    : QDialog(parent), m_komunikaty(komunikaty), m_odtwarzanie(odtwarzanie),
      m_odtwarzacz(odtwarzacz) {
    setObjectName(QStringLiteral("FormUstawZakladke"));
    setWindowTitle(QStringLiteral("Ustaw zakładke"));
    setAccessibleName(QStringLiteral("Ustaw zakładkę")); // the caption as designed, heard right

    EditPoczatek = pole(QStringLiteral("EditPoczatek"), QStringLiteral("Początek zakładki"));
    ButtonPminus1 = przycisk("ButtonPminus1", QStringLiteral("-1 sek."),
                             QStringLiteral("Początek minus 1 sekunda"),
                             &TFormUstawZakladke::ButtonPminus1Click);
    ButtonPminus01 = przycisk("ButtonPminus01", QStringLiteral("-0,1 sek."),
                              QStringLiteral("Początek minus 0,1 sekundy"),
                              &TFormUstawZakladke::ButtonPminus01Click);
    SpeedButton2 = przycisk("SpeedButton2", QStringLiteral("+0,1 sek."),
                            QStringLiteral("Początek plus 0,1 sekundy"),
                            &TFormUstawZakladke::SpeedButton2Click);
    ButtonPplus1 =
        przycisk("ButtonPplus1", QStringLiteral("+1 sek."),
                 QStringLiteral("Początek plus 1 sekunda"), &TFormUstawZakladke::ButtonPplus1Click);

    EditDlugosc = pole(QStringLiteral("EditDlugosc"), QStringLiteral("Długość zakładki"));
    const auto etykieta = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(name));
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        return label;
    };
    LabelPlik = etykieta("LabelPlik");
    LabelDlugoscPliku = etykieta("LabelDlugoscPliku");
    LabelPlik->setText(QStringLiteral("Nazwa pliku:")); // a line each in the dialog's size
    LabelDlugoscPliku->setText(QStringLiteral("Długość pliku:"));
    LabelOstrzezenie = etykieta("LabelOstrzezenie");
    // Room for the longest warning, so that the dialog does not jump.
    LabelOstrzezenie->setMinimumHeight(3 * LabelOstrzezenie->fontMetrics().lineSpacing());
    LabelOstrzezenie->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont wyrazny = LabelOstrzezenie->font();
    wyrazny.setBold(true);
    LabelOstrzezenie->setFont(wyrazny);
    for (QLineEdit* field : {EditPoczatek, EditDlugosc})
        connect(field, &QLineEdit::textChanged, this, &TFormUstawZakladke::sprawdzZakres);
    ButtonDminus1 = przycisk("ButtonDminus1", QStringLiteral("-1 sek."),
                             QStringLiteral("Długość minus 1 sekunda"),
                             &TFormUstawZakladke::ButtonDminus1Click);
    ButtonDminus01 = przycisk("ButtonDminus01", QStringLiteral("-0,1 sek."),
                              QStringLiteral("Długość minus 0,1 sekundy"),
                              &TFormUstawZakladke::ButtonDminus01Click);
    ButtonDplus01 = przycisk("ButtonDplus01", QStringLiteral("+0,1 sek."),
                             QStringLiteral("Długość plus 0,1 sekundy"),
                             &TFormUstawZakladke::ButtonDplus01Click);
    ButtonDplus1 =
        przycisk("ButtonDplus1", QStringLiteral("+1 sek."),
                 QStringLiteral("Długość plus 1 sekunda"), &TFormUstawZakladke::ButtonDplus1Click);

    LabelWykrywanie = etykieta("LabelWykrywanie");
    WykresFali1 = new WykresFali(this);
    WykresFali1->setObjectName(QStringLiteral("WykresFali1"));
    connect(WykresFali1, &WykresFali::poczatekZmieniony, this,
            [this](qint64 ms) { EditPoczatek->setText(QString::number(ms)); });
    connect(WykresFali1, &WykresFali::dlugoscZmieniona, this,
            [this](qint64 ms) { EditDlugosc->setText(QString::number(ms)); });
    for (QLineEdit* field : {EditPoczatek, EditDlugosc})
        connect(field, &QLineEdit::textChanged, this, &TFormUstawZakladke::odswiezWykres);
    m_kursor = new QTimer(this);
    m_kursor->setInterval(40);
    connect(m_kursor, &QTimer::timeout, this, &TFormUstawZakladke::odswiezKursor);

    ButtonWykryj =
        przycisk("ButtonWykryj", QStringLiteral("&Wykryj"), QStringLiteral("Wykryj zakładkę"),
                 &TFormUstawZakladke::ButtonWykryjClick);
    ButtonWykryj->setAccessibleDescription(
        QStringLiteral("Ustawia zakładkę na tytule nagranym na początku pliku"));
    ButtonDopasuj =
        przycisk("ButtonDopasuj", QStringLiteral("Dopasuj do &przerw"),
                 QStringLiteral("Dopasuj do przerw"), &TFormUstawZakladke::ButtonDopasujClick);
    ButtonDopasuj->setAccessibleDescription(
        QStringLiteral("Przesuwa początek i koniec zakładki na najbliższe przerwy w mowie"));
    ButtonOK = przycisk("ButtonOK", QStringLiteral("OK"), QStringLiteral("OK"),
                        &TFormUstawZakladke::ButtonOKClick);
    ButtonAnuluj = przycisk("ButtonAnuluj", QStringLiteral("Anuluj"), QStringLiteral("Anuluj"),
                            &TFormUstawZakladke::ButtonAnulujClick);
    // Plain Enter presses OK, plain Esc closes as Anuluj (QDialog's own keys);
    // on "Wykryj" Enter presses it, as on any button that has the focus.
    for (QPushButton* b : {ButtonWykryj, ButtonDopasuj, ButtonOK, ButtonAnuluj}) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
    }
    ButtonWykryj->setAutoDefault(true);
    ButtonDopasuj->setAutoDefault(true);
    ButtonOK->setDefault(true);
    ulozKontrolki();
    setTabOrder(EditPoczatek, EditDlugosc);
    setTabOrder(EditDlugosc, ButtonWykryj);
    setTabOrder(ButtonWykryj, ButtonDopasuj);
    setTabOrder(ButtonDopasuj, ButtonOK);
    setTabOrder(ButtonOK, ButtonAnuluj);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Odtwrzzakadke1 = PopupMenu1->addAction(QStringLiteral("Odtwórz zakładke"));
    Odtwrzzakadke1->setObjectName(QStringLiteral("Odtwrzzakadke1"));
    slyszaneJako(Odtwrzzakadke1, {{QStringLiteral("zakładke"), QStringLiteral("zakładkę")}});
    Stop = PopupMenu1->addAction(QStringLiteral("Stop"));
    Stop->setObjectName(QStringLiteral("Stop"));
    Stop->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    addAction(Stop); // Ctrl+T works without opening the menu
    connect(Odtwrzzakadke1, &QAction::triggered, this,
            [this] { m_komunikaty.guard([this] { Odtwrzzakadke1Click(); }); });
    connect(Stop, &QAction::triggered, this,
            [this] { m_komunikaty.guard([this] { StopClick(); }); });
}

QLineEdit* TFormUstawZakladke::pole(const QString& name, const QString& label) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFixedWidth(160);
    field->setAccessibleName(label);
    field->setContextMenuPolicy(Qt::NoContextMenu); // the dialog's menu instead
    field->installEventFilter(this);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    m_etykiety.append(caption);
    return field;
}

QPushButton* TFormUstawZakladke::przycisk(const char* name, const QString& caption,
                                          const QString& accessible,
                                          void (TFormUstawZakladke::*handler)()) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setAccessibleName(accessible);
    // Step buttons never take the focus: it stays in the field that had it.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setContextMenuPolicy(Qt::NoContextMenu);
    connect(button, &QPushButton::clicked, this,
            [this, handler] { m_komunikaty.guard([this, handler] { (this->*handler)(); }); });
    return button;
}

// Each field with its label above it, the two decreasing steps on its left
// and the two increasing ones on its right; OK and Anuluj bottom right. A
// layout rather than fixed places, so large fonts never cut a caption.
void TFormUstawZakladke::ulozKontrolki() {
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelPlik);
    uklad->addWidget(LabelDlugoscPliku);
    uklad->addSpacing(8);
    const auto grupa = [&](QLabel* etykieta, QLineEdit* pole, QPushButton* m1, QPushButton* m01,
                           QPushButton* p01, QPushButton* p1) {
        auto* wiersz = new QGridLayout;
        wiersz->addWidget(etykieta, 0, 2);
        wiersz->addWidget(m1, 1, 0);
        wiersz->addWidget(m01, 1, 1);
        wiersz->addWidget(pole, 1, 2);
        wiersz->addWidget(p01, 1, 3);
        wiersz->addWidget(p1, 1, 4);
        auto* wysrodkowany = new QHBoxLayout;
        wysrodkowany->addStretch();
        wysrodkowany->addLayout(wiersz);
        wysrodkowany->addStretch();
        uklad->addLayout(wysrodkowany);
        uklad->addSpacing(12);
    };
    grupa(m_etykiety.at(0), EditPoczatek, ButtonPminus1, ButtonPminus01, SpeedButton2,
          ButtonPplus1);
    grupa(m_etykiety.at(1), EditDlugosc, ButtonDminus1, ButtonDminus01, ButtonDplus01,
          ButtonDplus1);
    auto* przyciski = new QHBoxLayout;
    przyciski->addWidget(ButtonWykryj);
    przyciski->addWidget(ButtonDopasuj);
    przyciski->addStretch();
    przyciski->addWidget(ButtonOK);
    przyciski->addWidget(ButtonAnuluj);
    uklad->addWidget(WykresFali1);
    uklad->addWidget(LabelWykrywanie);
    uklad->addWidget(LabelOstrzezenie);
    uklad->addStretch();
    uklad->addLayout(przyciski);
    setFixedSize(sizeHint().expandedTo(QSize(442, 219)));
}

// Loaded on every showing, and the dialog stands in the middle of the screen.
void TFormUstawZakladke::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    m_komunikaty.guard([this] { PobierzDaneZakladki(); });
    if (m_przygotowany) {
        zacznijObraz(m_pozycja.sciezka());
        // The fields' values are said once the dialog and its focus have
        // been: a read-only field's value is not read on focus.
        // Anything said meanwhile (a detection) or a value changed goes first.
        m_powiedzWartosci = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible() && std::exchange(m_powiedzWartosci, false))
                    m_odtwarzanie.oglos(tekstZakladki());
            },
            Qt::QueuedConnection);
    }
    m_kursor->start();
}

// The picture goes with the showing; a decode still running is told to stop.
void TFormUstawZakladke::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    m_kursor->stop();
    m_przerwijObraz = true;
    ++m_numerObrazu;
    m_obraz.reset();
    m_wykryjPoObrazie = false;
}

TFormUstawZakladke::~TFormUstawZakladke() {
    zakonczObraz();
}

void TFormUstawZakladke::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenu1->popup(event->globalPos());
}

void TFormUstawZakladke::przygotuj(const PozycjaProjektu& pozycja) {
    m_pozycja = pozycja;
    m_przygotowany = true;
}

void TFormUstawZakladke::PobierzDaneZakladki() {
    if (!m_przygotowany)
        return;
    const PozycjaProjektu& p = m_pozycja;
    // Measured from the file itself (or remembered from adding it): the
    // player may be playing and is not to be disturbed.
    m_dlugoscPliku.reset();
    if (const std::optional<Mp3Info> pomiar = zmierzPlikMp3(p.sciezka()))
        m_dlugoscPliku = pomiar->lengthMs;
    LabelPlik->setText(QStringLiteral("Nazwa pliku: ") + p.NazwaPliku);
    LabelDlugoscPliku->setText(
        m_dlugoscPliku ? QStringLiteral("Długość pliku: %1 (%2 ms)")
                             .arg(czasMinuty(*m_dlugoscPliku))
                             .arg(*m_dlugoscPliku)
                       : QStringLiteral("Długość pliku: nieznana, nie można odczytać pliku"));
    LabelWykrywanie->clear();
    EditPoczatek->setText(p.Poczatek);
    EditDlugosc->setText(p.Dlugosc);
    sprawdzZakres(); // also when the texts were already there
    odswiezWykres();
}

void TFormUstawZakladke::sprawdzZakres() {
    const auto poczatek = tryStrToInt(EditPoczatek->text());
    const auto dlugosc = tryStrToInt(EditDlugosc->text());
    if (m_dlugoscPliku && poczatek && dlugosc) {
        m_zakres = zakresZakladki(*poczatek, *dlugosc, *m_dlugoscPliku);
        LabelOstrzezenie->setText(ostrzezenieZakladki(*poczatek, *dlugosc, *m_dlugoscPliku));
    } else {
        m_zakres.reset();
        LabelOstrzezenie->clear();
    }
}

// An increase adds the step (up to the largest integer); a decrease never
// goes below 0. A text that is no integer raises the conversion error and
// stays as it is.
void TFormUstawZakladke::krok(QLineEdit* field, int step) {
    m_powiedzWartosci = false; // the field's new value is heard instead
    const std::int64_t v = StrToInt(field->text());
    const std::int64_t n =
        step > 0 ? std::min<std::int64_t>(v + step, std::numeric_limits<std::int32_t>::max())
                 : (v >= -step ? v + step : 0);
    const QString text = QString::number(n);
    const auto zakres = m_zakres;
    field->setText(text);
    // A screen reader says the new value after every step, also the same
    // value again (a decrease at 0), and the warning as soon as the
    // bookmark starts or stops fitting the file.
    QString komunikat = text;
    if (m_zakres && m_zakres != zakres) {
        komunikat += QStringLiteral(". ") + (LabelOstrzezenie->text().isEmpty()
                                                 ? QStringLiteral("Zakładka mieści się w pliku.")
                                                 : LabelOstrzezenie->text());
    }
    m_odtwarzanie.oglos(komunikat);
}

void TFormUstawZakladke::ButtonPminus1Click() {
    krok(EditPoczatek, -1000);
}
void TFormUstawZakladke::ButtonPminus01Click() {
    krok(EditPoczatek, -100);
}
void TFormUstawZakladke::SpeedButton2Click() {
    krok(EditPoczatek, 100);
}
void TFormUstawZakladke::ButtonPplus1Click() {
    krok(EditPoczatek, 1000);
}
void TFormUstawZakladke::ButtonDminus1Click() {
    krok(EditDlugosc, -1000);
}
void TFormUstawZakladke::ButtonDminus01Click() {
    krok(EditDlugosc, -100);
}
void TFormUstawZakladke::ButtonDplus01Click() {
    krok(EditDlugosc, 100);
}
void TFormUstawZakladke::ButtonDplus1Click() {
    krok(EditDlugosc, 1000);
}

bool TFormUstawZakladke::EditPoczatekKeyDown(int key) {
    return klawisz(EditPoczatek, key);
}

bool TFormUstawZakladke::EditDlugoscKeyDown(int key) {
    return klawisz(EditDlugosc, key);
}

bool TFormUstawZakladke::klawisz(QLineEdit* field, int key) {
    switch (key) {
    case Qt::Key_Right:
        krok(field, 100);
        return true;
    case Qt::Key_Left:
        krok(field, -100);
        return true;
    case Qt::Key_Up:
        krok(field, 1000);
        return true;
    case Qt::Key_Down:
        krok(field, -1000);
        return true;
    default:
        break;
    }
    if (!m_przygotowany)
        return false;
    switch (key) {
    case Qt::Key_Space:
        odtworzZakladke();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        m_odtwarzanie.OdtworzPlik();
        return true;
    case Qt::Key_Escape:
        m_odtwarzanie.Stop();
        return true;
    default:
        return false;
    }
}

bool TFormUstawZakladke::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == EditPoczatek || watched == EditDlugosc) && event->type() == QEvent::KeyPress) {
        auto* e = static_cast<QKeyEvent*>(event);
        const int key = e->key();
        if (key == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier) {
            auto* field = static_cast<QLineEdit*>(watched);
            PopupMenu1->popup(field->mapToGlobal(field->rect().center()));
            return true;
        }
        // Plain Enter and Esc belong to OK and Anuluj; with Shift or Ctrl
        // held they reach the field.
        const bool held = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
        if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) && !held)
            return false;
        bool used = false;
        m_komunikaty.guard([&] {
            used = watched == EditPoczatek ? EditPoczatekKeyDown(key) : EditDlugoscKeyDown(key);
        });
        return used || key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up ||
               key == Qt::Key_Down;
    }
    return QDialog::eventFilter(watched, event);
}

// The bookmark as the fields hold it now, written back or not.
void TFormUstawZakladke::odtworzZakladke() {
    const std::int64_t start = StrToInt(EditPoczatek->text());
    m_odtwarzanie.OdtworzZakladke(start, start + StrToInt(EditDlugosc->text()));
}

void TFormUstawZakladke::Odtwrzzakadke1Click() {
    odtworzZakladke();
    Stop->setEnabled(true);
}

// Stops only the player: the file stays open and the main window's status
// line and "Pauza" stay as they are.
void TFormUstawZakladke::StopClick() {
    m_odtwarzacz.Stop();
    Stop->setEnabled(false);
    m_odtwarzanie.oglos(QStringLiteral("Zatrzymano"));
}

QString TFormUstawZakladke::tekstZakladki() const {
    QString tekst = QStringLiteral("Początek zakładki %1 ms, długość %2 ms")
                        .arg(EditPoczatek->text(), EditDlugosc->text());
    const auto poczatek = tryStrToInt(EditPoczatek->text());
    if (m_dlugoscPliku && poczatek)
        tekst += QStringLiteral(", %1 z %2")
                     .arg(czasMowiony(*poczatek), czasMowiony(*m_dlugoscPliku, false));
    return tekst;
}

// The fields' texts go into the entry, which the opener writes back.
void TFormUstawZakladke::ButtonOKClick() {
    m_pozycja.Poczatek = EditPoczatek->text();
    m_pozycja.Dlugosc = EditDlugosc->text();
    EditPoczatek->setFocus();
    accept();
}

void TFormUstawZakladke::ButtonAnulujClick() {
    reject();
}

// ---- the picture and detection -------------------------------------------------

void TFormUstawZakladke::zakonczObraz() {
    m_przerwijObraz = true;
    if (m_watek)
        m_watek->wait(); // stops within a frame once told
    m_watek.reset();
}

void TFormUstawZakladke::zacznijObraz(const QString& path) {
    zakonczObraz();
    m_przerwijObraz = false;
    const quint64 numer = ++m_numerObrazu;
    m_obraz.reset();
    m_bladObrazu.reset();
    m_wykryjPoObrazie = false;
    WykresFali1->ustawObraz({}, m_dlugoscPliku.value_or(0));
    m_watek.reset(QThread::create([this, path, numer] {
        obnizPriorytetWatku();
        std::shared_ptr<const ObrazDzwieku> obraz;
        QString blad;
        try {
            obraz = std::make_shared<const ObrazDzwieku>(
                obrazPoczatku(path, kObrazMaksMs, &m_przerwijObraz));
        } catch (const std::exception& e) {
            blad = errorMessage(e);
        }
        if (m_przerwijObraz)
            return;
        QMetaObject::invokeMethod(
            this, [this, numer, obraz, blad] { obrazGotowy(numer, obraz, blad); },
            Qt::QueuedConnection);
    }));
    m_watek->start();
}

void TFormUstawZakladke::obrazGotowy(quint64 numer, std::shared_ptr<const ObrazDzwieku> obraz,
                                     const QString& blad) {
    if (numer != m_numerObrazu)
        return;
    if (obraz) {
        m_obraz = obraz;
        WykresFali1->ustawObraz(*obraz, m_dlugoscPliku.value_or(obraz->dlugoscMs()));
    } else {
        m_bladObrazu = blad;
    }
    if (std::exchange(m_wykryjPoObrazie, false))
        wykryjZObrazu();
}

void TFormUstawZakladke::ButtonWykryjClick() {
    if (!m_przygotowany)
        return;
    if (!m_obraz && !m_bladObrazu) {
        m_wykryjPoObrazie = true;
        LabelWykrywanie->setText(QStringLiteral("Wykrywanie zakładki…"));
        return;
    }
    wykryjZObrazu();
}

// The decode covers more than detection examines, so the title found here
// is the one the list's command finds in the same file.
void TFormUstawZakladke::wykryjZObrazu() {
    if (!m_obraz) {
        pokazWykrycie(QStringLiteral("Nie można wykryć zakładki: ") +
                      m_bladObrazu.value_or(QString()));
        return;
    }
    const int przerwa = m_przerwa();
    const auto tytul = znajdzTytul(*m_obraz, przerwa);
    if (!tytul) {
        pokazWykrycie(QStringLiteral("Nie znaleziono tytułu: w pierwszych %1 s pliku nie ma "
                                     "przerwy co najmniej %2 ms po mowie. Zakładka bez zmian.")
                          .arg(kWykrywanieMaksMs / 1000)
                          .arg(przerwa));
        return;
    }
    EditPoczatek->setText(QString::number(tytul->poczatekMs));
    EditDlugosc->setText(QString::number(tytul->dlugoscMs));
    pokazWykrycie(QStringLiteral("Wykryto zakładkę: początek %1 ms, długość %2 ms.")
                      .arg(tytul->poczatekMs)
                      .arg(tytul->dlugoscMs));
}

// The file is read around the bookmark only, on a worker; a disk that does
// not answer within the limit leaves the fields as they are.
void TFormUstawZakladke::ButtonDopasujClick() {
    if (!m_przygotowany)
        return;
    const int poczatek = StrToInt(EditPoczatek->text());
    const int dlugosc = StrToInt(EditDlugosc->text());
    const int przerwa = m_przerwa();
    struct Wynik {
        ZakladkaDoPrzerw zakladka;
        QString blad;
    };
    const auto wynik = bezZamrazania<Wynik>(
        [path = m_pozycja.sciezka(), poczatek, dlugosc, przerwa] {
            Wynik w;
            try {
                w.zakladka = dopasujDoPrzerw(path, poczatek, dlugosc, przerwa);
            } catch (const std::exception& e) {
                w.blad = errorMessage(e);
            }
            return w;
        },
        kDopasowanieLimitMs);
    if (!wynik) {
        pokazWykrycie(QStringLiteral("Plik nie odpowiada; zakładka bez zmian."));
    } else if (!wynik->blad.isEmpty()) {
        pokazWykrycie(QStringLiteral("Nie można dopasować zakładki: ") + wynik->blad);
    } else if (!wynik->zakladka.poczatekPrzesuniety && !wynik->zakladka.koniecPrzesuniety) {
        pokazWykrycie(QStringLiteral("W pobliżu zakładki nie ma przerwy co najmniej %1 ms; "
                                     "zakładka bez zmian.")
                          .arg(przerwa));
    } else {
        EditPoczatek->setText(QString::number(wynik->zakladka.poczatekMs));
        EditDlugosc->setText(QString::number(wynik->zakladka.dlugoscMs));
        pokazWykrycie(QStringLiteral("Dopasowano do przerw: początek %1 ms, długość %2 ms.")
                          .arg(wynik->zakladka.poczatekMs)
                          .arg(wynik->zakladka.dlugoscMs));
    }
}

// Shown under the picture and said by a screen reader, with the warning
// when the new range does not fit the file.
void TFormUstawZakladke::pokazWykrycie(const QString& tekst) {
    m_powiedzWartosci = false;
    LabelWykrywanie->setText(tekst);
    QString komunikat = tekst;
    if (!LabelOstrzezenie->text().isEmpty())
        komunikat += QLatin1Char(' ') + LabelOstrzezenie->text();
    m_odtwarzanie.oglos(komunikat);
}

void TFormUstawZakladke::odswiezWykres() {
    const auto poczatek = tryStrToInt(EditPoczatek->text());
    const auto dlugosc = tryStrToInt(EditDlugosc->text());
    if (poczatek && dlugosc)
        WykresFali1->ustawZakladke(*poczatek, *dlugosc);
    else
        WykresFali1->bezZakladki(); // not the range of the entry shown before
}

// The cursor follows the player while it plays this entry's file.
void TFormUstawZakladke::odswiezKursor() {
    std::optional<qint64> pozycja;
    if (m_przygotowany && m_odtwarzacz.FileName == m_pozycja.sciezka())
        pozycja = m_odtwarzacz.Position();
    WykresFali1->ustawKursor(pozycja);
}
