#pragma once
// For tests of windows: controls found by their names, as the main window
// keeps its own to itself, and the main window's settings set as the user
// sets them. Only the tests of windows include this.

#include "app/MainForm.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"

#include <QAction>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtGlobal>
#include <memory>
#include <optional>

// The child of `okno` named `nazwa`; a missing one ends the test run.
template <typename T = QAction> T* kontrolka(const QObject& okno, const char* nazwa) {
    T* znaleziony = okno.findChild<T*>(QString::fromLatin1(nazwa));
    if (!znaleziony)
        qFatal("%s has no %s", qPrintable(okno.objectName()), nazwa);
    return znaleziony;
}

inline QAction* akcja(const QObject& okno, const char* nazwa) {
    return kontrolka<QAction>(okno, nazwa);
}

// The main window's project list.
inline QTreeView* lista(const QObject& okno) {
    return kontrolka<QTreeView>(okno, "ListView1");
}

// Stores the three settings and has the window take them, as "Zapisz" in
// the settings dialog does.
inline void ustawKonfiguracje(TMainForm& okno, const QString& karta, const QString& magazyn,
                              std::int32_t zakladka = 5000) {
    okno.ZapiszKonfiguracje(karta, magazyn, zakladka);
    okno.OdczytajKonfiguracje();
}

// A main window whose settings are kept in `folder`/conf and whose store of
// books is `folder` itself; the first-run notice is gone from `seams`.
inline std::unique_ptr<TMainForm>
oknoNadFolderem(FakeSeams& seams, std::unique_ptr<SettingsStore>& store, const QString& folder) {
    store = std::make_unique<SettingsStore>(folder + QStringLiteral("/conf"));
    auto okno = std::make_unique<TMainForm>(Uslugi(seams, *store, folder));
    ustawKonfiguracje(*okno, QString(), folder + QLatin1Char('/'));
    seams.messages.clear();
    return okno;
}

// The members of a test of the main window over a fresh temporary folder:
// otworz() in init() makes them anew.
struct OknoWFolderze {
    std::optional<QTemporaryDir> dir;
    FakeSeams seams;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TMainForm> form;

    void otworz() {
        dir.emplace();
        seams = FakeSeams();
        form = oknoNadFolderem(seams, store, dir->path());
    }
    QString sciezka(const QString& n) const { return dir->filePath(n); }
};

// Appends a row for the file at `path` with this bookmark, as a loaded
// project has it: the project stays unchanged.
inline void dodajWiersz(TMainForm& okno, const QString& path, const QString& poczatek,
                        const QString& dlugosc) {
    const QFileInfo info(path);
    ModelProjektu& projekt = okno.projekt();
    const int n = projekt.rowCount();
    projekt.wstaw(n, {{QString::number(n + 1), info.fileName(), poczatek, dlugosc,
                       info.absolutePath() + QLatin1Char('/')}});
    projekt.ustawProjektZmieniony(false);
}
