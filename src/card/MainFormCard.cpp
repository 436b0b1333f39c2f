// Memory card commands.

#include "app/MainForm.h"

void TMainForm::KopiujPlikAudio() {}
void TMainForm::WolneMiejsceNaKarcie() {}
void TMainForm::UtworzPlayer() {}
void TMainForm::Plikzakadki1Click() {}
