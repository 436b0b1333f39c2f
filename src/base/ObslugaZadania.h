#pragma once
// What a window or a command-line tool gives a long job (the merge, the
// export), the same for each, so that one caller drives any of them alike:
// where its log lines go, where its progress goes, and how it is asked to
// stop. Every part may be left empty.

#include <QString>

#include <cstdint>
#include <functional>

struct ObslugaZadania {
    // Receives every log line of the job, in order.
    std::function<void(const QString&)> dziennik;
    // The work done so far and the work in all (bytes, or the job's own
    // measure of them).
    std::function<void(std::int64_t, std::int64_t)> postep;
    // Asked often; true stops the job.
    std::function<bool()> przerwac;

    void loguj(const QString& linia) const {
        if (dziennik)
            dziennik(linia);
    }
    bool maPrzerwac() const { return przerwac && przerwac(); }
};
