// Episode announcements.

#include "app/MainForm.h"

void TMainForm::Wstawodcinki1Click() {}
