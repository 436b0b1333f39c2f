#pragma once
// Where each entry lies in a joined book, gathered in the one walk that
// reads the entries in list order: its bytes (where they start, how many),
// its time (where it starts, how long it plays inside the book), and where
// its bookmark lies in its file. The merge writes its index files from it;
// the export takes its chapters' times from it.
//
// Inside the book every frame of a file after the first plays, an
// encoder's information frame at its start too, which on its own a player
// leaves out; the first file plays as on its own, its information frame
// being the book's header. Durations are summed exactly in the walk's
// units and rounded to milliseconds once.

#include "merge/IndexFile.h"
#include "merge/PomiarMp3.h"
#include "project/Pozycja.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class UkladKsiazki {
public:
    struct Wpis {
        std::int64_t bajtOd = 0, bajty = 0; // in the book
        // In the walk's units (jednostekNaMs of the book), or in ms when the
        // walk told none; czas is what the entry plays inside the book.
        std::int64_t czasOd = 0, czas = 0;
        std::int64_t dlugoscMs = 0; // on its own, as its walk found it
        // The bookmark in the entry's own bytes, where its frames lie.
        std::optional<PolozenieZakladki> zakladka;
    };

    // Adds the next entry: its walk's measure and the bytes it gave.
    void dodaj(const PomiarMp3& pomiar, std::int64_t bajty,
               std::optional<PolozenieZakladki> zakladka = std::nullopt);

    const QList<Wpis>& wpisy() const { return m_wpisy; }
    std::int64_t rozmiar() const { return m_rozmiar; }
    // The book's duration as a player measures the book itself.
    std::int64_t czasMs() const;
    // The units of czasOd and czas: per ms; 0 when they are ms.
    std::int64_t jednostekNaMs() const { return m_jednostekNaMs; }

    // The rows of the .dat file for `pozycje` (the entries added, in order);
    // with `szacowany` every bookmark is left to the estimate.
    QList<WpisIndeksu> indeks(const ListaPozycji& pozycje, bool szacowany) const;

private:
    QList<Wpis> m_wpisy;
    std::int64_t m_rozmiar = 0;
    std::int64_t m_jednostekNaMs = 0, m_jednostki = 0, m_milisekundy = 0;
};
