#pragma once
// Temporary files of a merge that an ending by a signal must not leave
// behind. The merge names each of its temporary files here while the file
// exists. A program that calls usuwajTymczasowePrzySygnale() has them
// removed when SIGINT, SIGTERM, SIGHUP or SIGPIPE ends it: the handler
// only calls unlink() on names kept ready as bytes, then ends the program
// by the same signal.

#include <QString>

void zapamietajTymczasowy(const QString& sciezka);
void zapomnijTymczasowy(const QString& sciezka);

void usuwajTymczasowePrzySygnale();

// While one lives, a merge is putting its files in place: a signal that
// comes meanwhile is held back until the last rename is done, so that it
// never leaves a new index file beside an old book.
class BezPrzerwania {
public:
    BezPrzerwania();
    ~BezPrzerwania();
    BezPrzerwania(const BezPrzerwania&) = delete;
    BezPrzerwania& operator=(const BezPrzerwania&) = delete;
};
