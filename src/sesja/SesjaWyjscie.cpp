#include "sesja/SesjaWyjscie.h"

#include "audio/Glosnosc.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "merge/CzesciKsiazki.h"
#include "merge/Podsumowanie.h"
#include "merge/ZadanieScalania.h"
#include "project/ModelProjektu.h"
#include "sesja/Sesja.h"
#include "sesja/SesjaLista.h"

#include <QDir>
#include <QFileInfo>

void SesjaWyjscie::scal() {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = QStringLiteral("Scalanie projektu jako");
    wybor.filtr = QStringLiteral("mp3 (*.mp3)");
    wybor.domyslneRozszerzenie = QStringLiteral("mp3");
    wybor.folder = m_sesja.konfiguracja().Magazyn;
    // Only the name: the dialog starts in the store folder every time.
    wybor.nazwaPliku = ExNazwaPliku(m_nazwaScalania);
    const QString nazwa = m_rozmowa.wybierzPlikDoZapisu(wybor);
    if (nazwa.isEmpty())
        return;
    m_nazwaScalania = nazwa;
    UstawienieScalania u;
    u.scalony = nazwa;
    // The summary comes first; stopped, the dialog opens without it.
    std::int64_t rozmiar = 0;
    u.podsumowanie = m_lista.podsumowanie(&rozmiar);
    if (u.podsumowanie)
        u.rozmiar = rozmiar;
    u.pozycje = m_projekt.pozycje();
    u.plikProjektu = m_projekt.NazwaProjektu();
    u.indeksSzacowany = m_sesja.konfiguracja().Wykrywanie.IndeksSzacowany;
    u.celLufs = m_sesja.celLufs();
    u.pamiec = &m_lista.glosnosci();
    m_praca.scal(u);
}

namespace {

// The offer of parts for a book of `bajty`, over the FAT limit.
QString pytanieOCzesci(std::int64_t bajty, const QString& scalony) {
    return QStringLiteral("Książka będzie miała %1, a karta z systemem plików FAT nie przyjmuje "
                          "pliku od 4 GB wzwyż. Czy zapisać ją w częściach %2, %3 i dalszych, "
                          "każdą mniejszą niż 4 GB i z własnymi plikami indeksów?\n\n"
                          "Tak: zapisz w częściach. Nie: zapisz w jednym pliku. "
                          "Anuluj: nie scalaj.")
        .arg(rozmiarDlaLudzi(bajty), QFileInfo(nazwaCzesci(scalony, 1)).fileName(),
             QFileInfo(nazwaCzesci(scalony, 2)).fileName());
}

} // namespace

std::optional<std::int64_t> SesjaWyjscie::limitCzesci(Rozmowa& rozmowa,
                                                      std::optional<std::int64_t> rozmiar,
                                                      const QString& scalony) {
    if (!rozmiar || *rozmiar <= kNajwiekszyPlikFat)
        return 0;
    Rozmowa::Pytanie pytanie{pytanieOCzesci(*rozmiar, scalony), true, Rozmowa::Odpowiedz::Tak,
                             Rozmowa::Odpowiedz::Anuluj};
    pytanie.tytul = QStringLiteral("Książka w częściach");
    switch (rozmowa.zapytaj(pytanie)) {
    case Rozmowa::Odpowiedz::Tak:
        return kNajwiekszyPlikFat;
    case Rozmowa::Odpowiedz::Nie:
        return 0;
    default:
        return std::nullopt;
    }
}

std::unique_ptr<ZadanieScalania> SesjaWyjscie::zadanieScalania(const UstawienieScalania& u,
                                                               const MiernikMp3& miernik,
                                                               bool wyrownaj,
                                                               std::int64_t limitCzesci) {
    auto zadanie = std::make_unique<ZadanieScalania>(u.scalony, u.pozycje, miernik);
    zadanie->limitCzesci = limitCzesci;
    zadanie->plikProjektu = u.plikProjektu;
    zadanie->indeksSzacowany = u.indeksSzacowany;
    if (wyrownaj) {
        zadanie->celGlosnosci = u.celLufs;
        zadanie->pamiecGlosnosci = u.pamiec;
    }
    return zadanie;
}

WynikScalania SesjaWyjscie::wynik(const ZadanieScalania& z) {
    return {z.zakonczone(), z.odmowa(), z.blad(), z.podsumowanieGlosnosci(), z.czesci()};
}

QString SesjaWyjscie::tekstKonca(const WynikScalania& wynik, bool przerwano) {
    if (wynik.zakonczone && !wynik.czesci.isEmpty()) {
        QStringList nazwy;
        for (const QString& czesc : wynik.czesci)
            nazwy.append(QFileInfo(czesc).fileName());
        QString tekst =
            QStringLiteral("Scalanie zakończone powodzeniem. Książka zapisana w %1 %2: %3")
                .arg(nazwy.size())
                .arg(nazwy.size() == 1 ? QStringLiteral("części") : QStringLiteral("częściach"))
                .arg(nazwy.join(QStringLiteral(", ")));
        if (!wynik.glosnosc.isEmpty())
            tekst += QStringLiteral(". ") + wynik.glosnosc;
        return tekst;
    }
    if (wynik.zakonczone && !wynik.glosnosc.isEmpty())
        return QStringLiteral("Scalanie zakończone powodzeniem. ") + wynik.glosnosc;
    if (wynik.zakonczone)
        return QStringLiteral("Scalanie zakończone powodzeniem");
    if (przerwano)
        return QStringLiteral("Scalanie przerwane");
    if (wynik.blad.isEmpty())
        return QStringLiteral("Scalanie nie powiodło się");
    return QStringLiteral("Scalanie nie powiodło się: ") + wynik.blad;
}

// The targets start in the store folder, named after the project.
WyborEksportu SesjaWyjscie::celeEksportu(const QString& projekt) const {
    QString nazwa = QFileInfo(projekt).completeBaseName();
    if (nazwa.isEmpty())
        nazwa = QStringLiteral("ksiazka");
    QString folder = m_sesja.konfiguracja().Magazyn;
    if (folder.isEmpty())
        folder = projekt.isEmpty() ? QDir::homePath() : QFileInfo(projekt).absolutePath();
    const QDir magazyn(folder);
    return {uzupelnijOpis(m_projekt.opisKsiazki(), m_projekt.pozycje(), projekt),
            magazyn.filePath(nazwa + QStringLiteral(" DAISY")),
            magazyn.filePath(nazwa + QStringLiteral(" (rozdziały).mp3")), m_wyrownajEksport,
            m_sesja.celLufs()};
}

void SesjaWyjscie::eksportuj() {
    const ListaPozycji pozycje = m_projekt.pozycje();
    const QString projekt = m_projekt.NazwaProjektu();
    const std::optional<WyborEksportu> wybor = m_praca.wybierzEksport(celeEksportu(projekt));
    if (!wybor)
        return;
    // Kept with the project, so that the next export starts from them.
    m_projekt.ustawOpisKsiazki(wybor->opis);
    m_wyrownajEksport = wybor->wyrownaj;

    EksportKsiazki eksport(pozycje, wybor->opis);
    eksport.plikProjektu = projekt;
    const auto bezwzgledna = [](const QString& p) {
        return p.isEmpty() ? QString() : QFileInfo(p).absoluteFilePath();
    };
    eksport.folderDaisy = bezwzgledna(wybor->folderDaisy);
    eksport.plikRozdzialow = bezwzgledna(wybor->plikRozdzialow);
    eksport.magazyn = m_sesja.konfiguracja().Magazyn;
    if (wybor->wyrownaj) {
        eksport.celGlosnosci = wybor->celLufs;
        eksport.pamiecGlosnosci = &m_lista.glosnosci();
    }
    if (!zapytajOCele(eksport))
        return;
    powiedzWynik(eksport, m_praca.eksportuj(eksport));
}

WynikEksportu SesjaWyjscie::wykonaj(EksportKsiazki& eksport) {
    WynikEksportu wynik;
    try {
        eksport.wykonaj();
        wynik.udane = true;
    } catch (const EPrzerwanyEksport&) {
        wynik.przerwano = true;
    } catch (const std::exception& e) {
        wynik.blad = errorMessage(e);
    }
    return wynik;
}

// Every question before the progress window, and none for a target that
// may not be replaced at all; No, Enter and Esc keep what is there.
bool SesjaWyjscie::zapytajOCele(EksportKsiazki& eksport) {
    QList<EksportKsiazki::CelDoZastapienia> cele;
    try {
        cele = eksport.celeDoZastapienia();
    } catch (const SonvekError& e) {
        m_rozmowa.ustawStatus(QStringLiteral("Eksport nie udał się; nic nie zapisano."));
        m_rozmowa.powiadom(e.text());
        return false;
    }
    for (const EksportKsiazki::CelDoZastapienia& cel : std::as_const(cele)) {
        if (m_rozmowa.zapytaj(Rozmowa::pytanieNieDomyslnie(cel.pytanie)) !=
            Rozmowa::Odpowiedz::Tak) {
            m_rozmowa.ustawStatus(QStringLiteral("Eksport anulowany; %1 pozostał bez zmian.")
                                      .arg(QDir::toNativeSeparators(cel.sciezka)));
            return false;
        }
        eksport.zastap = true;
    }
    return true;
}

void SesjaWyjscie::powiedzWynik(const EksportKsiazki& eksport, const WynikEksportu& wynik) {
    if (wynik.przerwano) {
        m_rozmowa.ustawStatus(QStringLiteral("Eksport przerwany; nic nie zapisano."));
        return;
    }
    if (!wynik.udane) {
        m_rozmowa.ustawStatus(QStringLiteral("Eksport nie udał się; nic nie zapisano."));
        m_rozmowa.powiadom(wynik.blad);
        return;
    }
    QStringList gotowe;
    if (!eksport.folderDaisy.isEmpty())
        gotowe.append(QStringLiteral("książka DAISY w folderze %1")
                          .arg(QDir::toNativeSeparators(eksport.folderDaisy)));
    if (!eksport.plikRozdzialow.isEmpty())
        gotowe.append(QStringLiteral("plik MP3 z rozdziałami %1")
                          .arg(QDir::toNativeSeparators(eksport.plikRozdzialow)));
    QString tekst =
        QStringLiteral("Książka wyeksportowana: %1.").arg(gotowe.join(QStringLiteral(", ")));
    if (!eksport.uwagi().isEmpty())
        tekst += QStringLiteral(" Uwagi: %1.").arg(eksport.uwagi().size());
    m_rozmowa.ustawStatus(tekst);
    if (!eksport.uwagi().isEmpty())
        m_rozmowa.powiadom(eksport.uwagi().join(QLatin1Char('\n')));
}
