// Memory card commands: the free-space report, copying a merged book with its
// index files, checking it on the card, ejecting the card, and the player's
// state file.

#include "app/MainForm.h"
#include "base/Errors.h"
#include "card/CardFiles.h"
#include "card/FreeSpace.h"
#include "card/KsiazkaNaKarcie.h"
#include "card/ui/FormKopiowanie.h"
#include "widgets/BezZamrazania.h"
#include "widgets/Seams.h"

#include <QFileInfo>
#include <QLocale>

namespace {

const SystemoweWolneMiejsce systemoweWolneMiejsce;

// The index files of a book: its path with the last three characters
// replaced by "dat" and "log".
QString plikIndeksu(const QString& ksiazka, const QString& rozszerzenie) {
    return ksiazka.chopped(std::min<qsizetype>(3, ksiazka.size())) + rozszerzenie;
}

QString kartaNiedostepna(const QString& korzen) {
    return QStringLiteral("Karta nie jest dostępna: ") + korzen;
}

// How long a card command waits for the card to answer, in ms.
constexpr int limitOdpowiedziKarty = 5000;

} // namespace

// With no card chosen there is no path to work on: every card command says
// so and does nothing else.
bool TMainForm::kartaWybrana() {
    if (!m_konfiguracja.Karta.isEmpty())
        return true;
    uwaga(QStringLiteral("Nie wybrano karty. Wybierz ją w oknie Ustawienia."));
    return false;
}

// A card is there to write to only when a volume is mounted at its root:
// otherwise the empty mount folder would send the files to the disk above.
bool TMainForm::kartaDostepna() {
    if (!kartaWybrana())
        return false;
    const QString korzen = korzenKarty(m_konfiguracja.Karta);
    // Asked on a worker: a card (or a mount) that stops answering never
    // holds the window.
    const ZrodloWolnegoMiejsca* zrodlo = &zrodloMiejsca();
    const auto dostepna = bezZamrazania<bool>(
        [korzen, zrodlo] { return ::kartaDostepna(korzen, *zrodlo); }, limitOdpowiedziKarty);
    if (dostepna && *dostepna)
        return true;
    uwaga(dostepna ? kartaNiedostepna(korzen) : komunikatBrakuOdpowiedziKarty(korzen));
    return false;
}

const ZrodloWolnegoMiejsca& TMainForm::zrodloMiejsca() const {
    return m_uslugi.wolneMiejsce ? *m_uslugi.wolneMiejsce : systemoweWolneMiejsce;
}

// Measures the card (cluster size, free clusters, player file on the card)
// and reports the free space. A card that is not there (or a failed query)
// is reported instead and leaves the figures as they were.
bool TMainForm::zmierzKarte() {
    if (!kartaDostepna())
        return false;
    const QString korzen = korzenKarty(m_konfiguracja.Karta);
    // A copy killed between its renames is finished before anything else
    // looks at the card; both on a worker, as above.
    const ZrodloWolnegoMiejsca* zrodlo = &zrodloMiejsca();
    using Wynik = std::pair<DokonczenieKopii, std::optional<PomiarKarty>>;
    const auto wynik = bezZamrazania<Wynik>(
        [korzen, zrodlo] {
            DokonczenieKopii dokonczenie = dokonczPrzerwanaKopie(korzen);
            return Wynik{dokonczenie, ::zmierzKarte(korzen, *zrodlo)};
        },
        limitOdpowiedziKarty);
    if (!wynik) {
        uwaga(komunikatBrakuOdpowiedziKarty(korzen));
        return false;
    }
    if (!wynik->first.tekst.isEmpty())
        uwaga(wynik->first.tekst);
    const std::optional<PomiarKarty>& pomiar = wynik->second;
    if (!pomiar) {
        uwaga(kartaNiedostepna(korzen));
        return false;
    }
    m_pomiarKarty = *pomiar;
    ustawStatus(raportWolnegoMiejsca(*pomiar, QLocale().decimalPoint().at(0)));
    return true;
}

void TMainForm::WolneMiejsceNaKarcie() {
    zmierzKarte();
}

// The store book the user picks in a file dialog with its two index files,
// in copy order; empty (after saying why) when there is none.
QStringList TMainForm::wybierzKsiazke(const QString& tytul, const QString& brakIndeksow) {
    Seams::FileDialog dialog; // OpenDialogKopiujAudio
    dialog.title = tytul;
    dialog.folder = m_konfiguracja.Magazyn;
    dialog.filter = QStringLiteral("mp3, asz (*.mp3 *.asz)");
    dialog.defaultSuffix = QStringLiteral("mp3");
    dialog.mustExist = false;
    const QStringList wybrane = m_seams.openFiles(this, dialog);
    if (wybrane.isEmpty() || wybrane.first().isEmpty())
        return {};
    const QString ksiazka = wybrane.first();
    if (!QFileInfo(ksiazka).isFile()) {
        uwaga(QStringLiteral("Brak pliku audio o podanej nazwie"));
        return {};
    }
    const QString dat = plikIndeksu(ksiazka, QStringLiteral("dat"));
    const QString log = plikIndeksu(ksiazka, QStringLiteral("log"));
    if (!QFileInfo(dat).isFile() || !QFileInfo(log).isFile()) {
        uwaga(brakIndeksow);
        return {};
    }
    return {ksiazka, dat, log};
}

void TMainForm::KopiujPlikAudio() {
    // The room test below uses this measurement, taken before the file is picked.
    if (!zmierzKarte())
        return;
    const QStringList pliki = wybierzKsiazke(
        QStringLiteral("Wybierz plik audio do skopiowania"),
        QStringLiteral("Brak pliku z indeksami, wybrany plik audio nie będzie skopiowany!"));
    if (pliki.isEmpty())
        return;
    const std::int64_t rozmiar = RozmiarPliku(pliki.at(0));
    if (const auto odmowa = odmowaKopiowania(m_pomiarKarty, rozmiar, WielkoscPliku(pliki.at(1)),
                                             WielkoscPliku(pliki.at(2)))) {
        uwaga(*odmowa);
        return;
    }
    KopiujPliki(pliki);
}

std::int64_t TMainForm::RozmiarPliku(const QString& name) {
    return rozmiarPlikuDoOdczytu(name);
}

std::int64_t TMainForm::WielkoscPliku(const QString& name) {
    return wielkoscPliku(name);
}

void TMainForm::KopiujPliki(const QStringList& names) {
    // The card may have been taken out while the book was being chosen.
    if (!kartaDostepna())
        return;
    const QString korzen = korzenKarty(m_konfiguracja.Karta);
    // A link on the card could send the book anywhere: none is written through.
    for (const QString& plik : names) {
        if (dowiazanieNaKarcie(korzen, QFileInfo(plik).fileName())) {
            uwaga(komunikatDowiazania(korzen + QFileInfo(plik).fileName()));
            return;
        }
    }
    // Every question before the progress window exists, so no window ever
    // covers one. The files belong together: a kept file ends the copy
    // before anything is written.
    QStringList zamien;
    for (const QString& plik : names) {
        const QString nazwa = QFileInfo(plik).fileName();
        const QFileInfo cel(korzen + nazwa);
        if (!cel.exists() || cel.isDir())
            continue;
        if (uwaga(QStringLiteral("Plik %1 już istnieje na karcie. Czy zamienić?").arg(nazwa),
                  QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
            uwaga(QStringLiteral("Nie skopiowano żadnego pliku: plik %1 na karcie nie został "
                                 "zamieniony, więc karta pozostała bez zmian.")
                      .arg(nazwa));
            return;
        }
        zamien.append(cel.filePath());
    }

    RaportKopiowania raport;
    {
        TFormKopiowanie okno(this);
        // The card is checked again on the worker: one taken out meanwhile
        // must not send the book to the disk under its mount folder.
        const ZrodloWolnegoMiejsca& zrodlo = zrodloMiejsca();
        const auto kopiowanie = [this, &zrodlo](const QStringList& pliki, const QString& doKorzenia,
                                                const ObslugaKopiowania& obsluga) {
            if (!::kartaDostepna(doKorzenia, zrodlo))
                return RaportKopiowania{WynikKopiowania::Blad, kartaNiedostepna(doKorzenia), {}};
            return m_uslugi.kopiowanieNaKarte(pliki, doKorzenia, obsluga);
        };
        raport = okno.kopiuj(names, korzen, zamien, kopiowanie);
    }

    // What happened is told after the window has gone.
    if (!raport.dokonczenie.isEmpty())
        uwaga(raport.dokonczenie);
    switch (raport.wynik) {
    case WynikKopiowania::Skopiowano:
        // The result is said first, the free space after it; an ejected card
        // has none to report. Enter and Esc leave the card as it is.
        switch (uwaga(QStringLiteral("Pliki zostały pomyślnie skopiowane! ") +
                          QString::fromUtf16(ksiazkaZgodna) +
                          QStringLiteral("\n\nCzy wysunąć kartę teraz? Przycisk \u201eOtwórz\u201d "
                                         "pokazuje książki na karcie."),
                      QMessageBox::Yes | QMessageBox::No | QMessageBox::Open, QMessageBox::No,
                      QMessageBox::No)) {
        case QMessageBox::Yes:
            WysunKarte();
            return;
        case QMessageBox::Open:
            Ksiazkinakarcie1Click(); // which says the free space when it closes
            return;
        default:
            break;
        }
        break;
    case WynikKopiowania::Anulowano:
        uwaga(QStringLiteral("Kopiowanie przerwane. Pliki na karcie pozostały bez zmian."));
        break;
    case WynikKopiowania::NieZamieniono:
        uwaga(QStringLiteral("Nie skopiowano żadnego pliku: karta pozostała bez zmian."));
        break;
    case WynikKopiowania::Blad:
        uwaga(QStringLiteral("Błąd podczas kopiowania plików! ") + raport.blad);
        break;
    }
    WolneMiejsceNaKarcie();
}

void TMainForm::SprawdzKsiazkeNaKarcie() {
    if (!kartaDostepna())
        return;
    const QStringList pliki =
        wybierzKsiazke(QStringLiteral("Wybierz książkę z magazynu do sprawdzenia na karcie"),
                       QStringLiteral("Brak pliku z indeksami, wybrana książka nie będzie "
                                      "sprawdzona."));
    if (pliki.isEmpty() || !kartaDostepna())
        return;
    RaportSprawdzenia raport;
    {
        TFormKopiowanie okno(this, TFormKopiowanie::Tryb::Sprawdzanie);
        raport = okno.sprawdz(pliki, korzenKarty(m_konfiguracja.Karta));
    }
    uwaga(raport.wynik == WynikSprawdzenia::Anulowano
              ? QStringLiteral("Sprawdzanie przerwane, książka na karcie nie została sprawdzona.")
              : raport.opis);
}

void TMainForm::WysunKarte() {
    if (!kartaDostepna())
        return;
    WynikWysuniecia wynik;
    {
        TFormKopiowanie okno(this, TFormKopiowanie::Tryb::Wysuwanie);
        wynik = okno.wysun(korzenKarty(m_konfiguracja.Karta), m_uslugi.wysuwanieKarty);
    }
    // The status line keeps saying it, for a screen reader and for a look later.
    if (wynik.moznaWyjac)
        ustawStatus(wynik.tekst);
    uwaga(wynik.tekst);
}

void TMainForm::SprawdzKsiazke1Click() {
    SprawdzKsiazkeNaKarcie();
}

void TMainForm::WysunKarte1Click() {
    WysunKarte();
}

void TMainForm::UtworzPlayer() {
    // Checked again right before writing: a card taken out after the
    // command's own check must not turn into a file on the disk above.
    const QString korzen = korzenKarty(m_konfiguracja.Karta);
    if (!::kartaDostepna(korzen, zrodloMiejsca()))
        throw EInOutError(kartaNiedostepna(korzen));
    zapiszPlayerDat(korzen);
}

void TMainForm::Plikzakadki1Click() {
    if (!kartaDostepna())
        return;
    const QString korzen = korzenKarty(m_konfiguracja.Karta);
    if (dowiazanieNaKarcie(korzen, QStringLiteral("player.dat"))) {
        uwaga(komunikatDowiazania(sciezkaPlayera(korzen)));
        return;
    }
    if (QFileInfo::exists(sciezkaPlayera(korzen)) &&
        uwaga(QStringLiteral("Plik zakładki już istnieje na karcie!\r\nCzy zamienić istniejący "
                             "plik?"),
              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    UtworzPlayer();
    uwaga(QStringLiteral("Plik zakładki został pomyślnie utworzony!"));
}
