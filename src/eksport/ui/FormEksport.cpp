#include "eksport/ui/FormEksport.h"

#include "audio/Glosnosc.h"
#include "widgets/Komunikaty.h"
#include "widgets/Seams.h"
#include "widgets/Ulatwienia.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* pole(QWidget* rodzic, const char* nazwa, const QString& opis) {
    auto* e = new QLineEdit(rodzic);
    e->setObjectName(QString::fromLatin1(nazwa));
    e->setAccessibleName(opis);
    return e;
}

} // namespace

TFormEksport::TFormEksport(QWidget* owner, const Komunikaty& komunikaty)
    : QDialog(owner), m_komunikaty(komunikaty) {
    setObjectName(QStringLiteral("FormEksport"));
    setWindowTitle(QStringLiteral("Eksport książki"));
    setAccessibleName(QStringLiteral("Eksport książki"));
    setMinimumWidth(520);

    auto* szczegoly = new QGroupBox(QStringLiteral("Opis książki"), this);
    auto* formularz = new QFormLayout(szczegoly);
    auto wiersz = [&](const QString& etykieta, QWidget* pole, QWidget* obok = nullptr) {
        auto* l = new QLabel(etykieta, szczegoly);
        l->setBuddy(pole);
        if (!obok) {
            formularz->addRow(l, pole);
            return;
        }
        auto* h = new QHBoxLayout;
        h->addWidget(pole, 1);
        h->addWidget(obok);
        formularz->addRow(l, h);
    };
    EditTytul = pole(szczegoly, "EditTytul", QStringLiteral("Tytuł"));
    EditAutor = pole(szczegoly, "EditAutor", QStringLiteral("Autor"));
    EditLektor = pole(szczegoly, "EditLektor", QStringLiteral("Lektor"));
    EditJezyk = pole(szczegoly, "EditJezyk", QStringLiteral("Język (kod, np. pl)"));
    EditRok = pole(szczegoly, "EditRok", QStringLiteral("Rok wydania"));
    EditWydawca = pole(szczegoly, "EditWydawca", QStringLiteral("Wydawca"));
    EditOkladka =
        pole(szczegoly, "EditOkladka", QStringLiteral("Okładka (obraz JPEG lub PNG, do 5 MB)"));
    ButtonOkladka = przycisk(szczegoly, "ButtonOkladka", QStringLiteral("Wy&bierz..."),
                             QStringLiteral("Wybierz okładkę"));
    wiersz(QStringLiteral("&Tytuł:"), EditTytul);
    wiersz(QStringLiteral("&Autor:"), EditAutor);
    wiersz(QStringLiteral("&Lektor:"), EditLektor);
    wiersz(QStringLiteral("&Język:"), EditJezyk);
    wiersz(QStringLiteral("&Rok wydania:"), EditRok);
    wiersz(QStringLiteral("&Wydawca:"), EditWydawca);
    wiersz(QStringLiteral("&Okładka:"), EditOkladka, ButtonOkladka);

    auto* postaci = new QGroupBox(QStringLiteral("Co utworzyć"), this);
    auto* uklad = new QFormLayout(postaci);
    CheckDaisy = new QCheckBox(QStringLiteral("Książka &DAISY 2.02 w folderze:"), postaci);
    CheckDaisy->setObjectName(QStringLiteral("CheckDaisy"));
    CheckDaisy->setAccessibleName(QStringLiteral("Książka DAISY 2.02"));
    EditDaisy = pole(postaci, "EditDaisy", QStringLiteral("Folder książki DAISY"));
    ButtonDaisy = przycisk(postaci, "ButtonDaisy", QStringLiteral("Wybierz &folder..."),
                           QStringLiteral("Wybierz folder książki DAISY"));
    CheckRozdzialy = new QCheckBox(QStringLiteral("Plik &MP3 z rozdziałami:"), postaci);
    CheckRozdzialy->setObjectName(QStringLiteral("CheckRozdzialy"));
    CheckRozdzialy->setAccessibleName(QStringLiteral("Plik MP3 z rozdziałami"));
    EditRozdzialy = pole(postaci, "EditRozdzialy", QStringLiteral("Plik MP3 z rozdziałami"));
    ButtonRozdzialy = przycisk(postaci, "ButtonRozdzialy", QStringLiteral("Wybierz &plik..."),
                               QStringLiteral("Wybierz plik MP3 z rozdziałami"));
    for (auto [check, edit, button] :
         {std::tuple{CheckDaisy, EditDaisy, ButtonDaisy},
          std::tuple{CheckRozdzialy, EditRozdzialy, ButtonRozdzialy}}) {
        auto* h = new QHBoxLayout;
        h->addWidget(edit, 1);
        h->addWidget(button);
        uklad->addRow(check, h);
        connect(check, &QCheckBox::toggled, this, &TFormEksport::aktywuj);
    }
    CheckWyrownaj = new QCheckBox(QStringLiteral("Wyrównaj &głośność"), postaci);
    CheckWyrownaj->setObjectName(QStringLiteral("CheckWyrownaj"));
    CheckWyrownaj->setAccessibleName(QStringLiteral("Wyrównaj głośność"));
    uklad->addRow(CheckWyrownaj);

    auto* przyciski = new QDialogButtonBox(this);
    ButtonEksportuj =
        przyciski->addButton(QStringLiteral("&Eksportuj"), QDialogButtonBox::AcceptRole);
    ButtonEksportuj->setObjectName(QStringLiteral("ButtonEksportuj"));
    ButtonEksportuj->setAccessibleName(QStringLiteral("Eksportuj"));
    ButtonEksportuj->setDefault(true);
    ButtonAnuluj = przyciski->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    ButtonAnuluj->setObjectName(QStringLiteral("ButtonAnuluj"));
    ButtonAnuluj->setAccessibleName(QStringLiteral("Anuluj"));
    connect(przyciski, &QDialogButtonBox::accepted, this, &TFormEksport::accept);
    connect(przyciski, &QDialogButtonBox::rejected, this, &TFormEksport::reject);

    auto* calosc = new QVBoxLayout(this);
    calosc->addWidget(szczegoly);
    calosc->addWidget(postaci);
    calosc->addWidget(przyciski);

    connect(ButtonOkladka, &QPushButton::clicked, this, &TFormEksport::wybierzOkladke);
    connect(ButtonDaisy, &QPushButton::clicked, this, [this] {
        wybierzCel(EditDaisy, QStringLiteral("Folder książki DAISY (nowy)"), QString(), QString());
    });
    connect(ButtonRozdzialy, &QPushButton::clicked, this, [this] {
        wybierzCel(EditRozdzialy, QStringLiteral("Plik MP3 z rozdziałami"),
                   QStringLiteral("mp3 (*.mp3)"), QStringLiteral("mp3"));
    });
}

void TFormEksport::przygotuj(const WyborEksportu& wybor) {
    const OpisKsiazki& opis = wybor.opis;
    EditTytul->setText(opis.tytul);
    EditAutor->setText(opis.autor);
    EditLektor->setText(opis.lektor);
    EditJezyk->setText(opis.jezyk);
    EditRok->setText(opis.rok);
    EditWydawca->setText(opis.wydawca);
    EditOkladka->setText(opis.okladka);
    EditDaisy->setText(wybor.folderDaisy);
    EditRozdzialy->setText(wybor.plikRozdzialow);
    CheckDaisy->setChecked(true);
    CheckRozdzialy->setChecked(true);
    CheckWyrownaj->setChecked(wybor.wyrownaj);
    m_celLufs = wybor.celLufs;
    CheckWyrownaj->setAccessibleDescription(
        QStringLiteral("Do %1 LUFS w obu postaciach, tak jak przy scalaniu. Głośność docelową "
                       "zmienia się w ustawieniach.")
            .arg(tekstPoziomu(wybor.celLufs)));
    CheckWyrownaj->setToolTip(CheckWyrownaj->accessibleDescription());
    aktywuj();
    EditTytul->setFocus();
    EditTytul->selectAll();
}

WyborEksportu TFormEksport::wybor() const {
    const auto cel = [](const QCheckBox* check, const QLineEdit* pole) {
        return check->isChecked() ? pole->text().trimmed() : QString();
    };
    return {{EditTytul->text().trimmed(), EditAutor->text().trimmed(), EditLektor->text().trimmed(),
             EditJezyk->text().trimmed(), EditRok->text().trimmed(), EditWydawca->text().trimmed(),
             EditOkladka->text().trimmed()},
            cel(CheckDaisy, EditDaisy),
            cel(CheckRozdzialy, EditRozdzialy),
            CheckWyrownaj->isChecked(),
            m_celLufs};
}

void TFormEksport::aktywuj() {
    EditDaisy->setEnabled(CheckDaisy->isChecked());
    ButtonDaisy->setEnabled(CheckDaisy->isChecked());
    EditRozdzialy->setEnabled(CheckRozdzialy->isChecked());
    ButtonRozdzialy->setEnabled(CheckRozdzialy->isChecked());
}

void TFormEksport::accept() {
    auto brak = [this](const QString& tekst, QWidget* pole) {
        m_komunikaty.uwaga(tekst);
        pole->setFocus();
    };
    if (EditTytul->text().trimmed().isEmpty())
        return brak(QStringLiteral("Podaj tytuł książki."), EditTytul);
    if (!CheckDaisy->isChecked() && !CheckRozdzialy->isChecked())
        return brak(QStringLiteral("Wybierz, co utworzyć: książkę DAISY, plik MP3 z rozdziałami "
                                   "albo jedno i drugie."),
                    CheckDaisy);
    if (CheckDaisy->isChecked() && EditDaisy->text().trimmed().isEmpty())
        return brak(QStringLiteral("Podaj folder książki DAISY."), EditDaisy);
    if (CheckRozdzialy->isChecked() && EditRozdzialy->text().trimmed().isEmpty())
        return brak(QStringLiteral("Podaj plik MP3 z rozdziałami."), EditRozdzialy);
    QDialog::accept();
}

void TFormEksport::wybierzOkladke() {
    Seams::FileDialog d;
    d.title = QStringLiteral("Wybierz okładkę");
    d.filter = QStringLiteral("Obrazy JPEG i PNG (*.jpg *.jpeg *.png)");
    d.folder = QFileInfo(EditOkladka->text()).absolutePath();
    const QStringList wybrane = m_komunikaty.seams().openFiles(this, d);
    if (!wybrane.isEmpty() && !wybrane.first().isEmpty())
        EditOkladka->setText(wybrane.first());
    EditOkladka->setFocus();
}

void TFormEksport::wybierzCel(QLineEdit* pole, const QString& tytul, const QString& filtr,
                              const QString& rozszerzenie) {
    Seams::FileDialog d;
    d.title = tytul;
    d.filter = filtr;
    d.defaultSuffix = rozszerzenie;
    const QFileInfo teraz(pole->text());
    d.folder = teraz.absolutePath();
    d.fileName = teraz.fileName();
    // Replacing is asked once, before the export starts.
    d.confirmOverwrite = false;
    const QString wybrany = m_komunikaty.seams().saveFile(this, d);
    if (!wybrany.isEmpty())
        pole->setText(wybrany);
    pole->setFocus();
}
