// The project list operations and the project file commands.

#include "app/MainForm.h"

#include "app/Seams.h"
#include "base/Errors.h"
#include "project/ProjectFile.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

namespace {

QString pytanieZapis() {
    return QStringLiteral("Czy zapisać zmiany w projekcie?");
}

QString pytanieZamiana(const QString& plik) {
    return QStringLiteral("Plik %1 już istnieje. Czy zamienić go?").arg(plik);
}

// Two names of one file (links and ".." resolved).
bool tenSamPlik(const QString& a, const QString& b) {
    const QString ka = QFileInfo(a).canonicalFilePath();
    return !ka.isEmpty() && ka == QFileInfo(b).canonicalFilePath();
}

// Runs `fn` when the scope ends, also when an error leaves it.
template <typename F> class NaKoniec {
public:
    explicit NaKoniec(F fn) : m_fn(std::move(fn)) {}
    ~NaKoniec() { m_fn(); }
    NaKoniec(const NaKoniec&) = delete;
    NaKoniec& operator=(const NaKoniec&) = delete;

private:
    F m_fn;
};

} // namespace

// ---- the entry list ------------------------------------------------------------------

QStringList TMainForm::wybierzPlikiAudio(const QString& title) {
    Seams::FileDialog dialog;
    dialog.title = title;
    dialog.filter = QStringLiteral("mp3 (*.mp3)");
    dialog.defaultSuffix = QStringLiteral("mp3");
    dialog.multiple = true;
    dialog.mustExist = true;
    QStringList chosen = m_seams.openFiles(this, dialog);
    for (QString& path : chosen)
        path = QDir::toNativeSeparators(path);
    return chosen;
}

void TMainForm::WstawNazwyPlikowDoListBox(const QStringList& paths) {
    ListBoxSortuj = uporzadkujWybranePliki(paths);
}

// Tests, measures and inserts the chosen files as one block from row `at`,
// in the order of ListBoxSortuj. Files the media player cannot open are left
// out and listed in the notice window at the end.
void TMainForm::wstawPliki(const QStringList& chosen, int at) {
    WstawNazwyPlikowDoListBox(chosen);
    QStringList niepoprawne;
    const int pierwszy = at;
    // The focus goes to the first new row, also when a file stops the adding.
    NaKoniec fokus([&] { fokusNaLiscie(at > pierwszy ? pierwszy : -1); });
    {
        // Whatever happens to one file, the rows already in stay numbered.
        NaKoniec numeruj([this] { Przenumeruj(); });
        for (const QString& path : std::as_const(ListBoxSortuj)) {
            if (!TestPlikuAudio(path)) {
                niepoprawne.append(path);
                continue;
            }
            const std::int64_t dlugosc = DlugoscPlikuAudio(path);
            PozycjaProjektu e;
            e.NazwaPliku = ExNazwaPliku(path);
            e.Poczatek = QStringLiteral("0");
            e.Dlugosc = QString::number(std::min<std::int64_t>(dlugosc, DomyslnaZakladka));
            e.Folder = ExSciezka(path);
            wstawWiersz(at++, e);
            ProjektZmieniony = true;
        }
    }
    for (int i = 0; i < 3; ++i)
        m_seams.beep();
    Aktywuj();
    if (!niepoprawne.isEmpty()) {
        pokazFormBlad(QStringLiteral("Następujące pliki nie są poprawnymi plikami audio i nie "
                                     "zostaną dolączone do projektu:"),
                      niepoprawne);
    }
}

void TMainForm::WstawDoListy() {
    NaKoniec aktywuj([this] { Aktywuj(); });
    const QStringList chosen = wybierzPlikiAudio(QStringLiteral("Dodaj plik"));
    if (!chosen.isEmpty())
        wstawPliki(chosen, liczbaWierszy());
}

void TMainForm::WstawPomiedzy() {
    NaKoniec aktywuj([this] { Aktywuj(); });
    const QStringList chosen = wybierzPlikiAudio(QStringLiteral("Wstaw plik"));
    if (chosen.isEmpty())
        return;
    const int selected = zaznaczonyWiersz();
    wstawPliki(chosen, selected < 0 ? liczbaWierszy() : selected);
}

void TMainForm::UsunzListy() {
    const int row = zaznaczonyWiersz();
    if (row < 0)
        return;
    usunWiersz(row);
    ProjektZmieniony = true;
    Aktywuj();
    fokusNaLiscie(row); // the row that took its place, or the new last one
}

void TMainForm::Przenumeruj() {
    for (int i = 0, n = liczbaWierszy(); i < n; ++i) {
        PozycjaProjektu p = wiersz(i);
        p.Lp = QString::number(i + 1);
        ustawWiersz(i, p); // changes only what differs
    }
}

// ---- the project file --------------------------------------------------------------------

bool TMainForm::czyPorzucicZmiany() {
    if (!ProjektZmieniony)
        return true;
    // Esc and the close box mean "Anuluj": nothing happens.
    switch (uwaga(pytanieZapis(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                  QMessageBox::Yes, QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        // A cancelled save keeps the project; a failed one throws.
        return zapiszProjekt();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TMainForm::NowyProjekt() {
    if (!czyPorzucicZmiany())
        return;
    ListView1->clear();
    NazwaProjektu.clear();
    ListBoxSortuj.clear();
    ProjektZmieniony = false;
    Aktywuj();
}

void TMainForm::WczytajProjekt() {
    NaKoniec aktywuj([this] { Aktywuj(); });
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Otwórz projekt");
    dialog.fileName = NazwaProjektu;
    dialog.filter = QStringLiteral("xml (*.xml)");
    dialog.mustExist = false;
    const QStringList chosen = m_seams.openFiles(this, dialog);
    if (chosen.isEmpty())
        return;
    const QString path = QDir::toNativeSeparators(chosen.first());
    // The focus goes to the first loaded row, also when an entry stops the loading.
    const int pierwszy = liczbaWierszy();
    NaKoniec fokus([&] { fokusNaLiscie(liczbaWierszy() > pierwszy ? pierwszy : -1); });

    const OdczytanyPlikProjektu doc = wczytajPlikProjektu(path);
    if (!doc.korzenProjekt) {
        uwaga(QStringLiteral("Nieprawidlowy plik z danymi o projekcie"));
        return;
    }
    // Entries are appended in file order. An entry that lacks its file name
    // or folder (or, for a file that exists, its numbers) stops the loading
    // there with an error naming the entry and the element; the entries
    // before it stay in the list. Only a load that reads every entry makes
    // the file the current project file.
    const PozycjePlikuProjektu wczytane = pozycjePlikuProjektu(doc, path);
    for (PozycjaProjektu p : wczytane.pozycje) {
        const int row = liczbaWierszy();
        p.Lp = QString::number(row + 1);
        wstawWiersz(row, p);
    }
    if (!wczytane.blad.isEmpty())
        throw EConvertError(wczytane.blad);
    NazwaProjektu = path;
    if (!wczytane.brakujace.isEmpty()) {
        Aktywuj();
        pokazFormBlad(
            QStringLiteral("Nie odnaleziono następujących plików w podanych lokalizacjach:"),
            wczytane.brakujace);
    }
}

void TMainForm::zapiszDo(const QString& path) {
    zapiszPlikProjektu(path, pozycje());
    ProjektZmieniony = false;
}

bool TMainForm::zapiszProjekt() {
    if (NazwaProjektu.isEmpty())
        return zapiszProjektJako();
    zapiszDo(NazwaProjektu);
    return true;
}

bool TMainForm::zapiszProjektJako() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Zapisz projekt jako");
    dialog.fileName = m_nazwaZapisu;
    dialog.filter = QStringLiteral("xml (*.xml)");
    dialog.defaultSuffix = QStringLiteral("xml");
    dialog.confirmCreate = true;
    dialog.confirmOverwrite = false;
    QString name = m_seams.saveFile(this, dialog);
    if (name.isEmpty())
        return false;
    name = QDir::toNativeSeparators(name);
    if (ExRozszerzenie(name) != u"xml")
        name += QStringLiteral(".xml");
    m_nazwaZapisu = name;
    // The dialog does not ask before replacing a file: another project of
    // that name is replaced only when the user says so.
    if (QFileInfo::exists(name) && !tenSamPlik(name, NazwaProjektu) &&
        uwaga(pytanieZamiana(name), QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
              QMessageBox::No) != QMessageBox::Yes)
        return false;
    zapiszDo(name);
    NazwaProjektu = name;
    return true;
}

void TMainForm::ZapiszProjekt() {
    zapiszProjekt();
}

void TMainForm::ZapiszProjektJako() {
    zapiszProjektJako();
}

void TMainForm::FormClose(QCloseEvent* event) {
    // "Anuluj", or Yes and then a cancelled save dialog: the window stays
    // open with the project. A failed save throws and the shell keeps the
    // window open.
    if (!czyPorzucicZmiany())
        event->ignore();
}
