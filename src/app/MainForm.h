#pragma once
// The main window: menus, actions, dialogs, focus and accessibility. The
// program's decisions are made beneath it, in the session (sesja/Sesja: the
// project file, the settings, the card; sesja/SesjaLista: the entry list),
// which asks and shows long work through RozmowaOkna; the window's commands
// forward there. The commands are in files beside this one:
//   MainForm.cpp          window, command enabling, help
//   MenuGlowne.cpp        the menus and their actions
//   MainFormSettings.cpp  reading the settings, settings dialogs
//   MainFormProject.cpp   the project file
//   MainFormAudio.cpp     measuring through the media player
//   MainFormPlayback.cpp  playback commands, bookmark editor
//   MainFormMerge.cpp     merge command and dialog
//   MainFormOdcinki.cpp   episode announcements
//   MainFormCard.cpp      memory card commands (forwarded to the session)
//   MainFormKsiazkiNaKarcie.cpp the books on the card
//   MainFormEdycja.cpp    undo and redo, reordering, drag and drop, the title
//   MainFormOstatnie.cpp  recent projects, dialog folders, window geometry
//   MainFormLista.cpp     the list's commands (forwarded to the session),
//                         files named on the command line, the summary
//   MainFormPrzeglad.cpp  the review of bookmarks
// The project is the model that ListView1 shows and nothing else. The
// windows it opens get what they need as arguments; none of them knows
// this class. Its controls are found by their names (findChild).

#include "app/ListaProjektu.h"
#include "app/MenuGlowne.h"
#include "app/OdtwarzanieOkna.h"
#include "app/Uslugi.h"
#include "audio/Glosnosc.h"
#include "card/FreeSpace.h"
#include "sesja/Sesja.h"
#include "sesja/SesjaLista.h"
#include "sesja/SesjaWyjscie.h"
#include "settings/Konfiguracja.h"
#include "settings/StanProgramu.h"
#include "widgets/Komunikaty.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class HistoriaProjektu;
class LiniaKomunikatu;
class ModelProjektu;
class QAction;
class QCloseEvent;
class QMenu;
class RozmowaOkna;
class TFormBlad;
class TFormOprogramie;
class TFormPodsumowanie;
class TFormPomoc;
class TFormScalaniePlikow;
class TFormUstawZakladke;
class TFormUstawienia;
class TFormWybierzFolder;
class TMediaPlayer;

class TMainForm : public QMainWindow, private MenuGlowne {
    Q_OBJECT
    // It builds the menus with the window's commands.
    friend class MenuGlowne;
    // It shows the list's long work and moves the focus.
    friend class RozmowaOkna;
    // It plays the list's entries and shows what plays.
    friend class OdtwarzanieOkna;

public:
    // FormCreate runs inside the constructor.
    explicit TMainForm(const Uslugi& uslugi, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Creates the six secondary windows, hidden, in their fixed order.
    void utworzOkna();

    static QString tytulAplikacji() { return Komunikaty::tytulAplikacji(); }
    static QString adresWww() { return QStringLiteral("https://www.sonvekmanager.example/"); }

    // ---- what the window holds ------------------------------------------------
    // The project: the rows ListView1 shows.
    ModelProjektu& projekt() const { return *m_projekt; }
    // Every change of the rows goes through it, as one step each.
    HistoriaProjektu& historia() const { return *m_historia; }
    // The settings in force; they change only through OdczytajKonfiguracje.
    const Konfiguracja& konfiguracja() const { return m_sesja->konfiguracja(); }
    // The loudness measurements of this run, by file (safe across threads).
    PamiecGlosnosci& glosnosci() { return m_lista->glosnosci(); }

    // The first selected row in list order, -1 when none is selected.
    int zaznaczonyWiersz() const { return m_ListView1->zaznaczonyWiersz(); }
    // Every selected row, in list order.
    QList<int> zaznaczoneWiersze() const { return m_ListView1->zaznaczoneWiersze(); }
    // The rows become the selection, the first of them the current row,
    // with the focus in the list; none given: as fokusNaLiscie().
    void zaznaczWiersze(const QList<int>& wiersze, int biezacy = -1) {
        if (!m_ListView1->zaznacz(wiersze, biezacy))
            fokusNaLiscie();
    }
    // The keyboard focus into the list. With `row` given, that row (or the
    // last one when there is none such) becomes the current and only selected
    // row; otherwise rows and selection stay, and a list without a current
    // row gets the selected (or the first) row as current.
    void fokusNaLiscie(int row = -1);

    // The notice window: a header line and one line per item, shown modally.
    void pokazFormBlad(const QString& header, const QStringList& lines);
    // The status bar's single panel. Every text set is spoken by a screen
    // reader, also the same text again.
    QString tekstStatusu() const;
    void ustawStatus(const QString& text);
    // Has a screen reader say `text` at once, also while one of the
    // program's dialogs is open, without showing it anywhere. (Spoken from
    // the main window, it comes without the dialog's texts read again.)
    void oglos(const QString& text);
    // "Pauza" keeps its own state (enabled by a play command, disabled by
    // Stop); it is effective only while the "Odtwarzacz" menu is enabled.
    void ustawPauze(bool enabled);

    // The help page in the desktop's browser or, when none can be started,
    // in the program's own help window.
    void otworzPomoc(const QString& path);
    void pokazPomocWOknie(const QString& path);

    // ---- commands (each forwards to an operation) ---------------------------
    void Scalajpliki1Click();
    void Plikaudio1Click();
    void SprawdzKsiazke1Click();

    // ---- settings (MainFormSettings.cpp) -------------------------------------
    void OdczytajKonfiguracje();
    // Stores the settings in one write: all of them or none. The main
    // window's settings change only through OdczytajKonfiguracje. The first
    // form sets three of them and keeps the others as they are in force.
    void ZapiszKonfiguracje(const QString& karta, const QString& magazyn, std::int32_t zakladka);
    void ZapiszKonfiguracje(const Konfiguracja& k);

    // ---- the entry list and the project file (MainFormProject.cpp) ------------
    void WstawDoListy() { m_lista->dodajPliki(); }
    void NowyProjekt();
    void WczytajProjekt();
    // Appends the project file as "Otwórz projekt" does after its dialog.
    void WczytajProjekt(const QString& path) { m_lista->wczytajProjekt(path, false); }
    void ZapiszProjekt();

    // ---- editing (MainFormEdycja.cpp) -------------------------------------------
    void Cofnij();
    // Moves the selected rows one place up (-1) or down (+1); they stay
    // selected, the current row with them.
    void PrzesunZaznaczone(int kierunek);
    // Files dropped on the list before row `cel` (see UpuscWiersze).
    void UpuscPliki(const QStringList& paths, int cel) { m_lista->upuscPliki(paths, cel); }

    // ---- media player (MainFormAudio.cpp) --------------------------------------
    std::int64_t DlugoscPlikuAudio(const QString& path);
    bool TestPlikuAudio(const QString& path);

    // ---- what the user points at (MainFormLista.cpp) -----------------------------------
    // The files and folders named on the command line: a project opened as
    // "Ostatnie projekty" opens it, MP3 files added as "Dodaj..." adds them,
    // folders as "Dodaj folder..."; anything else listed with the reason.
    // The names are looked at on a worker thread (a stalled mount must not
    // hold the window); the window opens them when it has the answer and
    // then emits commandLineOpened.
    void otworzWskazane(const QStringList& argumenty);

signals:
    void commandLineOpened();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Back in the main window (a dialog or message box closed), the focus
    // goes to the list.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The menu commands and what they run, all reached through the actions.
    // What the program remembers between runs (recent projects, folders).
    const StanProgramu& stanProgramu() const { return m_sesja->stan(); }
    // Both run on every change of the rows and of the selection.
    void Aktywuj();
    void AktywujOdtwarzacz();
    void ListView1SelectItem();
    // The rows a command over several files works on: the selected ones, or
    // every row when at most one is selected. The list always has a selected
    // row once it has the focus, so a single selected row means the whole
    // list (that row alone has commands of its own).
    QList<int> wierszeDoPracy() const;
    bool pauzaWlaczona() const { return m_pauza; }
    void Stop() { m_odtwarzanie->Stop(); }
    void Przenumeruj() { m_lista->przenumeruj(); }
    // Measures the files of the selected rows, or of all rows when none is
    // selected, that have no current measurement, and shows the "Głośność"
    // report of those rows.
    void RaportGlosnosci() { m_lista->raportGlosnosci(wierszeDoPracy()); }
    void Nowyprojekt1Click();
    void OtworzProjekt1Click();
    void Zapiszprojekt1Click();
    void Zapiszprojektjako1Click();
    void Eksportujksiazke1Click();
    void Plikzakadki1Click();
    void WysunKarte1Click();
    void Wolnemiejscenakarcie1Click();
    void Zamknij1Click();
    void Dodaj2Click();
    void Wstaw2Click();
    void Usu1Click();
    void Ustawienia1Click();
    void Wstawodcinki1Click();
    void Oprogramie1Click();
    void StronaWww1Click();
    void Pomoc2Click();
    void UstawZakladke1Click();
    void Cofnij1Click();
    void Ponow1Click();
    void PrzesunWGore1Click();
    void PrzesunWDol1Click();
    void Wykryjzakadki1Click();
    void Podsumowanieksiazki1Click();
    void Glosnosc1Click();
    void Dodajfolder1Click();
    void Ksiazkinakarcie1Click();
    void Przegladzakladek1Click();
    void Dopasujdoprzerw1Click();
    void Importujksiazke1Click();
    void ZapiszProjektJako();
    // The close question; `event->ignore()` keeps the window open.
    void FormClose(QCloseEvent* event);
    void Ponow();
    // Drops on the list: rows of the list, or files (MP3 files inserted
    // before `cel` as "Wstaw..." inserts them, in the order of the file
    // names; a project opened in place of the list, as from "Ostatnie
    // projekty", and any further ones appended).
    void UpuscWiersze(const QList<int>& wiersze, int cel);

    // ---- bookmarks by ear (MainFormPrzeglad.cpp) ---------------------------------------
    // "Przegląd zakładek" over the selected rows, or all rows when at most
    // one is selected; what the user accepted becomes one step.
    void PrzejrzyjZakladki();

    void FormCreate();
    void utworzListe();
    void zglosBiezacyWiersz();
    void utworzOdtwarzacz();
    void utworzFormUstawZakladke();
    void utworzFormUstawienia();
    void utworzFormWybierzFolder();
    void utworzFormScalaniePlikow();
    void polaczHistorie();
    void AktywujEdycje();
    QString powodNieczynnego(const QAction* akcja) const;
    void przejdzHistorie(bool wstecz);
    // "nazwa.xml[*] – SonvekManager", the mark shown while changed.
    void ustawTytul();

    // Recent projects, dialog folders, geometry (MainFormOstatnie.cpp).
    void odswiezOstatnie();
    void przywrocGeometrie();
    void zapamietajGeometrie();

    // Messages owned by this window (Komunikaty).
    bool guard(const std::function<void()>& command) { return m_komunikaty.guard(command); }
    QMessageBox::StandardButton
    uwaga(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
          QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) {
        return m_komunikaty.uwaga(text, buttons, defaultButton, escapeButton);
    }

    const Uslugi m_uslugi;
    Seams& m_seams;
    Komunikaty m_komunikaty;
    // The program's decisions (sesja/), asking the user through m_rozmowa.
    std::unique_ptr<RozmowaOkna> m_rozmowa;
    std::unique_ptr<Sesja> m_sesja;
    // The entry list's decisions, showing long work through m_rozmowa.
    std::unique_ptr<SesjaLista> m_lista;
    // The merge's and the export's decisions.
    std::unique_ptr<SesjaWyjscie> m_wyjscie;
    std::unique_ptr<OdtwarzanieOkna> m_odtwarzanie;
    ModelProjektu* m_projekt = nullptr;
    HistoriaProjektu* m_historia = nullptr;
    bool m_pauza = false;

    // ---- windows and controls, named as their objects are ------------------------
    ListaProjektu* m_ListView1 = nullptr;
    LiniaKomunikatu* m_StatusBar1 = nullptr;
    TMediaPlayer* m_MediaPlayer1 = nullptr;

    TFormUstawZakladke* m_FormUstawZakladke = nullptr;
    TFormUstawienia* m_FormUstawienia = nullptr;
    TFormWybierzFolder* m_FormWybierzFolder = nullptr;
    TFormScalaniePlikow* m_FormScalaniePlikow = nullptr;
    TFormOprogramie* m_FormOprogramie = nullptr;
    TFormBlad* m_FormBlad = nullptr;
    // Made on first use: the help window for a desktop without a browser.
    TFormPomoc* m_FormPomoc = nullptr;
    // Made on first use.
    TFormPodsumowanie* m_FormPodsumowanie = nullptr;
};
