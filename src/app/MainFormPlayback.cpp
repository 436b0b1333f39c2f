// Playback commands and the bookmark editor command: the selected entry's
// whole file or its bookmark, pause and resume, stop; the status line tells
// what plays.

#include "app/MainForm.h"

#include "audio/MediaPlayer.h"
#include "audio/ui/FormUstawZakladke.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

#include <optional>
#include <utility>

namespace {

const QString kPauza = QStringLiteral("Pauza");

QString odtwarzanie(const QString& path) {
    return QStringLiteral("Odtwarzanie:") + path;
}

// Opens the file (which ends whatever played) and plays it whole or over
// the range.
void odtworz(TMediaPlayer& player, const QString& path,
             std::optional<std::pair<std::int64_t, std::int64_t>> zakres) {
    player.FileName = path;
    player.Open();
    if (zakres) {
        player.StartPos = zakres->first;
        player.EndPos = zakres->second;
    }
    player.Play();
}

} // namespace

void TMainForm::utworzFormUstawZakladke() {
    m_FormUstawZakladke = new TFormUstawZakladke(this, m_komunikaty, *this, *m_MediaPlayer1);
    m_FormUstawZakladke->ustawPrzerwe(
        [this] { return m_sesja->konfiguracja().Wykrywanie.Przerwa; });
}

// The selected entry's file, whole or over the range, with the status line
// telling what plays. Nothing happens without a selected row.
void TMainForm::OdtworzPlik() {
    const int row = zaznaczonyWiersz();
    if (row < 0)
        return;
    odtworz(*m_MediaPlayer1, m_projekt->wiersz(row).sciezka(), std::nullopt);
    ustawStatus(odtwarzanie(m_MediaPlayer1->FileName));
    ustawPauze(true);
}

void TMainForm::OdtworzZakladke(std::int64_t start, std::int64_t end) {
    const int row = zaznaczonyWiersz();
    if (row < 0)
        return;
    odtworz(*m_MediaPlayer1, m_projekt->wiersz(row).sciezka(), std::pair(start, end));
    ustawStatus(odtwarzanie(m_MediaPlayer1->FileName));
    ustawPauze(true);
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
        m_MediaPlayer1->Stop();
        m_MediaPlayer1->Close();
        ustawPauze(false);
        ustawStatus(QString());
        oglos(QStringLiteral("Zatrzymano"));
    } catch (...) {
    }
}

// The status line alternates on every use, whatever the player did; only
// an error of the player (nothing open) leaves it as it was.
void TMainForm::Pauza1Click() {
    m_MediaPlayer1->Pause();
    ustawStatus(tekstStatusu() == kPauza ? odtwarzanie(m_MediaPlayer1->FileName) : kPauza);
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

// The editor works on a copy of the selected entry; what OK leaves in it
// goes back into the row as a step of the history (one only when a text
// differs).
void TMainForm::UstawZakladke1Click() {
    const int row = zaznaczonyWiersz();
    if (row < 0) {
        oglos(powodNieczynnego(m_UstawZakladke1)); // the key does nothing: say why
        return;
    }
    m_FormUstawZakladke->przygotuj(m_projekt->wiersz(row));
    if (m_seams.execDialog(m_FormUstawZakladke) == QDialog::Accepted) {
        const PozycjaProjektu& p = m_FormUstawZakladke->pozycja();
        m_historia->zmienZakladki({{row, p.Poczatek, p.Dlugosc}});
        oglos(QStringLiteral("Zakładka pliku %1: początek %2 ms, długość %3 ms")
                  .arg(p.NazwaPliku, p.Poczatek, p.Dlugosc));
    }
}
