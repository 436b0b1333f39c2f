#pragma once
// The levelling of a book's entries, shared by the merge and the export:
// each entry's loudness measured unless already known, the whole number of
// 1.5 dB steps that brings it to the target, the check that the file read
// into the book is the file that was measured, and the log's lines for each
// file and for the whole book.

#include "audio/Glosnosc.h"
#include "merge/TekstyWyrownania.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>

// Measuring a file's loudness (decoding it) takes about as long as copying
// a few dozen times its bytes into the book: the progress, and the time
// left that a window estimates from it, count each measured byte so.
inline constexpr std::int64_t kWagaPomiaru = 32;

class WyrownanieWpisow {
public:
    // `sciezki`: the entries' files in list order. Without `pamiec` the
    // measurements are kept for this book alone.
    WyrownanieWpisow(double cel, QStringList sciezki, PamiecGlosnosci* pamiec);

    // How many files are still to be measured, and their weight in the
    // progress (their bytes, kWagaPomiaru times each).
    qsizetype doZmierzenia() const { return m_doZmierzenia.size(); }
    std::int64_t wagaPomiaru() const;

    // Measures the files not known yet with `miernik` (zmierzGlosnosc when
    // empty), calling `zrobione` with each one's weight when it is done.
    // False when stopped through `przerwanie` (or by what `zrobione`
    // throws); what the measure throws passes on.
    bool zmierz(const MiernikGlosnosci& miernik, const std::atomic_bool* przerwanie,
                const std::function<void(std::int64_t)>& zrobione);

    // The steps for entry i (counted from 0).
    int kroki(int i) const { return m_kroki.at(i).kroki; }
    // Whether the file of entry i, as opened now (`teraz`), is the file
    // that was measured; an entry without a step needs no check.
    bool zmierzony(int i, const StanPliku& teraz) const;
    // Entry i went into the book with `przyciete` gains held at the edge of
    // their range: its log lines.
    QStringList dodaj(int i, int przyciete);
    // Whether some entry's frames are changed (after zmierz).
    bool zmieniaRamki() const;
    // The summary line for the whole book.
    QString tekst() const { return m_licznik.tekst(m_cel, m_sciezki.size()); }

private:
    double m_cel;
    QStringList m_sciezki;
    PamiecGlosnosci m_wlasnaPamiec;
    PamiecGlosnosci& m_pamiec;
    QStringList m_doZmierzenia;
    QHash<QString, PomiarGlosnosci> m_glosnosci;
    // Each measured file as it was measured: the step applies to it alone.
    QHash<QString, StanPliku> m_zmierzone;
    QList<KrokGlosnosci> m_kroki;
    LicznikWyrownania m_licznik;
};
