// Measuring and testing audio files through the one media player.

#include "app/MainForm.h"
#include "audio/MediaPlayer.h"
#include "base/Errors.h"

void TMainForm::utworzOdtwarzacz() {
    m_MediaPlayer1 = new TMediaPlayer(this);
    m_MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
}

// The file's length in ms; 0 when the player cannot open it (the caller
// then keeps the shorter of 0 and the default bookmark length). Opening
// closes whatever was open, so this ends a running playback.
std::int64_t TMainForm::DlugoscPlikuAudio(const QString& path) {
    try {
        m_MediaPlayer1->FileName = path;
        m_MediaPlayer1->Open();
        const std::int64_t length = m_MediaPlayer1->Length();
        m_MediaPlayer1->Close();
        return length;
    } catch (const EMCIDeviceError&) {
        m_MediaPlayer1->Close();
        return 0;
    }
}

// Whether the media player can open the file as MPEG audio.
bool TMainForm::TestPlikuAudio(const QString& path) {
    try {
        m_MediaPlayer1->FileName = path;
        m_MediaPlayer1->Open();
        m_MediaPlayer1->Close();
        return true;
    } catch (const EMCIDeviceError&) {
        return false;
    }
}
