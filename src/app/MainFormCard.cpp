// Memory card commands: the session does the work and asks the user.

#include "app/MainForm.h"

void TMainForm::Plikzakadki1Click() {
    m_sesja->utworzPlikZakladki();
}

void TMainForm::SprawdzKsiazke1Click() {
    m_sesja->sprawdzKsiazke();
}

void TMainForm::WysunKarte1Click() {
    m_sesja->wysunKarte();
}
