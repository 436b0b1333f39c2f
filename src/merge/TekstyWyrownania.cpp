#include "merge/TekstyWyrownania.h"

#include "audio/WzmocnienieRamek.h"

#include <cmath>
#include <cstdlib>

void LicznikWyrownania::dodaj(const KrokGlosnosci& k, double cel, int przycieteWpisu) {
    zmienione += k.kroki != 0;
    cisza += !k.poziom;
    doCelu += k.poziom && std::fabs(*k.poziom + k.decybele() - cel) <= 1.0;
    przezSzczyt += k.przezSzczyt;
    przezZakres += k.przezZakres && !k.przezSzczyt;
    przyciete += przycieteWpisu > 0;
}

QString LicznikWyrownania::tekst(double cel, qsizetype n) const {
    QString tekst = QStringLiteral("Głośność wyrównana do %1 LUFS: zmieniono %2 z %3 %4; "
                                   "w granicach 1 LU od celu: %5")
                        .arg(tekstPoziomu(cel))
                        .arg(zmienione)
                        .arg(n)
                        .arg(n == 1 ? QStringLiteral("pliku") : QStringLiteral("plików"))
                        .arg(doCelu);
    if (przezSzczyt > 0)
        tekst += QStringLiteral("; mniej niż do celu, by szczyt nie przekroczył "
                                "\u22121 dBTP: %1")
                     .arg(przezSzczyt);
    if (przezZakres > 0)
        tekst += QStringLiteral("; mniej niż do celu przez zakres wzmocnienia 0..255: %1")
                     .arg(przezZakres);
    if (cisza > 0)
        tekst += QStringLiteral("; cisza, bez zmian: %1").arg(cisza);
    if (przyciete > 0)
        tekst += QStringLiteral("; z wzmocnieniem ramek przytrzymanym na granicy zakresu: %1")
                     .arg(przyciete);
    return tekst;
}

// "plik X: +3,0 dB (2 kroki po 1,5 dB), mowa −21,0 → −18,0 LUFS", and why
// the step is smaller than the target asks (a silent file gets none).
QStringList linieKroku(const QString& sciezka, const KrokGlosnosci& krok, int przyciete) {
    QString linia = QStringLiteral("plik %1: %2").arg(sciezka, tekstDecybeli(krok.decybele()));
    if (!krok.poziom)
        return {linia + QStringLiteral(" (cisza)")};
    const int n = std::abs(krok.kroki);
    if (n != 0)
        linia += QStringLiteral(" (%1 %2 po 1,505 dB)")
                     .arg(n)
                     .arg(n == 1 ? QStringLiteral("krok")
                          : (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14))
                              ? QStringLiteral("kroki")
                              : QStringLiteral("kroków"));
    linia += QStringLiteral(", mowa %1 \u2192 %2 LUFS")
                 .arg(tekstPoziomu(krok.poziom), tekstPoziomu(*krok.poziom + krok.decybele()));
    QStringList powody;
    if (krok.przezSzczyt)
        powody << QStringLiteral("szczyt przekroczyłby \u22121 dBTP");
    if (krok.przezZakres)
        powody << QStringLiteral("wzmocnienie ramek wyszłoby poza zakres 0..255");
    if (!powody.isEmpty())
        linia += QStringLiteral(" (zamiast %1: %2)")
                     .arg(tekstDecybeli(krok.chciane * kDecybeleKroku),
                          powody.join(QStringLiteral(", a ")));
    QStringList linie{linia};
    if (przyciete > 0)
        linie << (QStringLiteral(
                      "Uwaga: w pliku %1 wzmocnienie %2 pól ramek przytrzymano na granicy "
                      "zakresu 0..255")
                      .arg(sciezka)
                      .arg(przyciete));
    return linie;
}
