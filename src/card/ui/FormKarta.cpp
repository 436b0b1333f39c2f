#include "card/ui/FormKarta.h"

#include "base/Errors.h"
#include "card/Volumes.h"
#include "widgets/BezZamrazania.h"
#include "widgets/Komunikaty.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/Seams.h"
#include "widgets/Ulatwienia.h"

#include <QAccessible>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A line's book: its place in ZawartoscKarty::ksiazki; the free-space line has none.
constexpr int kRolaKsiazki = Qt::UserRole;

struct Odczyt {
    std::optional<ZawartoscKarty> karta;
    QString blad;
};

} // namespace

TFormKarta::TFormKarta(QWidget* owner, const Komunikaty& komunikaty, DostepDoKarty dostep)
    : QDialog(owner), m_komunikaty(komunikaty), m_dostep(std::move(dostep)) {
    setObjectName(QStringLiteral("FormKarta"));
    setWindowTitle(QStringLiteral("Książki na karcie ") + m_dostep.korzen);
    setAccessibleName(windowTitle());
    setMinimumSize(560, 360);

    auto* etykieta = new QLabel(QStringLiteral("&Lista książek na karcie:"), this);
    ListKsiazki = new QListWidget(this);
    ListKsiazki->setObjectName(QStringLiteral("ListKsiazki"));
    ListKsiazki->setAccessibleName(QStringLiteral("Książki na karcie"));
    ListKsiazki->setSelectionMode(QAbstractItemView::SingleSelection);
    ListKsiazki->setWordWrap(true);
    etykieta->setBuddy(ListKsiazki);

    ButtonUsun = przycisk(this, "ButtonUsun", QStringLiteral("&Usuń"),
                          QStringLiteral("Usuń książkę z karty"));
    ButtonSprawdz = przycisk(this, "ButtonSprawdz", QStringLiteral("&Sprawdź"),
                             QStringLiteral("Sprawdź książkę z magazynem"));
    ButtonKopiuj = przycisk(this, "ButtonKopiuj", QStringLiteral("&Kopiuj książki..."),
                            QStringLiteral("Kopiuj książki z magazynu na kartę"));
    ButtonOdswiez = przycisk(this, "ButtonOdswiez", QStringLiteral("&Odśwież"),
                             QStringLiteral("Odśwież listę książek"));
    ButtonZamknij =
        przycisk(this, "ButtonZamknij", QStringLiteral("&Zamknij"), QStringLiteral("Zamknij"));

    auto* przyciski = new QHBoxLayout;
    for (QPushButton* b : {ButtonUsun, ButtonSprawdz, ButtonKopiuj, ButtonOdswiez})
        przyciski->addWidget(b);
    przyciski->addStretch(1);
    przyciski->addWidget(ButtonZamknij);
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(etykieta);
    uklad->addWidget(ListKsiazki, 1);
    uklad->addLayout(przyciski);

    const auto polecenie = [this](void (TFormKarta::*metoda)()) {
        return [this, metoda] { m_komunikaty.guard([&] { (this->*metoda)(); }); };
    };
    connect(ButtonUsun, &QPushButton::clicked, this, polecenie(&TFormKarta::usunKsiazke));
    connect(ButtonSprawdz, &QPushButton::clicked, this, polecenie(&TFormKarta::sprawdzKsiazke));
    connect(ButtonKopiuj, &QPushButton::clicked, this, polecenie(&TFormKarta::kopiujKsiazki));
    connect(ButtonOdswiez, &QPushButton::clicked, this, [this] {
        if (odswiez())
            oglos(this, opisMiejsca(m_karta));
    });
    connect(ButtonZamknij, &QPushButton::clicked, this, &QDialog::reject);
    auto* usun = new QShortcut(QKeySequence(Qt::Key_Delete), ListKsiazki);
    usun->setContext(Qt::WidgetShortcut);
    connect(usun, &QShortcut::activated, this, polecenie(&TFormKarta::usunKsiazke));
    connect(ListKsiazki, &QListWidget::currentRowChanged, this, &TFormKarta::aktywuj);
    ListKsiazki->installEventFilter(this);
    aktywuj();
}

void TFormKarta::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ListKsiazki->setFocus();
    // Read once the window is up and painted, never before it opens.
    if (std::exchange(m_pierwszyRaz, false))
        QTimer::singleShot(0, this, [this] { m_komunikaty.guard([this] { odswiez(); }); });
}

bool TFormKarta::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListKsiazki && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(this, &TFormKarta::zglosBiezacaLinie, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, event);
}

void TFormKarta::zglosBiezacaLinie() {
    zglosBiezacaKomorke(ListKsiazki, 0);
}

QString TFormKarta::opisKsiazki(const KsiazkaNaKarcieOpis& k, const QString& zgodnosc) {
    QStringList czesci{QStringLiteral("Nazwa: ") + k.nazwa};
    if (!k.audio.isEmpty())
        czesci.append(QStringLiteral("rozmiar ") + opisRozmiaru(k.rozmiar));
    if (k.dlugoscMs)
        czesci.append(QStringLiteral("długość ") + czasGodzinny(*k.dlugoscMs));
    if (!k.dat.isEmpty())
        czesci.append(QStringLiteral("zakładek %1").arg(k.zakladki));
    if (!k.pelna())
        czesci.append(QStringLiteral("niepełna, ") + k.brakuje());
    if (!zgodnosc.isEmpty())
        czesci.append(zgodnosc);
    return czesci.join(QStringLiteral(", "));
}

QString TFormKarta::opisMiejsca(const ZawartoscKarty& karta) {
    QString tekst = QStringLiteral("Wolne miejsce na karcie: ") + opisRozmiaru(karta.wolne);
    if (karta.razem > 0)
        tekst += QStringLiteral(" z ") + opisRozmiaru(karta.razem);
    return tekst;
}

bool TFormKarta::odswiez() {
    const KsiazkaNaKarcieOpis* biezaca = wybrana();
    const QString nazwa = biezaca ? biezaca->nazwa : QString();
    const int wiersz = std::max(0, ListKsiazki->currentRow());
    const QString korzen = m_dostep.korzen;
    const ZrodloWolnegoMiejsca* zrodlo = m_dostep.zrodlo;
    const auto odczyt = bezZamrazania<Odczyt>(
        [korzen, zrodlo] {
            try {
                return Odczyt{przegladajKarte(korzen, *zrodlo), {}};
            } catch (const std::exception& e) {
                return Odczyt{std::nullopt, errorMessage(e)};
            }
        },
        m_dostep.limitMs);
    if (!odczyt || !odczyt->karta) {
        m_przeczytana = false;
        m_karta = {};
        const QString powod = odczyt ? odczyt->blad : komunikatBrakuOdpowiedziKarty(korzen);
        ListKsiazki->clear();
        auto* linia = new QListWidgetItem(powod, ListKsiazki);
        linia->setData(Qt::AccessibleTextRole, powod);
        aktywuj();
        m_komunikaty.uwaga(powod);
        return false;
    }
    m_karta = std::move(*odczyt->karta);
    m_przeczytana = true;
    if (!m_karta.dokonczenie.isEmpty())
        m_komunikaty.uwaga(m_karta.dokonczenie);
    // The same book stays chosen wherever it now is; a removed one's place
    // goes to the line that follows.
    int nowy = wiersz;
    for (qsizetype i = 0; i < m_karta.ksiazki.size(); ++i) {
        if (!nazwa.isEmpty() && m_karta.ksiazki.at(i).nazwa == nazwa)
            nowy = int(i);
    }
    pokaz(nowy);
    return true;
}

void TFormKarta::pokaz(int wiersz) {
    ListKsiazki->clear();
    for (qsizetype i = 0; i < m_karta.ksiazki.size(); ++i) {
        const KsiazkaNaKarcieOpis& k = m_karta.ksiazki.at(i);
        const QString tekst = opisKsiazki(k, m_zgodnosc.value(k.nazwa));
        auto* linia = new QListWidgetItem(tekst, ListKsiazki);
        linia->setData(Qt::AccessibleTextRole, tekst);
        linia->setData(kRolaKsiazki, int(i));
    }
    const QString miejsce =
        m_karta.ksiazki.isEmpty()
            ? QStringLiteral("Na karcie nie ma książek. ") + opisMiejsca(m_karta)
            : opisMiejsca(m_karta);
    auto* linia = new QListWidgetItem(miejsce, ListKsiazki);
    linia->setData(Qt::AccessibleTextRole, miejsce);
    ListKsiazki->setCurrentRow(std::min(wiersz, ListKsiazki->count() - 1));
    aktywuj();
    zglosBiezacaLinie();
}

void TFormKarta::aktywuj() {
    const bool ksiazka = wybrana() != nullptr;
    ButtonUsun->setEnabled(ksiazka);
    ButtonSprawdz->setEnabled(ksiazka);
    ButtonKopiuj->setEnabled(m_przeczytana);
}

const KsiazkaNaKarcieOpis* TFormKarta::wybrana() const {
    const QListWidgetItem* linia = ListKsiazki->currentItem();
    if (!m_przeczytana || !linia || !linia->data(kRolaKsiazki).isValid())
        return nullptr;
    const int i = linia->data(kRolaKsiazki).toInt();
    return i >= 0 && i < m_karta.ksiazki.size() ? &m_karta.ksiazki.at(i) : nullptr;
}

// The Delete key reaches a command even when no book is chosen: it says why.
const KsiazkaNaKarcieOpis* TFormKarta::wybranaLubPowod(const QString& polecenie) {
    const KsiazkaNaKarcieOpis* k = wybrana();
    if (!k)
        oglos(this, polecenie + QStringLiteral(": nie wybrano książki na liście."));
    return k;
}

void TFormKarta::usunKsiazke() {
    const KsiazkaNaKarcieOpis* k = wybranaLubPowod(QStringLiteral("Usuń"));
    if (!k)
        return;
    const QString nazwa = k->nazwa;
    const QStringList pliki = k->pliki();
    // Nie is the default and Esc: a slip of Enter removes nothing.
    if (m_komunikaty.uwaga(
            (k->pelna() ? QStringLiteral("Czy usunąć z karty książkę %1 (pliki: %2)?")
                        : QStringLiteral("Czy usunąć z karty niepełną książkę %1 (pliki: %2)?"))
                .arg(nazwa, pliki.join(QStringLiteral(", "))),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
            QMessageBox::No) != QMessageBox::Yes)
        return;
    const QString korzen = m_dostep.korzen;
    const ZrodloWolnegoMiejsca* zrodlo = m_dostep.zrodlo;
    const UsuwanieZKarty usuwanie = m_dostep.usuwanie;
    const auto raport = bezZamrazania<RaportUsuwania>(
        [=] {
            // A card taken out meanwhile leaves its empty mount folder: nothing there is touched.
            if (!kartaDostepna(korzen, *zrodlo))
                return RaportUsuwania{
                    false, QStringLiteral("Karta nie jest dostępna: ") + korzen, {}};
            try {
                return usuwanie(pliki, korzen, {});
            } catch (const std::exception& e) {
                return RaportUsuwania{false, errorMessage(e), {}};
            }
        },
        m_dostep.limitMs);
    if (!raport) {
        m_komunikaty.uwaga(komunikatBrakuOdpowiedziKarty(korzen));
        return;
    }
    if (!raport->dokonczenie.isEmpty())
        m_komunikaty.uwaga(raport->dokonczenie);
    if (!raport->udane) {
        m_komunikaty.uwaga(QStringLiteral("Nie usunięto książki %1: %2").arg(nazwa, raport->blad));
        odswiez();
        return;
    }
    m_zgodnosc.remove(nazwa);
    if (odswiez())
        oglos(this, QStringLiteral("Usunięto książkę %1. ").arg(nazwa) + opisMiejsca(m_karta));
}

void TFormKarta::sprawdzKsiazke() {
    const KsiazkaNaKarcieOpis* k = wybranaLubPowod(QStringLiteral("Sprawdź"));
    if (!k)
        return;
    const QString nazwa = k->nazwa;
    if (!k->pelna()) {
        m_komunikaty.uwaga(
            QStringLiteral("Książka %1 na karcie jest niepełna: %2.").arg(nazwa, k->brakuje()));
        return;
    }
    const QStringList pliki = plikiKsiazki(QDir(m_dostep.magazyn).filePath(nazwa));
    for (const QString& plik : pliki) {
        if (!QFileInfo(plik).isFile()) {
            m_komunikaty.uwaga(QStringLiteral("W magazynie %1 nie ma całej książki %2.")
                                   .arg(QDir::toNativeSeparators(m_dostep.magazyn), nazwa));
            return;
        }
    }
    RaportSprawdzenia raport;
    {
        TFormKopiowanie okno(this, TFormKopiowanie::Tryb::Sprawdzanie);
        raport = okno.sprawdz(pliki, m_dostep.korzen, m_dostep.sprawdzanie);
    }
    switch (raport.wynik) {
    case WynikSprawdzenia::Zgodna:
        m_zgodnosc.insert(nazwa, QStringLiteral("zgodna z magazynem"));
        break;
    case WynikSprawdzenia::Niezgodna:
        m_zgodnosc.insert(nazwa, QStringLiteral("niezgodna z magazynem"));
        break;
    case WynikSprawdzenia::Blad:
        m_zgodnosc.insert(nazwa, QStringLiteral("błąd sprawdzania"));
        break;
    case WynikSprawdzenia::Anulowano:
        break;
    }
    const int wiersz = ListKsiazki->currentRow();
    pokaz(wiersz);
    m_komunikaty.uwaga(
        raport.wynik == WynikSprawdzenia::Anulowano
            ? QStringLiteral("Sprawdzanie przerwane, książka na karcie nie została sprawdzona.")
            : raport.opis);
}

void TFormKarta::kopiujKsiazki() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Wybierz książki do skopiowania na kartę");
    dialog.folder = m_dostep.magazyn;
    dialog.filter = QStringLiteral("mp3, asz (*.mp3 *.asz)");
    dialog.multiple = true;
    QStringList ksiazki = m_komunikaty.seams().openFiles(this, dialog);
    ksiazki.removeAll(QString());
    if (ksiazki.isEmpty())
        return;
    // Replacing is asked once, before the progress window exists.
    QStringList naKarcie;
    for (const QString& ksiazka : ksiazki) {
        const QString nazwa = QFileInfo(ksiazka).fileName();
        for (const KsiazkaNaKarcieOpis& k : m_karta.ksiazki) {
            if (k.nazwa == nazwa)
                naKarcie.append(nazwa);
        }
    }
    const bool zamien =
        naKarcie.isEmpty() ||
        m_komunikaty.uwaga(
            QStringLiteral("Na karcie są już książki o tych nazwach: %1. Czy zamienić je "
                           "książkami z magazynu?")
                .arg(naKarcie.join(QStringLiteral(", "))),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
            QMessageBox::No) == QMessageBox::Yes;
    RaportKopiiWielu raport;
    {
        TFormKopiowanie okno(this);
        raport = okno.kopiujKsiazki(
            ksiazki, m_dostep.korzen, *m_dostep.zrodlo, [zamien](const QString&) { return zamien; },
            m_dostep.kopiowanie);
    }
    for (const WynikKsiazki& k : raport.ksiazki) {
        if (k.skopiowana)
            m_zgodnosc.insert(k.nazwa, QStringLiteral("zgodna z magazynem"));
    }
    m_komunikaty.uwaga(raport.podsumowanie());
    odswiez();
}
