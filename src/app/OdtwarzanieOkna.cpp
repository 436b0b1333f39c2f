#include "app/OdtwarzanieOkna.h"

#include "app/MainForm.h"
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

} // namespace

// The selected entry's file, whole or over the range: opening it ends
// whatever played. Nothing happens without a selected row.
void OdtwarzanieOkna::odtworz(std::optional<std::pair<std::int64_t, std::int64_t>> zakres) {
    const int row = m_okno.zaznaczonyWiersz();
    if (row < 0)
        return;
    TMediaPlayer& player = *m_okno.m_MediaPlayer1;
    player.FileName = m_okno.m_projekt->wiersz(row).sciezka();
    player.Open();
    if (zakres) {
        player.StartPos = zakres->first;
        player.EndPos = zakres->second;
    }
    player.Play();
    m_okno.ustawStatus(odtwarzanie(player.FileName));
    m_okno.ustawPauze(true);
}

void OdtwarzanieOkna::OdtworzZakladke(std::int64_t start, std::int64_t end) {
    odtworz(std::pair(start, end));
}

void OdtwarzanieOkna::OdtworzPlik() {
    odtworz(std::nullopt);
}

void OdtwarzanieOkna::odtworzZakladkeWiersza() {
    const int row = m_okno.zaznaczonyWiersz();
    if (row < 0)
        return;
    const PozycjaProjektu p = m_okno.m_projekt->wiersz(row);
    const std::int64_t start = StrToInt(p.Poczatek);
    OdtworzZakladke(start, start + StrToInt(p.Dlugosc));
}

// Stop, close, "Pauza" off, status line cleared; the first step that fails
// ends the sequence without a word (with nothing open, Stop fails at once
// and nothing on screen changes).
void OdtwarzanieOkna::Stop() {
    try {
        m_okno.m_MediaPlayer1->Stop();
        m_okno.m_MediaPlayer1->Close();
        m_okno.ustawPauze(false);
        m_okno.ustawStatus(QString());
        m_okno.oglos(QStringLiteral("Zatrzymano"));
    } catch (...) {
    }
}

void OdtwarzanieOkna::oglos(const QString& text) {
    m_okno.oglos(text);
}

// The status line alternates on every use, whatever the player did; only
// an error of the player (nothing open) leaves it as it was.
void OdtwarzanieOkna::pauza() {
    m_okno.m_MediaPlayer1->Pause();
    m_okno.ustawStatus(
        m_okno.tekstStatusu() == kPauza ? odtwarzanie(m_okno.m_MediaPlayer1->FileName) : kPauza);
}

void OdtwarzanieOkna::klawisz(int key) {
    if (m_okno.zaznaczonyWiersz() < 0)
        return;
    switch (key) {
    case Qt::Key_Space:
        odtworzZakladkeWiersza();
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
