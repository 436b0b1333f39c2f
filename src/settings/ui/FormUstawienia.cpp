#include "settings/ui/FormUstawienia.h"

#include "audio/Glosnosc.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "settings/ui/FormWybierzFolder.h"
#include "settings/ui/Kontrolki.h"
#include "settings/ui/ListaDyskow.h"
#include "widgets/Komunikaty.h"
#include "widgets/Ulatwienia.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// A line break or another control character, as a path pasted from a
// terminal often brings along; the settings file cannot hold one.
bool maZnakSterujacy(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

TFormUstawienia::TFormUstawienia(QWidget* parent, const Komunikaty& komunikaty,
                                 std::function<ListaWoluminow()> woluminy,
                                 std::function<void(const Konfiguracja&)> zapisz)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_komunikaty(komunikaty), m_woluminy(std::move(woluminy)), m_zapisz(std::move(zapisz)) {
    setObjectName(QStringLiteral("FormUstawienia"));
    setWindowTitle(QStringLiteral("Ustawienia"));

    EditMagazyn = new QLineEdit;
    EditMagazyn->setObjectName(QStringLiteral("EditMagazyn"));
    EditMagazyn->setMinimumWidth(320);
    ButtonPrzegladajFolder =
        przyciskBezDomyslnego(QStringLiteral("&Przeglądaj..."), "ButtonPrzegladajFolder");
    EditZakladka = new QLineEdit;
    EditZakladka->setObjectName(QStringLiteral("EditZakladka"));
    DriveComboBox1 = new ListaDyskow;
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    mowWybor(DriveComboBox1, QStringLiteral("Karta"));
    ButtonZapisz = przyciskBezDomyslnego(QStringLiteral("&Zapisz"), "ButtonZapisz");
    ButtonAnuluj = przyciskBezDomyslnego(QStringLiteral("Anuluj"), "ButtonAnuluj");
    LabelMagazyn =
        etykietaKontrolki(QStringLiteral("&Magazyn plików"), EditMagazyn, "LabelMagazyn");
    LabelZakladka =
        etykietaKontrolki(QStringLiteral("&Domyślna zakladka"), EditZakladka, "LabelZakladka");
    EditZakladka->setAccessibleName(QStringLiteral("Domyślna zakładka")); // heard right
    Label1 = etykietaKontrolki(QStringLiteral("&Karta"), DriveComboBox1, "Label1");

    auto* pola = new QGridLayout;
    pola->addWidget(LabelMagazyn, 0, 0);
    pola->addWidget(EditMagazyn, 0, 1);
    pola->addWidget(ButtonPrzegladajFolder, 0, 2);
    pola->addWidget(LabelZakladka, 1, 0);
    pola->addWidget(EditZakladka, 1, 1);
    pola->addWidget(Label1, 2, 0);
    pola->addWidget(DriveComboBox1, 2, 1);
    utworzPolaWykrywania(pola, 3);
    auto* uklad = new QVBoxLayout(this);
    uklad->addLayout(pola);
    uklad->addSpacing(8);
    uklad->addLayout(przyciskiZPrawej(ButtonZapisz, ButtonAnuluj));
    uklad->setSizeConstraint(QLayout::SetFixedSize); // fixed size, no resizing

    setTabOrder(EditMagazyn, ButtonPrzegladajFolder);
    setTabOrder(ButtonPrzegladajFolder, EditZakladka);
    setTabOrder(EditZakladka, DriveComboBox1);
    setTabOrder(DriveComboBox1, EditPrzerwa);
    setTabOrder(EditPrzerwa, CheckWykrywaj);
    setTabOrder(CheckWykrywaj, CheckIndeksSzacowany);
    setTabOrder(CheckIndeksSzacowany, EditCelGlosnosci);
    setTabOrder(EditCelGlosnosci, ButtonZapisz);
    setTabOrder(ButtonZapisz, ButtonAnuluj);

    connect(ButtonZapisz, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonZapiszClick(); }); });
    connect(ButtonAnuluj, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonAnulujClick(); }); });
    connect(ButtonPrzegladajFolder, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonPrzegladajFolderClick(); }); });
}

void TFormUstawienia::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        m_komunikaty.guard([this] { FormActivate(); });
}

void TFormUstawienia::FormActivate() {
    EditMagazyn->setText(m_konfiguracja.Magazyn);
    EditZakladka->setText(QString::number(m_konfiguracja.DomyslnaZakladka));
    // Only volumes that may be the card, removable ones first. Nothing is
    // chosen for the user: with no card stored no entry is selected, so the
    // system disk never becomes the card by a hasty "Zapisz".
    // Found on a worker: a mount that stops answering never holds the window.
    DriveComboBox1->wypelnij(
        ListaDyskow::bezZamrazania([woluminy = m_woluminy] { return woluminyKart(woluminy()); }));
    if (m_konfiguracja.Karta.isEmpty())
        DriveComboBox1->setCurrentIndex(-1);
    // The card's entry when it is listed; otherwise the earlier selection.
    DriveComboBox1->wybierz(m_konfiguracja.Karta);
    wypelnijPolaWykrywania();
    EditMagazyn->setFocus();
}

void TFormUstawienia::ButtonZapiszClick() {
    const QString karta = DriveComboBox1->punktMontowania();
    if (karta.isEmpty()) {
        m_komunikaty.uwaga(QStringLiteral("Wybierz kartę z listy."));
        DriveComboBox1->setFocus();
        return;
    }
    if (maZnakSterujacy(EditMagazyn->text())) {
        m_komunikaty.uwaga(
            QStringLiteral("Folder magazynu zawiera znak sterujący (na przykład koniec "
                           "wiersza). Usuń go i zapisz ustawienia ponownie."));
        EditMagazyn->setFocus();
        return;
    }
    if (maZnakSterujacy(karta)) {
        m_komunikaty.uwaga(
            QStringLiteral("Ścieżka karty zawiera znak sterujący (na przykład koniec "
                           "wiersza). Wybierz inną kartę."));
        DriveComboBox1->setFocus();
        return;
    }
    // Every value is checked before anything is written, so a length that
    // does not convert stores nothing at all.
    std::int32_t zakladka = 0;
    try {
        zakladka = StrToInt(EditZakladka->text());
    } catch (const EConvertError&) {
        EditZakladka->setFocus();
        EditZakladka->selectAll();
        throw;
    }
    const auto wykrywanie = odczytajPolaWykrywania();
    if (!wykrywanie)
        return;
    m_zapisz({karta, EditMagazyn->text(), zakladka, *wykrywanie});
    accept();
}

void TFormUstawienia::ButtonAnulujClick() {
    reject();
}

void TFormUstawienia::ButtonPrzegladajFolderClick() {
    if (!m_wybor)
        return;
    m_wybor->setWindowTitle(TFormWybierzFolder::folderMagazynu());
    m_komunikaty.seams().execDialog(m_wybor);
}

// ---- bookmark detection and the index -------------------------------------------------

void TFormUstawienia::utworzPolaWykrywania(QGridLayout* pola, int wiersz) {
    EditPrzerwa = new QLineEdit;
    EditPrzerwa->setObjectName(QStringLiteral("EditPrzerwa"));
    LabelPrzerwa = etykietaKontrolki(QStringLiteral("Minimalna przerwa po &tytule (ms)"),
                                     EditPrzerwa, "LabelPrzerwa");
    const auto pole = [](const QString& tekst, const char* nazwa) {
        auto* check = new QCheckBox(tekst);
        check->setObjectName(QString::fromLatin1(nazwa));
        check->setAccessibleName(QString(tekst).remove(QLatin1Char('&')));
        return check;
    };
    CheckWykrywaj = pole(QStringLiteral("&Wykrywaj zakładki przy dodawaniu"), "CheckWykrywaj");
    CheckIndeksSzacowany = pole(QStringLiteral("Indeks &szacowany"), "CheckIndeksSzacowany");
    CheckIndeksSzacowany->setAccessibleDescription(
        QStringLiteral("Zakładki w indeksie scalonej książki wyliczane ze średniej prędkości "
                       "danych zamiast z położenia ramek; przy plikach o różnych prędkościach "
                       "albo z dużymi znacznikami mogą wypaść o sekundy obok"));
    pola->addWidget(LabelPrzerwa, wiersz, 0);
    pola->addWidget(EditPrzerwa, wiersz, 1);
    pola->addWidget(CheckWykrywaj, wiersz + 1, 1, 1, 2);
    pola->addWidget(CheckIndeksSzacowany, wiersz + 2, 1, 1, 2);
    EditCelGlosnosci = new QLineEdit;
    EditCelGlosnosci->setObjectName(QStringLiteral("EditCelGlosnosci"));
    EditCelGlosnosci->setAccessibleDescription(
        QStringLiteral("Głośność, do której scalanie z wyrównaniem głośności zbliża każdy plik, "
                       "od \u221240 do \u22125 LUFS; domyślnie \u221218"));
    LabelCelGlosnosci = etykietaKontrolki(QStringLiteral("&Głośność docelowa (LUFS)"),
                                          EditCelGlosnosci, "LabelCelGlosnosci");
    pola->addWidget(LabelCelGlosnosci, wiersz + 3, 0);
    pola->addWidget(EditCelGlosnosci, wiersz + 3, 1);
}

void TFormUstawienia::wypelnijPolaWykrywania() {
    const UstawieniaWykrywania& w = m_konfiguracja.Wykrywanie;
    EditPrzerwa->setText(QString::number(w.Przerwa));
    CheckWykrywaj->setChecked(w.WykrywajPrzyDodawaniu);
    CheckIndeksSzacowany->setChecked(w.IndeksSzacowany);
    EditCelGlosnosci->setText(
        tekstPoziomu(celGlosnosci(w.CelGlosnosci).value_or(kDomyslnyCelLufs)));
}

std::optional<UstawieniaWykrywania> TFormUstawienia::odczytajPolaWykrywania() const {
    UstawieniaWykrywania w;
    const auto przerwa = tryStrToInt(EditPrzerwa->text().trimmed());
    if (!przerwa || *przerwa < UstawieniaWykrywania::kMinPrzerwa ||
        *przerwa > UstawieniaWykrywania::kMaksPrzerwa) {
        m_komunikaty.uwaga(QStringLiteral("Minimalna przerwa po tytule musi być liczbą "
                                          "milisekund od %1 do %2.")
                               .arg(UstawieniaWykrywania::kMinPrzerwa)
                               .arg(UstawieniaWykrywania::kMaksPrzerwa));
        EditPrzerwa->setFocus();
        EditPrzerwa->selectAll();
        return std::nullopt;
    }
    w.Przerwa = *przerwa;
    // To a tenth, as the field shows it.
    std::optional<double> cel = celGlosnosci(EditCelGlosnosci->text());
    if (cel)
        cel = std::round(*cel * 10.0) / 10.0;
    if (!cel) {
        m_komunikaty.uwaga(QStringLiteral("Głośność docelowa musi być liczbą LUFS od \u221240 "
                                          "do \u22125, na przykład \u221218 albo \u221216,5."));
        EditCelGlosnosci->setFocus();
        EditCelGlosnosci->selectAll();
        return std::nullopt;
    }
    w.CelGlosnosci = QString::number(*cel);
    w.WykrywajPrzyDodawaniu = CheckWykrywaj->isChecked();
    w.IndeksSzacowany = CheckIndeksSzacowany->isChecked();
    return w;
}
