#pragma once
// What the bookmark editor asks of the window that opens it: the playback
// of the entry being edited, through that window, so that its status line
// and "Pauza" follow, and a voice for what a screen reader is to say.

#include <QString>
#include <cstdint>

class OdtwarzanieZakladki {
public:
    // The entry's file from `start` to `end` ms.
    virtual void OdtworzZakladke(std::int64_t start, std::int64_t end) = 0;
    // The entry's whole file.
    virtual void OdtworzPlik() = 0;
    // Stops and closes whatever plays.
    virtual void Stop() = 0;
    // Has a screen reader say `text` at once.
    virtual void oglos(const QString& text) = 0;

protected:
    ~OdtwarzanieZakladki() = default;
};
