// Memory card commands: the free-space report, copying a merged book with its
// index files, and the player's state file.

#include "app/MainForm.h"
#include "app/Seams.h"
#include "card/CardFiles.h"
#include "card/FreeSpace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QProgressBar>
#include <QProgressDialog>

namespace {

const SystemoweWolneMiejsce systemoweWolneMiejsce;

// The index files of a book: its path with the last three characters
// replaced by "dat" and "log".
QString plikIndeksu(const QString& ksiazka, const QString& rozszerzenie) {
    return ksiazka.chopped(std::min<qsizetype>(3, ksiazka.size())) + rozszerzenie;
}

// The progress bar counts in thousandths so books over 2 GiB fit its int range.
int promile(std::int64_t skopiowano, std::int64_t razem) {
    return razem > 0 ? static_cast<int>(skopiowano * 1000 / razem) : 1000;
}

} // namespace

// With no card chosen there is no path to work on: every card command says
// so and does nothing else.
bool TMainForm::kartaWybrana() {
    if (!Karta.isEmpty())
        return true;
    uwaga(QStringLiteral("Nie wybrano karty. Wybierz ją w oknie Ustawienia."));
    return false;
}

// Measures the card into RozmiarKlastra, PlayerNaKarcie and WolneKlastry and
// reports the free space. A card that is not there (or a failed query) is
// reported instead and leaves the figures as they were.
bool TMainForm::zmierzKarte() {
    if (!kartaWybrana())
        return false;
    const QString korzen = korzenKarty(Karta);
    const auto pomiar =
        ::zmierzKarte(korzen, m_zrodloMiejsca ? *m_zrodloMiejsca : systemoweWolneMiejsce);
    if (!pomiar) {
        uwaga(QStringLiteral("Karta nie jest dostępna: ") + korzen);
        return false;
    }
    RozmiarKlastra = pomiar->wolumin.rozmiarKlastra;
    WolneKlastry = pomiar->wolumin.wolneKlastry;
    m_kartaFat = pomiar->wolumin.fat;
    PlayerNaKarcie = pomiar->playerNaKarcie ? 1 : 0;
    ustawStatus(raportWolnegoMiejsca(*pomiar, QLocale().decimalPoint().at(0)));
    return true;
}

void TMainForm::WolneMiejsceNaKarcie() {
    zmierzKarte();
}

void TMainForm::KopiujPlikAudio() {
    // The room test below uses this measurement, taken before the file is picked.
    if (!zmierzKarte())
        return;
    Seams::FileDialog dialog; // OpenDialogKopiujAudio
    dialog.title = QStringLiteral("Wybierz plik audio do skopiowania");
    dialog.folder = Magazyn;
    dialog.filter = QStringLiteral("mp3, asz (*.mp3 *.asz)");
    dialog.defaultSuffix = QStringLiteral("mp3");
    dialog.mustExist = false;
    const QStringList wybrane = m_seams.openFiles(this, dialog);
    if (wybrane.isEmpty() || wybrane.first().isEmpty())
        return;
    const QString ksiazka = wybrane.first();
    if (!QFileInfo(ksiazka).isFile()) {
        uwaga(QStringLiteral("Brak pliku audio o podanej nazwie"));
        return;
    }
    const QString dat = plikIndeksu(ksiazka, QStringLiteral("dat"));
    const QString log = plikIndeksu(ksiazka, QStringLiteral("log"));
    if (!QFileInfo(dat).isFile() || !QFileInfo(log).isFile()) {
        uwaga(QStringLiteral("Brak pliku z indeksami, wybrany plik audio nie będzie skopiowany!"));
        return;
    }
    const std::int64_t rozmiar = RozmiarPliku(ksiazka);
    const PomiarKarty pomiar{{RozmiarKlastra, WolneKlastry, m_kartaFat}, PlayerNaKarcie != 0};
    if (const auto odmowa = odmowaKopiowania(pomiar, rozmiar)) {
        uwaga(*odmowa);
        return;
    }
    // All three are attempted even when one fails.
    bool udane = KopiujPlik(ksiazka);
    udane = KopiujPlik(dat) && udane;
    udane = KopiujPlik(log) && udane;
    uwaga(udane ? QStringLiteral("Pliki zostały pomyślnie skopiowane!")
                : QStringLiteral("Błąd podczas kopiowania plików!"));
    WolneMiejsceNaKarcie();
}

std::int64_t TMainForm::RozmiarPliku(const QString& name) {
    return rozmiarPlikuDoOdczytu(name);
}

std::int64_t TMainForm::WielkoscPliku(const QString& name) {
    return wielkoscPliku(name);
}

bool TMainForm::KopiujPlik(const QString& name) {
    if (!kartaWybrana())
        return false;
    const QString nazwa = QFileInfo(name).fileName();
    QProgressDialog postep(this);
    postep.setWindowTitle(QStringLiteral("Kopiowanie na kartę"));
    postep.setCancelButtonText(QStringLiteral("Anuluj"));
    postep.setWindowModality(Qt::WindowModal);
    postep.setMinimumDuration(1000);
    postep.setAutoClose(false);
    postep.setAutoReset(false);
    postep.setRange(0, 1000);
    // A screen reader names the bar by what it measures, not by its percentage.
    if (auto* pasek = postep.findChild<QProgressBar*>())
        pasek->setAccessibleName(QStringLiteral("Postęp kopiowania na kartę"));

    ObslugaKopiowania obsluga;
    obsluga.postep = [&](std::int64_t skopiowano, std::int64_t razem) {
        const QLocale locale;
        postep.setLabelText(QStringLiteral("Kopiowanie pliku %1\nSkopiowano %2 z %3 bajtów")
                                .arg(nazwa, locale.toString(qlonglong(skopiowano)),
                                     locale.toString(qlonglong(razem))));
        postep.setValue(promile(skopiowano, razem));
        // Until the dialog is up (and blocks the main window) no key or click
        // may start another command in the middle of the copy.
        QCoreApplication::processEvents(postep.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
        return !postep.wasCanceled();
    };
    obsluga.czyZamienic = [&](const QString&) {
        return uwaga(QStringLiteral("Plik %1 już istnieje na karcie. Czy zamienić?").arg(nazwa),
                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    const RaportKopiowania raport = kopiujNaKarte(name, korzenKarty(Karta), obsluga);
    postep.close();
    if (raport.wynik == WynikKopiowania::Blad)
        uwaga(raport.blad);
    return raport.udane();
}

void TMainForm::UtworzPlayer() {
    if (kartaWybrana())
        zapiszPlayerDat(korzenKarty(Karta));
}

void TMainForm::Plikzakadki1Click() {
    if (!kartaWybrana())
        return;
    if (QFileInfo::exists(sciezkaPlayera(korzenKarty(Karta))) &&
        uwaga(QStringLiteral("Plik zakładki już istnieje na karcie!\r\nCzy zamienić istniejący "
                             "plik?"),
              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    UtworzPlayer();
    uwaga(QStringLiteral("Plik zakładki został pomyślnie utworzony!"));
}
