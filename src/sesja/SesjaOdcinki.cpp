// Episode announcements.

#include "base/Errors.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "odcinki/Odcinki.h"
#include "project/ModelProjektu.h"
#include "sesja/Rozmowa.h"
#include "sesja/Sesja.h"

namespace {

// What the insertion did, for the closing message: the files left alone
// because they already begin with a clip, and where the originals are.
QString podsumowanie(const WstawioneOdcinki& wynik) {
    const QString gotowe = QStringLiteral("Zapowiedzi odcinków zostały dołączone");
    if (wynik.pominiete.isEmpty() && wynik.pliki.isEmpty())
        return gotowe;
    QString tekst;
    if (wynik.pliki.isEmpty())
        tekst = QStringLiteral("Żaden plik nie został zmieniony. Te pliki zaczynają się już "
                               "zapowiedzią:");
    else if (!wynik.pominiete.isEmpty())
        tekst = gotowe + QStringLiteral(". Te pliki zaczynają się już zapowiedzią i zostały "
                                        "pominięte:");
    else
        tekst = gotowe + QLatin1Char('.');
    constexpr int najwyzej = 20;
    for (qsizetype i = 0; i < std::min<qsizetype>(wynik.pominiete.size(), najwyzej); ++i)
        tekst += QLatin1Char('\n') + wynik.pominiete[i];
    if (wynik.pominiete.size() > najwyzej)
        tekst += QStringLiteral("\n… i %1 innych").arg(wynik.pominiete.size() - najwyzej);
    if (!wynik.pliki.isEmpty()) {
        tekst += QStringLiteral("\n\nOryginały zmienionych plików są przez %1 dni w folderze %2. "
                                "Polecenie „Cofnij” je przywraca.")
                     .arg(dniPrzechowywaniaOryginalow)
                     .arg(wynik.folderKopii);
    }
    return tekst;
}

} // namespace

void Sesja::wstawOdcinki() {
    if (m_projekt.rowCount() == 0)
        return;
    // The list is read, never written: the bookmarks keep their values and
    // the project stays as saved.
    const ListaPozycji lista = m_projekt.pozycje();
    const QString folder = folderZapowiedzi(m_uslugi.programDir);
    // Clips of another sample rate or channel count make a merged book that
    // many players stumble over; the user decides before anything changes.
    if (const auto rozbieznosc = pierwszaRozbieznosc(folder, lista)) {
        const QString pytanie = QStringLiteral("Zapowiedzi mają inne parametry dźwięku niż pliki "
                                               "projektu (%1). Kontynuować?")
                                    .arg(*rozbieznosc);
        if (m_rozmowa.zapytaj({pytanie}) != Rozmowa::Odpowiedz::Tak)
            return;
    }
    const QString oryginaly =
        m_uslugi.folderOryginalow.isEmpty() ? folderOryginalow() : m_uslugi.folderOryginalow;
    // The files rewritten are one step of the history, also when a row
    // stopped the insertion.
    WstawioneOdcinki wynik;
    try {
        ::wstawOdcinki(folder, lista, oryginaly, wynik);
    } catch (const SonvekError& e) {
        m_historia.wstawionoOdcinki(wynik.pliki);
        if (wynik.pliki.isEmpty())
            throw;
        throw EInOutError(errorBoxText(e.text()) +
                          QStringLiteral("\nPolecenie „Cofnij” przywraca oryginały tych plików."));
    }
    m_historia.wstawionoOdcinki(wynik.pliki);
    m_rozmowa.powiadom(podsumowanie(wynik));
}
