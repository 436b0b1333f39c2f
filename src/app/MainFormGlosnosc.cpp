// The main window's loudness commands: measuring the entries' files and the
// "Głośność" report.
#include "app/MainForm.h"

PamiecGlosnosci& TMainForm::glosnosci() {
    return m_glosnosci;
}
