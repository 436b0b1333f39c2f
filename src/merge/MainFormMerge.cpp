// The merge command.

#include "app/MainForm.h"

void TMainForm::Scalajpliki1Click() {}
void TMainForm::utworzFormScalaniePlikow() {}
