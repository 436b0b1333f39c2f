#pragma once
// One form of an exported book. The export gathers, from the book's layout,
// the chapters (titles, levels, times, where each one's audio lies) and the
// book's details; a form writes itself whole from them under temporary
// names, reading each chapter's audio through the export, and the export
// then puts every form in place together. The DAISY book (KsiazkaDaisy) and
// the chaptered MP3 (Mp3ZRozdzialami) are two; another is a class beside
// them.

#include "eksport/Rozdzial.h"
#include "project/OpisKsiazki.h"

#include <QtGlobal>
#include <functional>

// Chapter i's audio as the export reads it (levelled when it is asked to
// be): `zapisz` gets its bytes in order.
using DzwiekRozdzialu =
    std::function<void(int i, const std::function<void(const char*, qint64)>& zapisz)>;

class PostacKsiazki {
public:
    virtual ~PostacKsiazki() = default;
    // Writes the whole form under its temporary names; throws SonvekError
    // (EPrzerwanyEksport when stopped), and the export removes what it wrote.
    virtual void zapisz(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                        const DzwiekRozdzialu& dzwiek) = 0;
};
