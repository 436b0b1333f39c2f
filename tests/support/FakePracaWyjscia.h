#pragma once
// Test stand-in for the merge's and the export's windows: the merge runs at
// once as its dialog would start it, the export window hands back what the
// session filled in (with the test's changes), the export runs at once.

#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "sesja/SesjaWyjscie.h"

#include <QList>
#include <functional>

class FakePracaWyjscia : public PracaWyjscia {
public:
    bool wyrownajScalanie = false;      // "Wyrównaj głośność" ticked in the merge dialog
    QList<UstawienieScalania> scalenia; // what each merge dialog was given
    QString koniecScalania;             // what the last merge said at its end
    QList<WyborEksportu> okna;          // what each export window was filled with
    // Changes the user makes in the export window; none: cancelled.
    std::function<std::optional<WyborEksportu>(WyborEksportu)> wOknie = [](WyborEksportu w) {
        return std::optional(w);
    };

    void scal(const UstawienieScalania& u) override {
        scalenia.append(u);
        auto zadanie = SesjaWyjscie::zadanieScalania(u, miernikMp3(), wyrownajScalanie, 0);
        zadanie->wykonaj();
        koniecScalania = SesjaWyjscie::tekstKonca(SesjaWyjscie::wynik(*zadanie), false);
    }
    std::optional<WyborEksportu> wybierzEksport(const WyborEksportu& wybor) override {
        okna.append(wybor);
        return wOknie(wybor);
    }
    WynikEksportu eksportuj(EksportKsiazki& eksport) override {
        return SesjaWyjscie::wykonaj(eksport);
    }
};
