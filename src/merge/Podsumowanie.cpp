#include "merge/Podsumowanie.h"

#include "base/Czas.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "merge/Formaty.h"

#include <QFileInfo>
#include <algorithm>

namespace {

QString jednoMiejsce(std::int64_t dziesiate) {
    return QStringLiteral("%1,%2").arg(dziesiate / 10).arg(dziesiate % 10);
}

} // namespace

QString rozmiarDlaLudzi(std::int64_t bajty) {
    constexpr std::int64_t kMB = 1024 * 1024;
    if (bajty < kMB)
        return jednoMiejsce((bajty * 10 + 512) / 1024) + QStringLiteral(" kB");
    return jednoMiejsce((bajty / 1024 * 10 + 512) / 1024) + QStringLiteral(" MB");
}

QList<PlikKsiazki> zbadajPliki(const ListaPozycji& pozycje, const MiernikMp3& miernik,
                               const std::atomic_bool* przerwac,
                               const std::function<void(int, int)>& postep) {
    QList<PlikKsiazki> wynik;
    const int n = int(pozycje.size());
    for (int i = 0; i < n; ++i) {
        if (przerwac && *przerwac)
            break;
        if (postep)
            postep(i, n);
        PlikKsiazki plik;
        const QFileInfo info(pozycje.at(i).sciezka());
        plik.jest = info.isFile();
        if (plik.jest) {
            plik.rozmiar = info.size();
            try {
                plik.mp3 = miernik(info.filePath());
            } catch (const std::exception& e) {
                plik.blad = errorMessage(e);
            }
        }
        wynik.append(plik);
    }
    return wynik;
}

QStringList podsumowanieKsiazki(const ListaPozycji& pozycje, const QList<PlikKsiazki>& pliki,
                                const KartaPodsumowania& karta) {
    std::int64_t rozmiar = 0;
    std::int64_t dlugosc = 0;
    QStringList braki, nieczytelne, formaty, zakladki;
    QList<std::optional<FormatDzwieku>> wszystkieFormaty;
    for (qsizetype i = 0; i < pozycje.size() && i < pliki.size(); ++i) {
        const PozycjaProjektu& p = pozycje.at(i);
        const PlikKsiazki& plik = pliki.at(i);
        const QString kto = QStringLiteral("%1. %2").arg(i + 1).arg(p.NazwaPliku);
        wszystkieFormaty.append(plik.jest && plik.mp3 ? std::optional(plik.mp3->format)
                                                      : std::nullopt);
        if (!plik.jest) {
            braki << QStringLiteral("Brak pliku: %1 (%2)").arg(kto, p.sciezka());
            continue;
        }
        rozmiar += plik.rozmiar;
        if (!plik.mp3) {
            nieczytelne << QStringLiteral("Nie można odczytać pliku %1: %2").arg(kto, plik.blad);
            continue;
        }
        dlugosc += plik.mp3->dlugoscMs;
        const auto poczatek = tryStrToInt(p.Poczatek);
        const auto dl = tryStrToInt(p.Dlugosc);
        if (!poczatek || !dl)
            zakladki << QStringLiteral("Zakładka nie jest liczbą: %1 (początek %2, długość %3)")
                            .arg(kto, p.Poczatek, p.Dlugosc);
        else if (std::int64_t{*poczatek} + *dl > plik.mp3->dlugoscMs)
            zakladki << QStringLiteral("Zakładka wychodzi poza koniec pliku: %1 (początek %2 ms, "
                                       "długość %3 ms, plik ma %4 ms)")
                            .arg(kto)
                            .arg(*poczatek)
                            .arg(*dl)
                            .arg(plik.mp3->dlugoscMs);
    }

    const std::optional<FormatDzwieku> pierwszy = pierwszyFormat(wszystkieFormaty);
    for (const InnyFormat& inny : inneFormaty(wszystkieFormaty))
        formaty << QStringLiteral("Inny format niż pierwszy plik (%1): %2. %3: %4")
                       .arg(opisFormatu(*pierwszy))
                       .arg(inny.pozycja + 1)
                       .arg(pozycje.at(inny.pozycja).NazwaPliku, inny.roznice);

    QStringList linie;
    // Does it fit: the copy's own arithmetic (index files, player.dat).
    if (!karta.pomiar) {
        linie << karta.brak + QStringLiteral(" Nie wiadomo, czy książka zmieści się na karcie.");
    } else if (const auto odmowa = odmowaKopiowania(*karta.pomiar, rozmiar);
               odmowa && rozmiar > miejsceNaKsiazke(*karta.pomiar)) {
        linie << QStringLiteral("Książka nie zmieści się na karcie: brakuje %1.")
                     .arg(rozmiarDlaLudzi(
                         rozmiar - std::max<std::int64_t>(miejsceNaKsiazke(*karta.pomiar), 0)));
    } else if (odmowa) {
        linie << QStringLiteral("Książka nie zmieści się na karcie: ") + *odmowa;
    } else {
        const std::int64_t klaster =
            std::max<std::int64_t>(karta.pomiar->wolumin.rozmiarKlastra, 1);
        const std::int64_t zajmie = (rozmiar + klaster - 1) / klaster * klaster;
        linie << QStringLiteral("Książka zmieści się na karcie; zostanie wolne %1.")
                     .arg(rozmiarDlaLudzi(miejsceNaKsiazke(*karta.pomiar) - zajmie));
    }
    const QStringList problemy = braki + nieczytelne + formaty + zakladki;
    if (problemy.isEmpty())
        linie << QStringLiteral("Nie znaleziono problemów.");
    else
        linie << QStringLiteral("Problemy: %1.").arg(problemy.size()) << problemy;
    const auto sprawdzone = std::count_if(pozycje.cbegin(), pozycje.cend(),
                                          [](const PozycjaProjektu& p) { return p.Sprawdzona; });
    linie << QStringLiteral("Pozycje: %1, sprawdzone: %2 z %1.").arg(pozycje.size()).arg(sprawdzone)
          << QStringLiteral("Długość: %1.").arg(czasGodzinowy(dlugosc))
          << QStringLiteral("Rozmiar scalonej książki: %1 (%2 bajtów).")
                 .arg(rozmiarDlaLudzi(rozmiar))
                 .arg(rozmiar);
    if (pierwszy)
        linie << QStringLiteral("Format: %1.").arg(opisFormatu(*pierwszy));
    return linie;
}
