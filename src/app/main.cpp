// Program start: the application, Polish translations, the main window and
// the six other windows, then the event loop.

#include "app/MainForm.h"
#include "base/CommandLine.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"
#include "settings/SettingsStore.h"
#include "widgets/Seams.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTextStream>
#include <QTimer>

namespace {

// Last line of defence: an error that escapes a command's own guard is
// shown like any other and the event loop goes on.
class Aplikacja : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), TMainForm::tytulAplikacji(),
                                  errorBoxText(errorMessage(e)));
        } catch (...) {
            QMessageBox::critical(activeWindow(), TMainForm::tytulAplikacji(),
                                  errorBoxText(QStringLiteral("Nieznany błąd")));
        }
        return false;
    }
};

// The program's icon in every size rendered from its drawing at build time.
QIcon ikonaProgramu() {
    QIcon ikona;
    const QDir zasoby(QStringLiteral(":/ikona"));
    for (const QString& plik : zasoby.entryList(QDir::Files))
        ikona.addFile(zasoby.filePath(plik));
    return ikona;
}

} // namespace

int main(int argc, char* argv[]) {
    zapisyPonadLimitZwracajaBlad();
    // Answered before any window system is needed, so they work in a
    // terminal without a display.
    if (argc == 2 && (qstrcmp(argv[1], "--version") == 0 || qstrcmp(argv[1], "--help") == 0)) {
        QTextStream out(stdout);
        if (qstrcmp(argv[1], "--version") == 0)
            out << tekstWersji(TMainForm::tytulAplikacji()) << Qt::endl;
        else
            out << "Użycie: SonvekManager [PROJEKT.xml | PLIK.mp3... | FOLDER...]\n\n"
                   "Przygotowuje książki mówione dla odtwarzacza Sonvek; pomoc w programie: F1.\n"
                   "Otwiera podany projekt, dopisuje podane pliki MP3 i pliki MP3 podanych\n"
                   "folderów.\nPrepares audio books for the Sonvek talking-book player; press F1 "
                   "in the program for help.\nOpens the project named, adds the MP3 files and "
                   "the folders' MP3 files named.\n"
                << Qt::flush;
        return 0;
    }
    Aplikacja app(argc, argv);
    QApplication::setApplicationName(TMainForm::tytulAplikacji());
    QApplication::setApplicationVersion(QStringLiteral(SONVEK_VERSION));
    // The desktop entry and the icon of an installed program carry this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(SONVEK_APP_ID));
    QApplication::setWindowIcon(ikonaProgramu());

    // Standard buttons and file dialogs in Polish too.
    polskieTekstyQt();

    RealSeams seams;
    SettingsStore store(SettingsStore::defaultFolder());
    TMainForm mainForm(Uslugi(seams, store, QApplication::applicationDirPath()));
    mainForm.utworzOkna();
    mainForm.show();
    // What the command line names is opened once the window is up, so its
    // questions and notices have an owner. Qt has taken its own options out
    // of argv; the rest are names as the system gave them, bytes that are
    // not UTF-8 kept (nazwaZSystemu).
    QStringList wskazane;
    for (int i = 1; i < argc; ++i)
        wskazane << nazwaZSystemu(argv[i]);
    if (!wskazane.isEmpty())
        QTimer::singleShot(0, &mainForm,
                           [&mainForm, wskazane] { mainForm.otworzWskazane(wskazane); });
    return QApplication::exec();
}
