#pragma once
// Test stand-in for the list's long work: it runs at once on the test's
// thread with the same core calls the progress windows make, or is stopped
// by the user; what the list shows is recorded.

#include "audio/PamiecPomiarow.h"
#include "base/Errors.h"
#include "sesja/PracaListy.h"

class FakePracaListy : public PracaListy {
public:
    bool przerwij = false; // the user stops every long work
    QStringList tytuly;    // the captions of the long work, in turn
    QList<int> wiersze;    // the rows the focus went to, in turn
    int sygnaly = 0;       // beeps
    QStringList raport;    // the last loudness report
    QStringList bledy;     // what the parts of a command that failed told

    std::optional<ZmierzonePliki> zmierzFolder(const QString& folder) override {
        if (przerwij)
            return std::nullopt;
        PlikiFolderu pliki = przejrzyjFolder(folder);
        ZmierzonePliki wynik{pliki.sciezki, {}, pliki.pominiete};
        for (const QString& sciezka : std::as_const(wynik.sciezki)) {
            const std::optional<Mp3Info> pomiar = zmierzPlikMp3(sciezka);
            wynik.dlugosci.append(pomiar ? std::optional(pomiar->lengthMs) : std::nullopt);
        }
        return wynik;
    }
    WynikWykrywania wykryj(const QStringList& pliki, int przerwaMs,
                           const WykrywanieTytulow& wykrywanie, const QString& tytul,
                           const QString&) override {
        tytuly.append(tytul);
        WynikWykrywania wynik;
        wynik.przerwano = przerwij;
        for (const QString& plik : pliki) {
            if (przerwij)
                break;
            WynikWykrywaniaPliku w;
            try {
                w.tytul = wykrywanie(plik, przerwaMs, nullptr);
            } catch (const std::exception& e) {
                w.blad = errorMessage(e);
            }
            wynik.pliki.append(w);
        }
        return wynik;
    }
    WynikPomiaruGlosnosci zmierzGlosnosc(const QStringList& pliki, PamiecGlosnosci& pamiec,
                                         const MiernikGlosnosci& miernik) override {
        tytuly.append(QStringLiteral("Głośność"));
        WynikPomiaruGlosnosci wynik;
        wynik.przerwano = przerwij;
        QStringList nieznane;
        pamiec.znane(pliki, nieznane);
        for (const QString& plik : std::as_const(nieznane)) {
            if (przerwij)
                break;
            try {
                if (pamiec.zmierz(plik, miernik, nullptr))
                    ++wynik.zmierzone;
            } catch (const std::exception& e) {
                wynik.bledy.insert(plik, errorMessage(e));
            }
        }
        return wynik;
    }
    std::optional<QList<PlikKsiazki>> zbadaj(const ListaPozycji& pozycje,
                                             const MiernikMp3& miernik) override {
        if (przerwij)
            return std::nullopt;
        return zbadajPliki(pozycje, miernik);
    }
    void pokazRaportGlosnosci(const QStringList& linie) override { raport = linie; }
    void zatrzymajOdtwarzanie() override {}
    void pokazWiersz(int wiersz) override { wiersze.append(wiersz); }
    void sygnal() override { ++sygnaly; }
    void osobno(const std::function<void()>& czesc) override {
        try {
            czesc();
        } catch (const std::exception& e) {
            bledy.append(errorMessage(e));
        }
    }
};
