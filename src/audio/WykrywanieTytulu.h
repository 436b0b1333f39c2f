#pragma once
// Where the spoken title at the beginning of an MP3 file lies ("Rozdział
// siódmy."), so that a bookmark can cover it without the user setting it by
// ear, and the picture of the file's beginning that the bookmark editor
// draws. Both come from one decode into 10 ms windows.
//
// Plain QtCore and libmpg123: every function may run on a worker thread, one
// call per file at a time; a caller cancels through the flag it passes.

#include "audio/OknaDzwieku.h"

#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

// A bookmark over the title: from a little before the first speech to a
// little after the title's last word, in whole ms.
struct WykrytyTytul {
    int poczatekMs = 0;
    int dlugoscMs = 0;
    int koniecTytuluMs = 0; // where the pause after the title begins
    bool operator==(const WykrytyTytul&) const = default;
};

inline constexpr int kDomyslnaPrzerwaMs = 700;   // shortest pause that ends a title
inline constexpr int kWykrywanieMaksMs = 60'000; // a title is looked for this far at most
inline constexpr int kObrazMaksMs = 120'000;     // what the editor draws

// Decodes the file from its start until maksMs are covered or the file ends.
// When *przerwij becomes true it stops early and returns what it has (the
// caller knows it asked). Throws EMCIDeviceError when the file cannot be
// read or holds no MPEG audio.
ObrazDzwieku obrazPoczatku(const QString& path, int maksMs = kObrazMaksMs,
                           const std::atomic_bool* przerwij = nullptr);

// The title in a decoded beginning. Speech is as progMowy and biegiMowy
// find it (runs shorter than 50 ms do not count). Nor does, before the
// title, a run shorter than 120 ms with no speech in the 150 ms after it, or
// one whose loudest window lies more than 20 dB under the loudest of the 2 s
// that follow it: a knock or a breath is not the title. The title starts
// at the first speech and ends where the first pause of at least przerwaMs
// begins; the bookmark starts up to 100 ms earlier and ends up to 200 ms
// later. No result when no such pause lies within the first 60 s.
//
// The level is taken over the part examined so far, which grows a second at
// a time; a title is accepted once at least 5 s and one second past its
// pause have been examined, so a file need not be decoded to 60 s.
std::optional<WykrytyTytul> znajdzTytul(const ObrazDzwieku& obraz,
                                        int przerwaMs = kDomyslnaPrzerwaMs);

// znajdzTytul over the file itself, decoding only as far as the search
// needs: the same result as znajdzTytul(obrazPoczatku(path)). No result when
// cancelled. Throws as obrazPoczatku.
std::optional<WykrytyTytul> wykryjTytul(const QString& path, int przerwaMs = kDomyslnaPrzerwaMs,
                                        const std::atomic_bool* przerwij = nullptr);

// How a window finds the title of one file (wykryjTytul, or a stand-in in
// tests); it runs on a worker thread.
using WykrywanieTytulow = std::function<std::optional<WykrytyTytul>(
    const QString& path, int przerwaMs, const std::atomic_bool* przerwij)>;

// What a search over several files found in one of them: a title, nothing
// (no pause long enough), or the error that kept the file from being read.
struct WynikWykrywaniaPliku {
    std::optional<WykrytyTytul> tytul;
    QString blad;
};
struct WynikWykrywania {
    QList<WynikWykrywaniaPliku> pliki; // one per file, in order, when not stopped
    bool przerwano = false;            // the user stopped the work
};
