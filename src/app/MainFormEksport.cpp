// The export of the book for other players: a DAISY book and an MP3 with
// chapters, beside the merge.

#include "app/MainForm.h"
#include "eksport/EksportKsiazki.h"
#include "eksport/ui/FormEksport.h"
#include "eksport/ui/FormEksportPostep.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

#include <QDir>
#include <QFileInfo>

void TMainForm::Eksportujksiazke1Click() {
    Stop();
    const ListaPozycji pozycje = m_projekt->pozycje();
    const QString projekt = m_projekt->NazwaProjektu();
    const OpisKsiazki opis = uzupelnijOpis(m_projekt->opisKsiazki(), pozycje, projekt);

    // The targets start in the store folder, named after the project.
    QString nazwa = QFileInfo(projekt).completeBaseName();
    if (nazwa.isEmpty())
        nazwa = QStringLiteral("ksiazka");
    QString folder = m_sesja->konfiguracja().Magazyn;
    if (folder.isEmpty())
        folder = projekt.isEmpty() ? QDir::homePath() : QFileInfo(projekt).absolutePath();
    const QDir magazyn(folder);
    TFormEksport okno(this, m_komunikaty);
    okno.przygotuj(opis, magazyn.filePath(nazwa + QStringLiteral(" DAISY")),
                   magazyn.filePath(nazwa + QStringLiteral(" (rozdziały).mp3")));
    if (m_seams.execDialog(&okno) != QDialog::Accepted)
        return;
    // Kept with the project, so that the next export starts from them.
    m_projekt->ustawOpisKsiazki(okno.opis());

    EksportKsiazki eksport(pozycje, okno.opis());
    eksport.plikProjektu = projekt;
    eksport.folderDaisy =
        okno.folderDaisy().isEmpty() ? QString() : QFileInfo(okno.folderDaisy()).absoluteFilePath();
    eksport.plikRozdzialow = okno.plikRozdzialow().isEmpty()
                                 ? QString()
                                 : QFileInfo(okno.plikRozdzialow()).absoluteFilePath();
    eksport.magazyn = m_sesja->konfiguracja().Magazyn;
    // Every question before the progress window, and none for a target
    // that may not be replaced at all; No, Enter and Esc keep what is there.
    QList<EksportKsiazki::CelDoZastapienia> cele;
    try {
        cele = eksport.celeDoZastapienia();
    } catch (const SonvekError& e) {
        ustawStatus(QStringLiteral("Eksport nie udał się; nic nie zapisano."));
        uwaga(e.text());
        return;
    }
    for (const EksportKsiazki::CelDoZastapienia& cel : std::as_const(cele)) {
        if (uwaga(cel.pytanie, QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                  QMessageBox::No) != QMessageBox::Yes) {
            ustawStatus(QStringLiteral("Eksport anulowany; %1 pozostał bez zmian.")
                            .arg(QDir::toNativeSeparators(cel.sciezka)));
            return;
        }
        eksport.zastap = true;
    }

    TFormEksportPostep::Wynik wynik;
    {
        TFormEksportPostep postep(this);
        wynik = postep.eksportuj(eksport);
    }
    if (wynik.przerwano) {
        ustawStatus(QStringLiteral("Eksport przerwany; nic nie zapisano."));
        return;
    }
    if (!wynik.udane) {
        ustawStatus(QStringLiteral("Eksport nie udał się; nic nie zapisano."));
        uwaga(wynik.blad);
        return;
    }
    QStringList gotowe;
    if (!eksport.folderDaisy.isEmpty())
        gotowe.append(QStringLiteral("książka DAISY w folderze %1")
                          .arg(QDir::toNativeSeparators(eksport.folderDaisy)));
    if (!eksport.plikRozdzialow.isEmpty())
        gotowe.append(QStringLiteral("plik MP3 z rozdziałami %1")
                          .arg(QDir::toNativeSeparators(eksport.plikRozdzialow)));
    QString tekst =
        QStringLiteral("Książka wyeksportowana: %1.").arg(gotowe.join(QStringLiteral(", ")));
    if (!eksport.uwagi().isEmpty())
        tekst += QStringLiteral(" Uwagi: %1.").arg(eksport.uwagi().size());
    ustawStatus(tekst);
    if (!eksport.uwagi().isEmpty())
        uwaga(eksport.uwagi().join(QLatin1Char('\n')));
}
