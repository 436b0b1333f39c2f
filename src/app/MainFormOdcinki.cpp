// Episode announcements.

#include "app/MainForm.h"
#include "merge/Odcinki.h"
#include "project/ModelProjektu.h"

void TMainForm::Wstawodcinki1Click() {
    WstawOdcinki();
}

void TMainForm::WstawOdcinki() {
    if (m_projekt->rowCount() == 0)
        return;
    // The list is read, never written: the bookmarks keep their values and
    // the project stays as saved.
    const ListaPozycji lista = m_projekt->pozycje();
    const QString folder = folderZapowiedzi(m_uslugi.programDir);
    // Clips of another sample rate or channel count make a merged book that
    // many players stumble over; the user decides before anything changes.
    if (const auto rozbieznosc = pierwszaRozbieznosc(folder, lista)) {
        const QString pytanie = QStringLiteral("Zapowiedzi mają inne parametry dźwięku niż pliki "
                                               "projektu (%1). Kontynuować?")
                                    .arg(*rozbieznosc);
        if (uwaga(pytanie, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    wstawOdcinki(folder, lista);
    uwaga(QStringLiteral("Zapowiedzi odcinków zostały dołączone"));
}
