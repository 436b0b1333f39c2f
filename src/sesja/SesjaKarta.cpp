// The memory card's work: the free-space report, copying a merged book with
// its index files, checking it on the card, ejecting the card, and the
// player's state file.

#include "base/Errors.h"
#include "card/CardFiles.h"
#include "sesja/PracaKarty.h"
#include "sesja/Rozmowa.h"
#include "sesja/Sesja.h"

#include <QFileInfo>
#include <QLocale>
#include <memory>

namespace {

const SystemoweWolneMiejsce systemoweWolneMiejsce;

// How long a card command waits for the card to answer, in ms.
constexpr int kLimitOdpowiedziKarty = 5000;

// The index files of a book: its path with the last three characters
// replaced by "dat" and "log".
QString plikIndeksu(const QString& ksiazka, const QString& rozszerzenie) {
    return ksiazka.chopped(std::min<qsizetype>(3, ksiazka.size())) + rozszerzenie;
}

QString kartaNiedostepna(const QString& korzen) {
    return QStringLiteral("Karta nie jest dostępna: ") + korzen;
}

} // namespace

template <typename T> std::optional<T> Sesja::zKarty(std::function<T()> praca) {
    // Shared with the worker: one that does not end in time writes here
    // after the command has given up.
    auto wynik = std::make_shared<std::optional<T>>();
    const bool gotowe = m_rozmowa.czekajBezZamrazania(
        [wynik, praca = std::move(praca)] { *wynik = praca(); }, kLimitOdpowiedziKarty);
    if (!gotowe)
        return std::nullopt;
    return *wynik;
}

const ZrodloWolnegoMiejsca& Sesja::zrodloMiejsca() const {
    return m_uslugi.wolneMiejsce ? *m_uslugi.wolneMiejsce : systemoweWolneMiejsce;
}

QString Sesja::korzen() const {
    return korzenKarty(m_konfiguracja.Karta);
}

// With no card chosen there is no path to work on: every card command says
// so and does nothing else.
bool Sesja::kartaWybrana() {
    if (!m_konfiguracja.Karta.isEmpty())
        return true;
    m_rozmowa.powiadom(QStringLiteral("Nie wybrano karty. Wybierz ją w oknie Ustawienia."));
    return false;
}

// A card is there to write to only when a volume is mounted at its root:
// otherwise the empty mount folder would send the files to the disk above.
// Asked on a worker: a card (or a mount) that stops answering never holds
// the window.
bool Sesja::kartaDostepna() {
    if (!kartaWybrana())
        return false;
    const QString k = korzen();
    const ZrodloWolnegoMiejsca* zrodlo = &zrodloMiejsca();
    const auto dostepna = zKarty<bool>([k, zrodlo] { return ::kartaDostepna(k, *zrodlo); });
    if (dostepna && *dostepna)
        return true;
    m_rozmowa.powiadom(dostepna ? kartaNiedostepna(k) : komunikatBrakuOdpowiedziKarty(k));
    return false;
}

bool Sesja::zmierzKarte() {
    if (!kartaDostepna())
        return false;
    const QString k = korzen();
    // A copy killed between its renames is finished before anything else
    // looks at the card; both on a worker, as above.
    const ZrodloWolnegoMiejsca* zrodlo = &zrodloMiejsca();
    using Wynik = std::pair<DokonczenieKopii, std::optional<PomiarKarty>>;
    const auto wynik = zKarty<Wynik>([k, zrodlo] {
        DokonczenieKopii dokonczenie = dokonczPrzerwanaKopie(k);
        return Wynik{dokonczenie, ::zmierzKarte(k, *zrodlo)};
    });
    if (!wynik) {
        m_rozmowa.powiadom(komunikatBrakuOdpowiedziKarty(k));
        return false;
    }
    if (!wynik->first.tekst.isEmpty())
        m_rozmowa.powiadom(wynik->first.tekst);
    const std::optional<PomiarKarty>& pomiar = wynik->second;
    if (!pomiar) {
        m_rozmowa.powiadom(kartaNiedostepna(k));
        return false;
    }
    m_pomiarKarty = *pomiar;
    m_rozmowa.ustawStatus(raportWolnegoMiejsca(*pomiar, QLocale().decimalPoint().at(0)));
    return true;
}

// The store book the user picks with its two index files, in copy order;
// empty (after saying why) when there is none.
QStringList Sesja::wybierzKsiazke(const QString& tytul, const QString& brakIndeksow) {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = tytul;
    wybor.folder = m_konfiguracja.Magazyn;
    wybor.filtr = QStringLiteral("mp3, asz (*.mp3 *.asz)");
    wybor.domyslneRozszerzenie = QStringLiteral("mp3");
    wybor.musiIstniec = false;
    const QStringList wybrane = m_rozmowa.wybierzPliki(wybor);
    if (wybrane.isEmpty() || wybrane.first().isEmpty())
        return {};
    const QString ksiazka = wybrane.first();
    if (!QFileInfo(ksiazka).isFile()) {
        m_rozmowa.powiadom(QStringLiteral("Brak pliku audio o podanej nazwie"));
        return {};
    }
    const QString dat = plikIndeksu(ksiazka, QStringLiteral("dat"));
    const QString log = plikIndeksu(ksiazka, QStringLiteral("log"));
    if (!QFileInfo(dat).isFile() || !QFileInfo(log).isFile()) {
        m_rozmowa.powiadom(brakIndeksow);
        return {};
    }
    return {ksiazka, dat, log};
}

void Sesja::kopiujKsiazke() {
    // The room test below uses this measurement, taken before the file is picked.
    if (!zmierzKarte())
        return;
    const QStringList pliki = wybierzKsiazke(
        QStringLiteral("Wybierz plik audio do skopiowania"),
        QStringLiteral("Brak pliku z indeksami, wybrany plik audio nie będzie skopiowany!"));
    if (pliki.isEmpty())
        return;
    if (const auto odmowa =
            odmowaKopiowania(m_pomiarKarty, rozmiarPlikuDoOdczytu(pliki.at(0)),
                             wielkoscPliku(pliki.at(1)), wielkoscPliku(pliki.at(2)))) {
        m_rozmowa.powiadom(*odmowa);
        return;
    }
    kopiujPliki(pliki);
}

bool Sesja::zapytajOZamiane(const QStringList& doZamiany) {
    for (const QString& cel : doZamiany) {
        const QString nazwa = QFileInfo(cel).fileName();
        if (m_rozmowa.zapytaj(
                {QStringLiteral("Plik %1 już istnieje na karcie. Czy zamienić?").arg(nazwa)}) !=
            Rozmowa::Odpowiedz::Tak) {
            m_rozmowa.powiadom(QStringLiteral("Nie skopiowano żadnego pliku: plik %1 na karcie "
                                              "nie został zamieniony, więc karta pozostała bez "
                                              "zmian.")
                                   .arg(nazwa));
            return false;
        }
    }
    return true;
}

void Sesja::kopiujPliki(const QStringList& pliki) {
    // The card may have been taken out while the book was being chosen.
    if (!kartaDostepna())
        return;
    const QString k = korzen();
    QStringList nazwy;
    for (const QString& plik : pliki)
        nazwy.append(QFileInfo(plik).fileName());
    // Every question before the progress window exists, so no window ever
    // covers one. The files belong together: a kept file ends the copy
    // before anything is written. A link on the card could send the book
    // anywhere: none is written through.
    const PlanKopii plan = zaplanujKopie(k, nazwy);
    if (!plan.odmowa.isEmpty()) {
        m_rozmowa.powiadom(plan.odmowa);
        return;
    }
    if (!zapytajOZamiane(plan.doZamiany))
        return;
    // The card is checked again on the worker: one taken out meanwhile must
    // not send the book to the disk under its mount folder.
    const ZrodloWolnegoMiejsca& zrodlo = zrodloMiejsca();
    const KopiowanieNaKarte kopiowanie = m_uslugi.kopiowanieNaKarte;
    const RaportKopiowania raport = m_praca.kopiuj(
        pliki, k, plan.doZamiany,
        [&zrodlo, kopiowanie](const QStringList& p, const QString& doKorzenia,
                              const ObslugaKopiowania& obsluga) {
            if (!::kartaDostepna(doKorzenia, zrodlo))
                return RaportKopiowania{WynikKopiowania::Blad, kartaNiedostepna(doKorzenia), {}};
            return kopiowanie(p, doKorzenia, obsluga);
        });
    powiedzWynikKopii(raport);
}

// What happened is told after the progress window has gone: the result
// first, the free space after it; an ejected card has none to report.
void Sesja::powiedzWynikKopii(const RaportKopiowania& raport) {
    if (!raport.dokonczenie.isEmpty())
        m_rozmowa.powiadom(raport.dokonczenie);
    switch (raport.wynik) {
    case WynikKopiowania::Skopiowano: {
        // Enter and Esc leave the card as it is.
        Rozmowa::Pytanie pytanie = Rozmowa::pytanieNieDomyslnie(
            QStringLiteral("Pliki zostały pomyślnie skopiowane! ") +
            QString::fromUtf16(ksiazkaZgodna) + QStringLiteral("\n\nCzy wysunąć kartę teraz?"));
        pytanie.zOtworz = static_cast<bool>(m_pokazKsiazkiNaKarcie);
        if (pytanie.zOtworz)
            pytanie.tekst += QStringLiteral(" Przycisk \u201eOtwórz\u201d pokazuje książki na "
                                            "karcie.");
        switch (m_rozmowa.zapytaj(pytanie)) {
        case Rozmowa::Odpowiedz::Tak:
            wysunKarte();
            return;
        case Rozmowa::Odpowiedz::Otworz:
            m_pokazKsiazkiNaKarcie(); // which says the free space when it closes
            return;
        default:
            break;
        }
        break;
    }
    case WynikKopiowania::Anulowano:
        m_rozmowa.powiadom(
            QStringLiteral("Kopiowanie przerwane. Pliki na karcie pozostały bez zmian."));
        break;
    case WynikKopiowania::NieZamieniono:
        m_rozmowa.powiadom(
            QStringLiteral("Nie skopiowano żadnego pliku: karta pozostała bez zmian."));
        break;
    case WynikKopiowania::Blad:
        m_rozmowa.powiadom(QStringLiteral("Błąd podczas kopiowania plików! ") + raport.blad);
        break;
    }
    zmierzKarte();
}

void Sesja::sprawdzKsiazke() {
    if (!kartaDostepna())
        return;
    const QStringList pliki =
        wybierzKsiazke(QStringLiteral("Wybierz książkę z magazynu do sprawdzenia na karcie"),
                       QStringLiteral("Brak pliku z indeksami, wybrana książka nie będzie "
                                      "sprawdzona."));
    if (pliki.isEmpty() || !kartaDostepna())
        return;
    const RaportSprawdzenia raport = m_praca.sprawdz(pliki, korzen());
    m_rozmowa.powiadom(
        raport.wynik == WynikSprawdzenia::Anulowano
            ? QStringLiteral("Sprawdzanie przerwane, książka na karcie nie została sprawdzona.")
            : raport.opis);
}

void Sesja::wysunKarte() {
    if (!kartaDostepna())
        return;
    const WynikWysuniecia wynik = m_praca.wysun(korzen(), m_uslugi.wysuwanieKarty);
    // The status line keeps saying it, for a screen reader and for a look later.
    if (wynik.moznaWyjac)
        m_rozmowa.ustawStatus(wynik.tekst);
    m_rozmowa.powiadom(wynik.tekst);
}

void Sesja::utworzPlikZakladki() {
    if (!kartaDostepna())
        return;
    const QString k = korzen();
    if (dowiazanieNaKarcie(k, QStringLiteral("player.dat"))) {
        m_rozmowa.powiadom(komunikatDowiazania(sciezkaPlayera(k)));
        return;
    }
    if (QFileInfo::exists(sciezkaPlayera(k)) &&
        m_rozmowa.zapytaj({QStringLiteral("Plik zakładki już istnieje na karcie!\r\nCzy zamienić "
                                          "istniejący plik?")}) != Rozmowa::Odpowiedz::Tak)
        return;
    // Checked again right before writing: a card taken out after the
    // command's own check must not turn into a file on the disk above.
    if (!::kartaDostepna(k, zrodloMiejsca()))
        throw EInOutError(kartaNiedostepna(k));
    zapiszPlayerDat(k);
    m_rozmowa.powiadom(QStringLiteral("Plik zakładki został pomyślnie utworzony!"));
}
