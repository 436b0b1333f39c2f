// The merge command.

#include "app/MainForm.h"
#include "app/Seams.h"
#include "merge/FormScalaniePlikow.h"
#include "merge/Miernik.h"

void TMainForm::Scalajpliki1Click() {
    Stop();
    Seams::FileDialog SaveDialogMP3;
    SaveDialogMP3.title = QStringLiteral("Scalanie projektu jako");
    SaveDialogMP3.filter = QStringLiteral("mp3 (*.mp3)");
    SaveDialogMP3.defaultSuffix = QStringLiteral("mp3");
    SaveDialogMP3.folder = Magazyn;
    // Only the name: the dialog starts in the store folder every time.
    SaveDialogMP3.fileName = ExNazwaPliku(SaveDialogMP3FileName);
    SaveDialogMP3.confirmOverwrite = false;
    const QString nazwa = m_seams.saveFile(this, SaveDialogMP3);
    if (nazwa.isEmpty())
        return;
    SaveDialogMP3FileName = nazwa;
    m_seams.execDialog(FormScalaniePlikow);
}

void TMainForm::utworzFormScalaniePlikow() {
    MiernikScalania = miernikMp3();
    FormScalaniePlikow = new TFormScalaniePlikow(this);
}
