// Measuring and testing audio files through the one media player.

#include "app/MainForm.h"

void TMainForm::utworzOdtwarzacz() {}

std::int64_t TMainForm::DlugoscPlikuAudio(const QString&) {
    return 0;
}

bool TMainForm::TestPlikuAudio(const QString&) {
    return true;
}
