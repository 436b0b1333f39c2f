// Playback commands and the bookmark editor command.

#include "app/MainForm.h"

void TMainForm::OdtworzPlik() {}
void TMainForm::OdtworzZakladke(std::int64_t, std::int64_t) {}
void TMainForm::OdtworZzakladke1Click() {}
void TMainForm::Stop() {}
void TMainForm::Pauza1Click() {}
void TMainForm::ListView1KeyDown(int) {}
void TMainForm::UstawZakladke1Click() {}
void TMainForm::utworzFormUstawZakladke() {}
