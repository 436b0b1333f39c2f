#pragma once
// The whole book at a glance, before it is merged: how many entries, how
// long, how big the merged file will be, whether it fits the card, and what
// is wrong with the entries (missing files, a format other than the first
// file's, bookmarks past their file's end). The lines are plain sentences
// for the eye and for a screen reader, the most important first.

#include "card/FreeSpace.h"
#include "merge/PomiarMp3.h"
#include "project/Pozycja.h"

#include <QList>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

// What is known of one entry's file.
struct PlikKsiazki {
    bool jest = false;            // the file exists and is a regular file
    std::int64_t rozmiar = 0;     // bytes
    std::optional<PomiarMp3> mp3; // none: it could not be measured
    QString blad;                 // why not
};

// Looks at the entries' files in order with `miernik`; `postep(i, n)` is
// called before file i. Stops early (a shorter list) when `przerwac` is set.
QList<PlikKsiazki> zbadajPliki(const ListaPozycji& pozycje, const MiernikMp3& miernik,
                               const std::atomic_bool* przerwac = nullptr,
                               const std::function<void(int, int)>& postep = {});

// Where the book would go: the card's measurement, or why there is none.
struct KartaPodsumowania {
    std::optional<PomiarKarty> pomiar;
    QString brak; // "Nie wybrano karty.", "Karta nie jest dostępna: …"
};

// The lines of the summary, `pliki` in the order of `pozycje`.
QStringList podsumowanieKsiazki(const ListaPozycji& pozycje, const QList<PlikKsiazki>& pliki,
                                const KartaPodsumowania& karta);

// "1,5 MB" (MiB, one decimal, a decimal comma); below 1 MB in kB.
QString rozmiarDlaLudzi(std::int64_t bajty);
