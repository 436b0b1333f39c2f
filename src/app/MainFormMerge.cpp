// The merge command.

#include "app/MainForm.h"
#include "base/Paths.h"
#include "merge/Miernik.h"
#include "merge/ui/FormScalaniePlikow.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

void TMainForm::Scalajpliki1Click() {
    Stop();
    Seams::FileDialog SaveDialogMP3;
    SaveDialogMP3.title = QStringLiteral("Scalanie projektu jako");
    SaveDialogMP3.filter = QStringLiteral("mp3 (*.mp3)");
    SaveDialogMP3.defaultSuffix = QStringLiteral("mp3");
    SaveDialogMP3.folder = m_sesja->konfiguracja().Magazyn;
    // Only the name: the dialog starts in the store folder every time.
    SaveDialogMP3.fileName = ExNazwaPliku(m_SaveDialogMP3FileName);
    SaveDialogMP3.confirmOverwrite = false;
    const QString nazwa = m_seams.saveFile(this, SaveDialogMP3);
    if (nazwa.isEmpty())
        return;
    m_SaveDialogMP3FileName = nazwa;
    // The summary comes first; stopped, the dialog opens without it.
    std::int64_t rozmiar = 0;
    const auto podsumowanie = podsumowanieKsiazki(&rozmiar);
    m_FormScalaniePlikow->ustawPodsumowanie(podsumowanie.value_or(QStringList()));
    m_FormScalaniePlikow->ustawRozmiarKsiazki(podsumowanie ? std::optional(rozmiar) : std::nullopt);
    m_FormScalaniePlikow->przygotuj(nazwa, m_projekt->pozycje(), m_projekt->NazwaProjektu());
    m_FormScalaniePlikow->ustawIndeksSzacowany(m_sesja->konfiguracja().Wykrywanie.IndeksSzacowany);
    m_FormScalaniePlikow->ustawGlosnosc(
        celGlosnosci(m_sesja->konfiguracja().Wykrywanie.CelGlosnosci).value_or(kDomyslnyCelLufs),
        &glosnosci());
    m_seams.execDialog(m_FormScalaniePlikow);
}

void TMainForm::utworzFormScalaniePlikow() {
    m_FormScalaniePlikow = new TFormScalaniePlikow(
        this, m_komunikaty, m_uslugi.miernikScalania ? m_uslugi.miernikScalania : miernikMp3());
}
