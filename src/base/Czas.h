#pragma once
// Lengths of time as the program writes them for people: a book's length,
// how long work has run and about how long it has left.

#include <QString>
#include <cstdint>

// "h:mm:ss" (hours not limited to 24): 0 is "0:00:00", an hour and a half
// "1:30:00". Milliseconds are dropped; a negative length counts as 0.
QString czasGodzinowy(std::int64_t ms);

// "m:ss" below an hour, "h:mm:ss" from an hour on: how long work has run.
QString czasTrwania(std::int64_t ms);

// About how long is left, said the way a person says it: "mniej niż
// minuta", "około 2 min", "około 1 h 5 min" (whole minutes, rounded).
QString czasPozostaly(std::int64_t ms);

// What a progress bar says: the share done and, once it can be estimated
// from the time spent so far (`uplynelo`, ms), the time left:
// "45%, zostało około 2 min". `zrobione` out of `razem`, both counted from 0.
// No estimate before a little work is done or time has passed.
QString stanPostepu(std::int64_t zrobione, std::int64_t razem, std::int64_t uplynelo);

// The time left estimated from the share done so far in `uplynelo` ms; -1
// while there is too little to go by.
std::int64_t szacujPozostalo(std::int64_t zrobione, std::int64_t razem, std::int64_t uplynelo);

// A moment or a length as a screen reader says it: "3,4 s" below a minute,
// "12 min 5,2 s", "1 h 2 min 3 s" (a zero part left out). Below a minute the
// seconds always keep one decimal (cut, a zero tenth dropped). From a minute
// on they keep it only with `dokladnie`: a bookmark moved by 0.1 s is heard
// to move, while a file's length is said in whole seconds.
QString czasMowiony(std::int64_t ms, bool dokladnie = true);
