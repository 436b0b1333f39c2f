// Episode announcements: the session does the work and asks the user.

#include "app/MainForm.h"

void TMainForm::Wstawodcinki1Click() {
    m_sesja->wstawOdcinki();
}
