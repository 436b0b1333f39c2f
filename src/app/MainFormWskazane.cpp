// What the user points the program at: a whole folder of MP3 files
// ("Dodaj folder...") and the files and folders named on the command line.

#include "app/MainForm.h"

#include "audio/MediaPlayer.h"
#include "audio/ui/FormDodawanie.h"
#include "project/ModelProjektu.h"
#include "project/Otwieranie.h"
#include "widgets/Seams.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

#include <thread>

void TMainForm::Dodajfolder1Click() {
    DodajFolder();
}

void TMainForm::DodajFolder() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Dodaj folder");
    dialog.folder = m_sesja->stan().FolderAudio; // where to start
    dialog.directory = true;
    const QStringList chosen = m_seams.openFiles(this, dialog);
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(chosen.first());
    m_sesja->zapamietajFolderAudio(folder + QDir::separator()); // the folder itself, not its parent
    dodajFolder(folder);
}

void TMainForm::dodajFolder(const QString& folder) {
    m_MediaPlayer1->Close(); // adding ends a playback, as "Dodaj" does
    TFormDodawanie okno(this);
    const auto pliki = okno.zmierzFolder(folder);
    if (!pliki) {
        ustawStatus(QStringLiteral("Dodawanie folderu przerwano; lista bez zmian"));
        return;
    }
    if (pliki->sciezki.isEmpty() && pliki->pominiete.isEmpty()) {
        uwaga(QStringLiteral("W folderze %1 i jego podfolderach nie ma plików MP3.")
                  .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    wstawZmierzone(pliki->sciezki, pliki->dlugosci, m_projekt->rowCount(), pliki->pominiete);
}

void TMainForm::otworzWskazane(const QStringList& argumenty) {
    // The worker never touches the window: the answer comes back as an
    // event, and a window gone meanwhile gets none. A worker held by a
    // stalled mount is left to it and ends with the program.
    QPointer<TMainForm> okno(this);
    std::thread([okno, argumenty] {
        WskazanePliki wskazane = rozpoznajWskazane(argumenty);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [okno, wskazane = std::move(wskazane)] {
                if (okno)
                    okno->otworzRozpoznane(wskazane);
            },
            Qt::QueuedConnection);
    }).detach();
}

// Each part as its menu command does it; one that fails does not keep the
// others from being opened.
void TMainForm::otworzRozpoznane(const WskazanePliki& wskazane) {
    if (!wskazane.projekt.isEmpty())
        guard([&] { OtworzProjekt(wskazane.projekt); });
    if (!wskazane.pliki.isEmpty())
        guard([&] { wstawPliki(wskazane.pliki, m_projekt->rowCount()); });
    for (const QString& folder : wskazane.foldery)
        guard([&] { dodajFolder(folder); });
    if (!wskazane.nieotwarte.isEmpty())
        pokazFormBlad(QStringLiteral("Nie otwarto:"), wskazane.nieotwarte);
    emit commandLineOpened();
}
