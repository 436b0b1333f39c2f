#pragma once
// One MP3 file with chapters: an ID3v2.4 tag with CHAP and CTOC frames (and
// the cover) in front of the chapters' audio, whose first frame is made to
// describe the whole file.

#include "eksport/PostacKsiazki.h"
#include "eksport/TagiMp3.h"

#include <QString>
#include <functional>
#include <vector>

class ZapisAtomowy;

class Mp3ZRozdzialami : public PostacKsiazki {
public:
    struct Ustawienia {
        Okladka okladka;
        // An information frame put in front of the audio when the first
        // chapter has none (players leave it out, so no chapter moves);
        // empty: none.
        std::vector<unsigned char> nowyNaglowek;
        bool wyrownany = false; // the frames' gains were changed
        std::function<void(const QString&)> loguj;
        std::function<void()> sprawdzPrzerwanie; // throws to stop
    };
    // `mp3`: the file's temporary writing, which the export puts in place;
    // `nazwa`: the file as the user named it, for messages.
    Mp3ZRozdzialami(ZapisAtomowy& mp3, QString nazwa, Ustawienia ustawienia);
    void zapisz(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                const DzwiekRozdzialu& dzwiek) override;

private:
    ZapisAtomowy& m_mp3;
    QString m_nazwa;
    Ustawienia m_ustawienia;
};
