// Playback commands and the bookmark editor command: the selected entry's
// whole file or its bookmark, pause and resume, stop; the status line tells
// what plays.

#include "app/MainForm.h"

#include "app/Seams.h"
#include "audio/FormUstawZakladke.h"
#include "audio/MediaPlayer.h"
#include "base/Text.h"
#include "project/ModelProjektu.h"

#include <optional>
#include <utility>

namespace {

const QString kPauza = QStringLiteral("Pauza");

QString odtwarzanie(const QString& path) {
    return QStringLiteral("Odtwarzanie:") + path;
}

// Opens the selected entry's file (which ends whatever played) and plays
// it whole or over the range. Nothing happens without a selected row.
void odtworz(TMainForm& f, std::optional<std::pair<std::int64_t, std::int64_t>> zakres) {
    const int row = f.zaznaczonyWiersz();
    if (row < 0)
        return;
    TMediaPlayer& player = *f.MediaPlayer1;
    player.FileName = f.projekt().wiersz(row).sciezka();
    player.Open();
    if (zakres) {
        player.StartPos = zakres->first;
        player.EndPos = zakres->second;
    }
    player.Play();
    f.ustawStatus(odtwarzanie(player.FileName));
    f.ustawPauze(true);
}

} // namespace

void TMainForm::utworzFormUstawZakladke() {
    FormUstawZakladke = new TFormUstawZakladke(this);
}

void TMainForm::OdtworzPlik() {
    odtworz(*this, std::nullopt);
}

void TMainForm::OdtworzZakladke(std::int64_t start, std::int64_t end) {
    odtworz(*this, std::pair(start, end));
}

// The bookmark of the selected row: from its start for its length.
void TMainForm::OdtworZzakladke1Click() {
    const int row = zaznaczonyWiersz();
    if (row < 0)
        return;
    const PozycjaProjektu p = m_projekt->wiersz(row);
    const std::int64_t start = StrToInt(p.Poczatek);
    OdtworzZakladke(start, start + StrToInt(p.Dlugosc));
}

// Stop, close, "Pauza" off, status line cleared; the first step that fails
// ends the sequence without a word (with nothing open, Stop fails at once
// and nothing on screen changes).
void TMainForm::Stop() {
    try {
        MediaPlayer1->Stop();
        MediaPlayer1->Close();
        ustawPauze(false);
        ustawStatus(QString());
    } catch (...) {
    }
}

// The status line alternates on every use, whatever the player did; only
// an error of the player (nothing open) leaves it as it was.
void TMainForm::Pauza1Click() {
    MediaPlayer1->Pause();
    ustawStatus(tekstStatusu() == kPauza ? odtwarzanie(MediaPlayer1->FileName) : kPauza);
}

void TMainForm::ListView1KeyDown(int key) {
    if (zaznaczonyWiersz() < 0)
        return;
    switch (key) {
    case Qt::Key_Space:
        OdtworZzakladke1Click();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OdtworzPlik();
        break;
    case Qt::Key_Escape:
        Stop();
        break;
    default:
        break;
    }
}

void TMainForm::UstawZakladke1Click() {
    if (zaznaczonyWiersz() < 0)
        return;
    m_seams.execDialog(FormUstawZakladke);
}
