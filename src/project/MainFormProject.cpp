// The project list operations and the project file commands.

#include "app/MainForm.h"

#include <QCloseEvent>

void TMainForm::WstawDoListy() {}
void TMainForm::WstawPomiedzy() {}
void TMainForm::WstawNazwyPlikowDoListBox(const QStringList&) {}
void TMainForm::UsunzListy() {}
void TMainForm::Przenumeruj() {}
void TMainForm::NowyProjekt() {}
void TMainForm::WczytajProjekt() {}
void TMainForm::ZapiszProjekt() {}
void TMainForm::ZapiszProjektJako() {}
void TMainForm::FormClose(QCloseEvent*) {}
