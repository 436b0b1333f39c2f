#pragma once
// A review of bookmarks by ear, one entry after another: where the review
// stands, each bookmark as the user moves it (kept inside its file), which
// entries were accepted and with what bookmark, and the words a screen
// reader says at each step. No widgets: the review window plays and says
// what this decides.

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

// One entry as the review sees it.
struct ZakladkaPrzegladu {
    QString nazwa; // what the user hears: the title, or the file name
    std::int64_t poczatekMs = 0;
    std::int64_t dlugoscMs = 0;
    // Unknown (the file cannot be read): only 0 bounds the moves.
    std::optional<std::int64_t> dlugoscPlikuMs;
    bool sprawdzona = false; // accepted in an earlier review
    bool operator==(const ZakladkaPrzegladu&) const = default;
};

class PrzegladZakladek {
public:
    // What Shift+Space plays before the bookmark.
    static constexpr std::int64_t kPrzedbiegMs = 2000;

    explicit PrzegladZakladek(QList<ZakladkaPrzegladu> pozycje);

    int liczba() const { return static_cast<int>(m_pozycje.size()); }
    // The entry in hand; liczba() once the review has gone past the last.
    int biezaca() const { return m_biezaca; }
    bool zakonczony() const { return m_biezaca >= liczba(); }
    // The entry in hand with its bookmark as moved so far. Only while the
    // review is not over.
    const ZakladkaPrzegladu& pozycja() const { return m_pozycje.at(m_biezaca); }

    // Said on arrival at an entry: "Pozycja 3 z 40: rozdzial.mp3, zakładka
    // od 1,2 s, długość 3,4 s, 1,2 s z 12 min 5 s".
    QString tekstPozycji() const;

    // Moves the start or the length by `ms` (negative: back, shorter) and
    // returns what is said. The start stays within [0, file length], the
    // length within [0, what is left of the file from the start]; a start
    // moved on shortens a length that would run past the end. A bookmark
    // already past the end comes back into the file with its first move.
    QString przesunPoczatek(std::int64_t ms);
    QString zmienDlugosc(std::int64_t ms);
    // A bookmark found for the entry in hand (snapped onto pauses, a
    // detected title), kept inside the file as a move is; returns what is
    // said, opened by `co` ("Dopasowano do przerw").
    QString ustaw(std::int64_t poczatekMs, std::int64_t dlugoscMs, const QString& co);

    // What the player plays: the bookmark, and the same with the two
    // seconds before it (from the file's start at most).
    std::pair<std::int64_t, std::int64_t> zakres() const;
    std::pair<std::int64_t, std::int64_t> zakresZPrzedbiegiem() const;

    // Enter: the entry in hand accepted with its bookmark as it stands, and
    // on to the next (after the last the review is over). Page Down: on
    // without accepting; at the last it stays. Page Up: back one. Each
    // returns what is said, the new entry's text included.
    QString zatwierdz();
    QString pomin();
    QString wstecz();

    // The accepted entries (their index in the list given) with the
    // bookmark each was accepted with, in list order.
    QList<std::pair<int, ZakladkaPrzegladu>> zatwierdzone() const;
    // Said when the review ends: how many were accepted and changed.
    QString podsumowanie() const;

private:
    QString tekstZakladki(const ZakladkaPrzegladu& z) const;
    void ogranicz(ZakladkaPrzegladu& z) const;

    QList<ZakladkaPrzegladu> m_pozycje;                     // as moved in this review
    QList<ZakladkaPrzegladu> m_poczatkowe;                  // as given
    QList<std::optional<ZakladkaPrzegladu>> m_zatwierdzone; // as accepted
    int m_biezaca = 0;
};
