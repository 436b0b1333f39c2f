// "Importuj książkę...": a book from other sources (a DAISY book, a cue
// sheet, files with chapters, plain audio files) becomes a new project,
// which then opens as "Otwórz projekt" opens one.

#include "app/MainForm.h"
#include "import/ui/FormImport.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

#include <QFileInfo>

void TMainForm::Importujksiazke1Click() {
    TFormImport okno(this, m_komunikaty, m_sesja->stan().FolderAudio,
                     m_sesja->stan().FolderProjektow);
    if (m_seams.execDialog(&okno) != QDialog::Accepted || okno.projekt().isEmpty()) {
        fokusNaLiscie();
        return;
    }
    const QString projekt = okno.projekt();
    m_lista->otworzProjekt(projekt);
    // Kept open (the user chose to keep the changes): the new one is on the disk.
    if (QFileInfo(m_projekt->NazwaProjektu()) != QFileInfo(projekt))
        ustawStatus(QStringLiteral("Zaimportowano projekt %1; nie został otwarty")
                        .arg(QFileInfo(projekt).fileName()));
}
