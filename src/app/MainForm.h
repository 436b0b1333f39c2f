#pragma once
// The main window. It owns every operation of the program as a method; the
// commands of each subsystem are in a file of their own beside this one:
//   MainForm.cpp          window, menus, command enabling, help
//   MainFormSettings.cpp  reading the settings, settings dialogs
//   MainFormProject.cpp   the entry list and the project file
//   MainFormAudio.cpp     measuring through the media player
//   MainFormPlayback.cpp  playback commands, bookmark editor
//   MainFormMerge.cpp     merge command and dialog
//   MainFormOdcinki.cpp   episode announcements
//   MainFormCard.cpp      memory card commands
// The project is the rows of ListView1 and nothing else.

#include "base/Paths.h"
#include "card/CardFiles.h"
#include "card/Volumes.h"
#include "merge/MergeJob.h"
#include "project/Pozycja.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

class QAction;
class QCloseEvent;
class LiniaKomunikatu;
class QMenu;
class ModelProjektu;
class QTreeView;
class Seams;
class SettingsStore;
class TFormBlad;
class TFormOprogramie;
class TFormPomoc;
class TFormUstawZakladke;
class TFormUstawienia;
class TFormWybierzFolder;
class TFormScalaniePlikow;
class TMediaPlayer;
class ZrodloWolnegoMiejsca;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // `programDir` is the folder of the running program (help page copy,
    // announcement clips). FormCreate runs inside the constructor.
    TMainForm(Seams& seams, SettingsStore& store, QString programDir, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Creates the six secondary windows, hidden, in their fixed order.
    void utworzOkna();

    Seams& seams() const { return m_seams; }
    SettingsStore& store() const { return m_store; }
    const QString& programDir() const { return m_programDir; }

    // ---- shell -------------------------------------------------------------
    void Aktywuj();
    void AktywujOdtwarzacz();
    void ListView1SelectItem();

    // Runs a command; any error it raises is shown in the general error box
    // and the program goes on. Returns false when the command failed.
    bool guard(const std::function<void()>& command);
    // The general error box: error icon, OK, caption "SonvekManager".
    void pokazBlad(const QString& text);
    // A message box owned by the main window with the caption "Uwaga";
    // Enter presses `defaultButton`, Esc and the close box `escapeButton`.
    QMessageBox::StandardButton
    uwaga(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
          QMessageBox::StandardButton escapeButton = QMessageBox::NoButton);
    // The notice window: a header line and one line per item, shown modally.
    void pokazFormBlad(const QString& header, const QStringList& lines);

    // The project: the rows ListView1 shows.
    ModelProjektu& projekt() const { return *m_projekt; }
    // The first selected row in list order, -1 when none is selected.
    int zaznaczonyWiersz() const;
    // The keyboard focus into the list. With `row` given, that row (or the
    // last one when there is none such) becomes the current and only selected
    // row; otherwise rows and selection stay, and a list without a current
    // row gets the selected (or the first) row as current.
    void fokusNaLiscie(int row = -1);

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
    bool pauzaWlaczona() const { return m_pauza; }

    static QString tytulAplikacji() { return QStringLiteral("SonvekManager"); }
    static QString adresWww() { return QStringLiteral("https://www.sonvekmanager.example/"); }

    // ---- commands (each forwards to an operation) ---------------------------
    void Nowyprojekt1Click();
    void OtworzProjekt1Click();
    void Zapiszprojekt1Click();
    void Zapiszprojektjako1Click();
    void Scalajpliki1Click();
    void Plikaudio1Click();
    void Plikzakadki1Click();
    void Wolnemiejscenakarcie1Click();
    void Zamknij1Click();
    void Dodaj2Click();
    void Wstaw2Click();
    void Usu1Click();
    void OdtworZzakladke1Click();
    void Odtwrzplik1Click();
    void Stop1Click();
    void Pauza1Click();
    void Ustawienia1Click();
    void Wstawodcinki1Click();
    void Oprogramie1Click();
    void StronaWww1Click();
    void Pomoc2Click();
    void UstawZakladke1Click();

    // The help page in the desktop's browser or, when none can be started,
    // in the program's own help window.
    void otworzPomoc(const QString& path);
    void pokazPomocWOknie(const QString& path);

    // ---- settings -------------------------------------------------------------
    void OdczytajKonfiguracje();
    // Stores the three settings in one write: all of them or none. The main
    // window's fields change only through OdczytajKonfiguracje.
    void ZapiszKonfiguracje(const QString& karta, const QString& magazyn, std::int32_t zakladka);
    // The volumes the drive lists of the settings dialogs offer; a test may
    // give its own.
    std::function<ListaWoluminow()> ZrodloWoluminow = listaWoluminow;

    // ---- project list and project file -----------------------------------------
    void WstawDoListy();
    void WstawPomiedzy();
    void WstawNazwyPlikowDoListBox(const QStringList& paths);
    void UsunzListy();
    void Przenumeruj();
    void NowyProjekt();
    void WczytajProjekt();
    void ZapiszProjekt();
    void ZapiszProjektJako();
    // The close question; `event->ignore()` keeps the window open.
    void FormClose(QCloseEvent* event);

    // ---- media player ------------------------------------------------------------
    std::int64_t DlugoscPlikuAudio(const QString& path);
    bool TestPlikuAudio(const QString& path);

    // ---- playback ------------------------------------------------------------------
    void OdtworzPlik();
    void OdtworzZakladke(std::int64_t start, std::int64_t end);
    void Stop();
    void ListView1KeyDown(int key);

    // ---- card ------------------------------------------------------------------------
    void KopiujPlikAudio();
    void WolneMiejsceNaKarcie();
    void UtworzPlayer();
    // The size of a file opened for reading only; EInOutError when it cannot be opened.
    std::int64_t RozmiarPliku(const QString& name);
    // Copies the files into the card root under their own names with one progress
    // window, after asking about every file it would replace (a "Nie" ends the copy
    // before anything is written); reports the outcome and the free space.
    void KopiujPliki(const QStringList& names);
    // How one file is copied to the card, on the copy's worker thread; tests may
    // wrap it.
    std::function<RaportKopiowania(const QString&, const QString&, const ObslugaKopiowania&)>
        KopiowanieNaKarte = kopiujNaKarte;
    // The size of what the path names, 0 when nothing does.
    std::int64_t WielkoscPliku(const QString& name);
    // Where the card's free-space figures come from: the system by default; tests hand
    // in their own. Not owned.
    void ustawZrodloWolnegoMiejsca(const ZrodloWolnegoMiejsca* zrodlo) { m_zrodloMiejsca = zrodlo; }

private:
    bool kartaWybrana();
    bool kartaDostepna();
    const ZrodloWolnegoMiejsca& zrodloMiejsca() const;
    bool zmierzKarte();
    const ZrodloWolnegoMiejsca* m_zrodloMiejsca = nullptr;
    bool m_kartaFat = false; // the last measured card has a FAT file system

public:
    // ---- windows and controls ----------------------------------------------------------
    QTreeView* ListView1 = nullptr;
    LiniaKomunikatu* StatusBar1 = nullptr;
    LiniaKomunikatu* Ogloszenie = nullptr; // hidden: what oglos() says
    TMediaPlayer* MediaPlayer1 = nullptr;

    TFormUstawZakladke* FormUstawZakladke = nullptr;
    TFormUstawienia* FormUstawienia = nullptr;
    TFormWybierzFolder* FormWybierzFolder = nullptr;
    TFormScalaniePlikow* FormScalaniePlikow = nullptr;
    TFormOprogramie* FormOprogramie = nullptr;
    TFormBlad* FormBlad = nullptr;
    // Made on first use: the help window for a desktop without a browser.
    TFormPomoc* FormPomoc = nullptr;

    QMenu* Plik1 = nullptr;
    QMenu* Kopiujnakart1 = nullptr;
    QMenu* Edycja2 = nullptr;
    QMenu* Odtwarzacz1 = nullptr;
    QMenu* Narzdzia1 = nullptr;
    QMenu* Pomoc1 = nullptr;
    QMenu* PopupMenu1 = nullptr;

    QAction* Nowyprojekt1 = nullptr;
    QAction* OtworzProjekt1 = nullptr;
    QAction* Zapiszprojekt1 = nullptr;
    QAction* Zapiszprojektjako1 = nullptr;
    QAction* Scalajpliki1 = nullptr;
    QAction* Plikaudio1 = nullptr;
    QAction* Plikzakadki1 = nullptr;
    QAction* Wolnemiejscenakarcie1 = nullptr;
    QAction* Zamknij1 = nullptr;
    QAction* Dodaj2 = nullptr;
    QAction* Wstaw2 = nullptr;
    QAction* Usu1 = nullptr;
    QAction* OdtworZzakladke1 = nullptr;
    QAction* Odtwrzplik1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* Pauza1 = nullptr;
    QAction* Ustawienia1 = nullptr;
    QAction* Wstawodcinki1 = nullptr;
    QAction* Oprogramie1 = nullptr;
    QAction* StronaWww1 = nullptr;
    QAction* Pomoc2 = nullptr;
    // Context menu of the list.
    QAction* Dodaj1 = nullptr;
    QAction* Usun1 = nullptr;
    QAction* Wstaw1 = nullptr;
    QAction* UstawZakladke1 = nullptr;
    QAction* OdtowrzZakladke1 = nullptr;
    QAction* OdtworzPlik1 = nullptr;

    // ---- state ---------------------------------------------------------------------------
    // Settings, written only by OdczytajKonfiguracje.
    QString Karta;
    QString Magazyn;
    std::int32_t DomyslnaZakladka = 5000;
    // Card figures of the last free-space measurement.
    std::int64_t RozmiarKlastra = 0;
    std::int32_t PlayerNaKarcie = 0;
    std::uint64_t WolneKlastry = 0;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Back in the main window (a dialog or message box closed), the focus
    // goes to the list.
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void utworzMenu();
    void utworzListe();
    void zglosBiezacyWiersz();
    void utworzOdtwarzacz();
    void utworzFormUstawZakladke();
    void utworzFormUstawienia();
    void utworzFormWybierzFolder();
    void utworzFormScalaniePlikow();

    Seams& m_seams;
    SettingsStore& m_store;
    QString m_programDir;
    bool m_pauza = false;
    ModelProjektu* m_projekt = nullptr;

    // ---- project file (MainFormProject.cpp) ----
public:
    // The paths chosen in the last "Dodaj plik"/"Wstaw plik" dialog, in the
    // order they become entries (by file name, case-insensitively).
    QStringList ListBoxSortuj;

private:
    QStringList wybierzPlikiAudio(const QString& title);
    void wstawPliki(const QStringList& chosen, int at);
    // The question "Czy zapisać zmiany w projekcie?" when the project has
    // changed: true when the caller may drop it (saved, or No); false for
    // "Anuluj", Esc and a cancelled save.
    bool czyPorzucicZmiany();
    // false when the user cancelled the save dialog or kept an existing
    // file; errors are thrown.
    bool zapiszProjekt();
    bool zapiszProjektJako();
    // The name the save dialog returned last time, ".xml" included.
    QString m_nazwaZapisu;

    // ---- episode announcements (MainFormOdcinki.cpp) ----
public:
    // Puts clip k from the folder `odcinki` beside the program in front of
    // the file of row k, for every row but the first.
    void WstawOdcinki();

    // ---- merge (MainFormMerge.cpp) ----
public:
    // The file name of the merge save dialog SaveDialogMP3: the book the
    // last merge command named. The merge dialog and its worker read it.
    QString SaveDialogMP3FileName;
    // How the merge measures MP3 files (the audio layer's probe).
    MiernikMp3 MiernikScalania;
};
