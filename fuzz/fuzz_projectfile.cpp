// The project file reader on any bytes: it refuses or reads; what it reads,
// written again and read back, gives the very same entries, and writing
// those entries again gives the very same document.

#include "Fuzz.h"
#include "project/ProjectFile.h"

#include <cstdint>

namespace {

const QString kNazwa = QStringLiteral("fuzz.xml");

ListaPozycji pozycje(const QList<WpisPlikuProjektu>& wpisy) {
    ListaPozycji lista;
    for (qsizetype i = 0; i < wpisy.size(); ++i) {
        const WpisPlikuProjektu& w = wpisy.at(i);
        lista.append({QString::number(i + 1), w.plik, w.poczatek, w.dlugosc, w.folder});
    }
    return lista;
}

QString opis(const QList<WpisPlikuProjektu>& wpisy) {
    QString tekst;
    for (const WpisPlikuProjektu& w : wpisy)
        tekst += QStringLiteral("[%1|%2|%3|%4]\n").arg(w.plik, w.poczatek, w.dlugosc, w.folder);
    return tekst;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dane, std::size_t rozmiar) {
    OdczytanyPlikProjektu odczyt;
    try {
        odczyt = czytajDokumentProjektu(
            QByteArray(reinterpret_cast<const char*>(dane), static_cast<qsizetype>(rozmiar)),
            kNazwa);
    } catch (const EBladPlikuProjektu&) {
        return 0; // refused with a message: fine
    }
    if (!odczyt.korzenProjekt) {
        wymagaj(odczyt.wpisy.isEmpty(), "bez korzenia projekt nie ma wpisów");
        return 0;
    }

    QByteArray zapis;
    try {
        zapis = dokumentProjektu(pozycje(odczyt.wpisy));
    } catch (const EInOutError&) {
        return 0; // a character XML cannot carry: the save is refused, nothing is lost
    }
    OdczytanyPlikProjektu ponownie;
    try {
        ponownie = czytajDokumentProjektu(zapis, kNazwa);
    } catch (const EBladPlikuProjektu& e) {
        wymagaj(false, "zapisany projekt daje się wczytać",
                e.text() + u'\n' + QString::fromUtf8(zapis));
    }
    wymagaj(ponownie.korzenProjekt, "zapisany projekt ma korzeń projekt");
    wymagaj(ponownie.wpisy == odczyt.wpisy, "wpisy po zapisie i odczycie są te same",
            opis(odczyt.wpisy) + QStringLiteral("--\n") + opis(ponownie.wpisy));
    wymagaj(dokumentProjektu(pozycje(ponownie.wpisy)) == zapis, "drugi zapis jest identyczny");
    return 0;
}
