#pragma once
// Where the program finds the data it ships or the user adds: the help page
// and the announcement clips. A program run from its build folder has them
// beside it; an installed one finds them in the XDG data folders.

#include <QString>
#include <QStringList>

// The folders searched, in order: the program's own folder; then the
// "sonvekmanager" folder in the user's data folder ($XDG_DATA_HOME, by
// default ~/.local/share), in each $XDG_DATA_DIRS entry (by default
// /usr/local/share and /usr/share), and in share/ next to the program's
// bin folder (an installation under another prefix). Relative XDG entries
// are ignored.
QStringList folderyDanych(const QString& folderProgramu);

// The program's folder in the user's data folder ($XDG_DATA_HOME, by
// default ~/.local/share): where it keeps what it writes for itself.
QString folderDanychUzytkownika();

// The first `nazwa` (a file or a folder) found in folderyDanych; empty when
// none of them has it.
QString znajdzDane(const QString& folderProgramu, const QString& nazwa);

// The help page that "Pomoc..." opens: pomoc.html in the working directory
// (the folder chooser changes it), else the first one znajdzDane finds;
// empty when there is none.
QString sciezkaPomocy(const QString& folderProgramu);
