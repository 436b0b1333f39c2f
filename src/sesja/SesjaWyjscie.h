#pragma once
// What leaves the program as a book: the merge's set-up (the book's name,
// its summary, the settings it runs with), the offer of a book in parts and
// the texts of the merge's end; the export's targets, its replace
// questions and what it tells afterwards. The windows only show what it
// decides (PracaWyjscia) and it asks through Rozmowa.

#include "merge/PomiarMp3.h"
#include "sesja/PracaWyjscia.h"
#include "sesja/Rozmowa.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

class ModelProjektu;
class Rozmowa;
class Sesja;
class SesjaLista;
class ZadanieScalania;

class SesjaWyjscie {
public:
    SesjaWyjscie(Sesja& sesja, SesjaLista& lista, Rozmowa& rozmowa, PracaWyjscia& praca,
                 ModelProjektu& projekt)
        : m_sesja(sesja), m_lista(lista), m_rozmowa(rozmowa), m_praca(praca), m_projekt(projekt) {}

    // "Scalaj pliki...": the book's name asked for (the dialog starts in the
    // store with the last name), the summary made, then the merge dialog.
    void scal();
    // "Eksportuj książkę...": the window's choices, a question before each
    // target that would be replaced (Enter and Esc keep it), the export,
    // and its outcome on the status line with its warnings.
    void eksportuj();

    // Asked as the merge starts: the parts' largest size for the book
    // `scalony` of `rozmiar` bytes (not known: none), 0 for one file; none
    // when the user does not merge. Only a book over the FAT limit is
    // offered parts, in a question captioned "Książka w częściach": Tak
    // writes parts (the default), Nie one file, Anuluj and Esc do not merge.
    static std::optional<std::int64_t>
    limitCzesci(Rozmowa& rozmowa, std::optional<std::int64_t> rozmiar, const QString& scalony);
    // The merge `u` names, levelled when `wyrownaj`, in parts of at most
    // `limitCzesci` bytes when that is above 0.
    static std::unique_ptr<ZadanieScalania> zadanieScalania(const UstawienieScalania& u,
                                                            const MiernikMp3& miernik,
                                                            bool wyrownaj,
                                                            std::int64_t limitCzesci);
    static WynikScalania wynik(const ZadanieScalania& zadanie);
    // Runs the export on the caller's thread; how it ended.
    static WynikEksportu wykonaj(EksportKsiazki& eksport);
    // What is said when a merge ends.
    static QString tekstKonca(const WynikScalania& wynik, bool przerwano);

private:
    WyborEksportu celeEksportu(const QString& projekt) const;
    // False (after saying so) when the user keeps a target or none may be replaced.
    bool zapytajOCele(EksportKsiazki& eksport);
    void powiedzWynik(const EksportKsiazki& eksport, const WynikEksportu& wynik);

    Sesja& m_sesja;
    SesjaLista& m_lista;
    Rozmowa& m_rozmowa;
    PracaWyjscia& m_praca;
    ModelProjektu& m_projekt;
    // The book the last merge command named.
    QString m_nazwaScalania;
    // The export's levelling as the user left it, for the next export.
    bool m_wyrownajEksport = false;
};
