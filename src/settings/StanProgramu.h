#pragma once
// What the program remembers between runs besides its settings: the
// projects opened or saved last, the folders the file dialogs were last
// used in, and the main window's place and size. Kept as extra values in
// the settings key "SonvCom" beside the settings, which they never change:
//
//   "Ostatni1"="/home/ola/Książki/Pan Tadeusz.xml"   ... up to "Ostatni8"
//   "FolderProjektow"="/home/ola/Książki"
//   "FolderAudio"="/home/ola/Nagrania"
//   "Geometria"="AdnQywADAAAAAA..."                  (the window's, base64)

#include <QString>
#include <QStringList>

class SettingsStore;

struct StanProgramu {
    static constexpr int kMaksOstatnich = 8;
    QStringList OstatnieProjekty; // most recent first, at most kMaksOstatnich
    QString FolderProjektow;      // of the project dialogs
    QString FolderAudio;          // of the dialogs that choose MP3 files
    QString Geometria;            // QWidget::saveGeometry, base64
};

// The remembered state; a value that is missing or of another type is left
// empty: none of it is worth a message.
StanProgramu odczytajStanProgramu(const SettingsStore& store);

// Writes the state into the settings key through the atomic writer,
// keeping every other value of the key as it is. Only into a key that
// exists and can be read: the program's first run still finds no key (and
// says so), and a broken key is not replaced by one holding only this.
// False when it was not written.
bool zapiszStanProgramu(SettingsStore& store, const StanProgramu& stan);

// `path` at the top of the list, once, the list cut to its length.
void dopiszOstatni(QStringList& ostatnie, const QString& path);
