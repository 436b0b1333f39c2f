#pragma once
// The program's decisions beneath every window: the project file (open,
// save and the unsaved-changes question), what the program remembers
// between runs (recent projects, dialog folders), the settings in force and
// the memory card's work (its choice, the free space, the copy of a book
// with its replace questions, the check, the eject and the player's file)
// with every text the user is told. It asks the user only through Rozmowa
// and shows the card's long work through PracaKarty, so the main window
// just forwards its commands here and tests drive it without a window.
//
// The commands throw (SonvekError) what the window's guard shows in the
// general error box.

#include "card/FreeSpace.h"
#include "card/KsiazkaNaKarcie.h"
#include "card/Wysuwanie.h"
#include "settings/Konfiguracja.h"
#include "settings/StanProgramu.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class HistoriaProjektu;
class ModelProjektu;
class PracaKarty;
class Rozmowa;
class SettingsStore;

// What the session uses of the world outside; what is left empty is the
// real thing.
struct UslugiSesji {
    // The card's free-space figures and mount check; empty: the system's.
    const ZrodloWolnegoMiejsca* wolneMiejsce = nullptr;
    // How a book is copied to the card, on the copy's worker thread.
    KopiowanieNaKarte kopiowanieNaKarte = kopiujKsiazkeNaKarte;
    // How the card is ejected (UDisks2), on a worker thread.
    std::function<WynikWysuniecia(const QString& korzen)> wysuwanieKarty = wysunKarte;
    // The running program's folder (the announcement clips beside it).
    QString programDir;
    // Where the announcements keep the originals; empty: folderOryginalow().
    QString folderOryginalow;
};

class Sesja {
public:
    // Every change of `projekt` goes through `historia`.
    Sesja(Rozmowa& rozmowa, PracaKarty& praca, SettingsStore& store, ModelProjektu& projekt,
          HistoriaProjektu& historia, UslugiSesji uslugi);

    // ---- the project file (SesjaProjekt.cpp) ------------------------------------
    // The one question "Czy zapisać zmiany w projekcie?" before a changed
    // project is dropped: true when it may be dropped (saved, or "Nie");
    // false for "Anuluj", Esc and a cancelled save. A failed save throws.
    bool czyPorzucicZmiany();
    // An empty, unchanged project after the question above; false when the
    // user kept the project.
    bool nowyProjekt();
    // The project file the user picks in the open dialog; empty when cancelled.
    QString wybierzProjekt();
    // Reads a project file, appended or in place of the list; a file that
    // is no project is told, entries left out are listed. True when read.
    bool wczytajProjekt(const QString& path, bool zamiast);
    // Saves under the project's name (asking for one when it has none), or
    // under a name asked for; false when the user cancelled or kept a file.
    // "Zapisano projekt ..." is said after a save.
    bool zapiszProjekt();
    bool zapiszProjektJako();

    // ---- episode announcements (SesjaOdcinki.cpp) ----------------------------------
    // Puts clip k from the folder `odcinki` beside the program in front of
    // the file of row k, for every row but the first, as one step of the
    // history, after asking when the clips' sound differs from the files'.
    void wstawOdcinki();

    // ---- what the program remembers -----------------------------------------------
    const StanProgramu& stan() const { return m_stan; }
    void odczytajStan();
    // The recent project number `numer` (1 to 8); empty when there is none.
    QString ostatni(int numer) const;
    void zapamietajFolderAudio(const QString& path);
    void zapamietajGeometrie(const QString& geometria);
    // Kept only in memory until the settings have been stored once: the
    // key is theirs to create.
    void zapiszStan();
    // Opens the books on the card window; offered after a good copy when set.
    void przyPokazaniuKsiazekNaKarcie(std::function<void()> f) {
        m_pokazKsiazkiNaKarcie = std::move(f);
    }
    // Runs whenever the recent projects change.
    void przyZmianieOstatnich(std::function<void()> f) { m_przyZmianieOstatnich = std::move(f); }

    // ---- settings ------------------------------------------------------------
    const Konfiguracja& konfiguracja() const { return m_konfiguracja; }
    // The loudness levelling brings to: the setting's, or the default.
    double celLufs() const;
    // Takes the stored settings into use; a setting that could not be read
    // is told.
    void odczytajKonfiguracje();
    // Stores `k` in one write: only what differs from the settings in
    // force, over the key as it is now (another copy of the program may
    // have stored other values). They take effect with odczytajKonfiguracje.
    void zapiszKonfiguracje(const Konfiguracja& k);

    // ---- the card --------------------------------------------------------------
    // The card's figures of the last free-space measurement.
    const PomiarKarty& pomiarKarty() const { return m_pomiarKarty; }
    const ZrodloWolnegoMiejsca& zrodloMiejsca() const;
    // Measures the card, finishing first a copy killed between its renames,
    // and puts the free space on the status line. A card not chosen, not
    // there or not answering is told instead and false returned.
    bool zmierzKarte();
    // "Plik audio": a store book chosen, its room on the card checked, then
    // copied with its index files (kopiujPliki).
    void kopiujKsiazke();
    // Copies the book's files into the card root under their own names
    // after asking about every file it would replace (a "Nie" ends the copy
    // before anything is written); tells the outcome and the free space,
    // and after a good copy offers to eject the card.
    void kopiujPliki(const QStringList& pliki);
    // True when a card is chosen and a volume answers at its root;
    // otherwise says why not. Windows of the card's own ask this first.
    bool kartaDostepna();
    // The chosen card's root folder.
    QString korzen() const;
    // Checks a store book against its copy on the card.
    void sprawdzKsiazke();
    // Ejects the card and says whether it may be taken out.
    void wysunKarte();
    // "Plik zakładki": the player's state file written on the card, after
    // asking before one there is replaced.
    void utworzPlikZakladki();

private:
    bool zapisz();
    bool zapiszJako();
    // Before `path` is written: true unless another program changed it
    // since this project read or wrote it and the user keeps that version.
    bool czyZastapicZmienionyPlik(const QString& path);
    // A project opened or saved: first in the recent list, its folder the
    // project dialogs' folder; then stored.
    void zapamietajProjekt(const QString& path);
    bool kartaWybrana();
    QStringList wybierzKsiazke(const QString& tytul, const QString& brakIndeksow);
    // The replace questions in copy order; false (after saying so) when the
    // user keeps a file of the card's.
    bool zapytajOZamiane(const QStringList& doZamiany);
    void powiedzWynikKopii(const RaportKopiowania& raport);
    // Runs `praca` off the window's thread within the card's time limit;
    // none when the card did not answer in time.
    template <typename T> std::optional<T> zKarty(std::function<T()> praca);

    Rozmowa& m_rozmowa;
    PracaKarty& m_praca;
    SettingsStore& m_store;
    ModelProjektu& m_projekt;
    HistoriaProjektu& m_historia;
    const UslugiSesji m_uslugi;
    Konfiguracja m_konfiguracja;
    PomiarKarty m_pomiarKarty;
    StanProgramu m_stan;
    std::function<void()> m_przyZmianieOstatnich;
    std::function<void()> m_pokazKsiazkiNaKarcie;
    // The name the project's save dialog returned last time, ".xml" included.
    QString m_nazwaZapisu;
};
