#pragma once
// The list's playback as the main window shows it: the selected entry's
// whole file or its bookmark, pause and resume, stop, the list's playing
// keys; the status line tells what plays and "Pauza" follows. The bookmark
// editor plays its entry through it too.

#include "audio/ui/OdtwarzanieZakladki.h"

#include <optional>
#include <utility>

class TMainForm;

class OdtwarzanieOkna final : public OdtwarzanieZakladki {
public:
    explicit OdtwarzanieOkna(TMainForm& okno) : m_okno(okno) {}

    void OdtworzZakladke(std::int64_t start, std::int64_t end) override;
    void OdtworzPlik() override;
    void Stop() override;
    void oglos(const QString& text) override;

    // The bookmark of the selected row: from its start for its length.
    void odtworzZakladkeWiersza();
    // "Pauza": pauses or resumes what plays.
    void pauza();
    // Space plays the selected row's bookmark, Enter its file, Esc stops.
    void klawisz(int key);

private:
    void odtworz(std::optional<std::pair<std::int64_t, std::int64_t>> zakres);

    TMainForm& m_okno;
};
