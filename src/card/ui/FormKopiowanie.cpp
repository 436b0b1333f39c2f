#include "card/ui/FormKopiowanie.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <memory>

namespace {

struct Napisy {
    QString tytul, postep, przerywanie;
};

Napisy napisy(TFormKopiowanie::Tryb tryb) {
    switch (tryb) {
    case TFormKopiowanie::Tryb::Sprawdzanie:
        return {QStringLiteral("Sprawdzanie książki na karcie"),
                QStringLiteral("Postęp sprawdzania"), QStringLiteral("Przerywanie sprawdzania…")};
    case TFormKopiowanie::Tryb::Wysuwanie:
        return {QStringLiteral("Wysuwanie karty"), QStringLiteral("Postęp wysuwania"),
                QStringLiteral("Wysuwanie karty trwa, karta jeszcze nie jest gotowa do wyjęcia…")};
    case TFormKopiowanie::Tryb::Kopiowanie:
        break;
    }
    return {QStringLiteral("Kopiowanie na kartę"), QStringLiteral("Postęp kopiowania"),
            QStringLiteral("Przerywanie kopiowania…")};
}

} // namespace

TFormKopiowanie::TFormKopiowanie(QWidget* owner, Tryb tryb)
    : OknoPostepu(owner, QStringLiteral("FormKopiowanie"), napisy(tryb).tytul, napisy(tryb).postep,
                  napisy(tryb).przerywanie),
      m_tryb(tryb) {
    ProgressBar1->setRange(0, 1000); // thousandths, so books over 2 GiB fit
    ProgressBar1->setFormat(QStringLiteral("%p%"));
}

void TFormKopiowanie::pokaz(const PostepKarty& postep) {
    if (m_anulowano || postep.plik < 0 || postep.plik >= m_nazwy.size())
        return;
    const QLocale locale;
    const bool zapis = postep.etap == EtapKarty::Kopiowanie;
    const QString tekst =
        (zapis ? QStringLiteral("Kopiowanie pliku %1 (%2 z %3)\nSkopiowano %4 z %5 bajtów")
               : QStringLiteral("Sprawdzanie pliku %1 na karcie (%2 z %3)\nSprawdzono %4 z %5 "
                                "bajtów"))
            .arg(m_nazwy.at(postep.plik))
            .arg(postep.plik + 1)
            .arg(m_nazwy.size())
            .arg(locale.toString(qlonglong(postep.bajty)),
                 locale.toString(qlonglong(postep.razem)));
    if (LabelPlik->text() != tekst)
        LabelPlik->setText(tekst);
    // The copy writes every file and then reads every file back.
    std::int64_t zrobione = postep.bajty;
    for (int i = 0; i < postep.plik; ++i)
        zrobione += m_rozmiary.at(i);
    if (!zapis && m_tryb == Tryb::Kopiowanie) {
        for (const std::int64_t rozmiar : m_rozmiary)
            zrobione += rozmiar;
    }
    const int promile = m_wszystkie > 0
                            ? static_cast<int>(std::min(zrobione, m_wszystkie) * 1000 / m_wszystkie)
                            : 1000;
    if (ProgressBar1->value() != promile)
        ProgressBar1->setValue(promile);
}

ObslugaKopiowania TFormKopiowanie::obsluga(const QStringList& pliki) {
    m_nazwy.clear();
    m_rozmiary.clear();
    m_wszystkie = 0;
    for (const QString& plik : pliki) {
        m_nazwy.append(QFileInfo(plik).fileName());
        m_rozmiary.append(QFileInfo(plik).size());
        m_wszystkie += m_rozmiary.last() * (m_tryb == Tryb::Kopiowanie ? 2 : 1);
    }
    if (!pliki.isEmpty())
        pokaz({m_tryb == Tryb::Kopiowanie ? EtapKarty::Kopiowanie : EtapKarty::Sprawdzanie, 0, 0,
               m_rozmiary.first()});
    ObslugaKopiowania wynik;
    auto odPokazania = std::make_shared<QElapsedTimer>();
    wynik.postep = [this, odPokazania](const PostepKarty& postep) {
        // Each file's start and end, and between them a few updates a
        // second: enough to follow, little work for the window.
        if (postep.bajty == 0 || postep.bajty == postep.razem || !odPokazania->isValid() ||
            odPokazania->elapsed() >= 100) {
            odPokazania->start();
            QMetaObject::invokeMethod(
                this, [this, postep] { pokaz(postep); }, Qt::QueuedConnection);
        }
        return !m_anulowano;
    };
    return wynik;
}

RaportKopiowania TFormKopiowanie::kopiuj(const QStringList& pliki, const QString& korzen,
                                         const QStringList& zamien,
                                         const KopiowanieNaKarte& kopiowanie) {
    ObslugaKopiowania doPracy = obsluga(pliki);
    doPracy.czyZamienic = [&zamien](const QString& cel) { return zamien.contains(cel); };
    // The worker reads the arguments, which stay as they are while the
    // window is up, and writes only `raport`, read here after it has ended.
    RaportKopiowania raport;
    wykonaj([&] { raport = kopiowanie(pliki, korzen, doPracy); });
    return raport;
}

RaportKopiiWielu TFormKopiowanie::kopiujKsiazki(
    const QStringList& ksiazki, const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo,
    const std::function<bool(const QString&)>& czyZamienic, const KopiowanieNaKarte& kopiowanie) {
    QStringList wszystkie;
    for (const QString& ksiazka : ksiazki)
        wszystkie += plikiKsiazki(ksiazka);
    ObslugaKopiowania doPracy = obsluga(wszystkie);
    doPracy.czyZamienic = czyZamienic;
    // The core copies all the books' files as one list, or after a failure
    // each book's own: the progress counts a file by its place among all.
    const KopiowanieNaKarte wPorzadku = [&wszystkie, &kopiowanie](const QStringList& pliki,
                                                                  const QString& doKorzenia,
                                                                  const ObslugaKopiowania& o) {
        const qsizetype pierwszy = pliki.isEmpty() ? 0 : wszystkie.indexOf(pliki.first());
        ObslugaKopiowania przesunieta = o;
        if (o.postep && pierwszy > 0) {
            przesunieta.postep = [postep = o.postep, pierwszy](PostepKarty p) {
                p.plik += int(pierwszy);
                return postep(p);
            };
        }
        return kopiowanie(pliki, doKorzenia, przesunieta);
    };
    RaportKopiiWielu raport;
    wykonaj([&] { raport = kopiujKsiazkiNaKarte(ksiazki, korzen, zrodlo, doPracy, wPorzadku); });
    return raport;
}

RaportSprawdzenia TFormKopiowanie::sprawdz(const QStringList& pliki, const QString& korzen,
                                           const SprawdzanieNaKarcie& sprawdzanie) {
    const ObslugaKopiowania doPracy = obsluga(pliki);
    RaportSprawdzenia raport;
    wykonaj([&] { raport = sprawdzanie(pliki, korzen, doPracy); });
    return raport;
}

WynikWysuniecia
TFormKopiowanie::wysun(const QString& korzen,
                       const std::function<WynikWysuniecia(const QString&)>& wysuwanie) {
    LabelPlik->setText(
        QStringLiteral("Wysuwanie karty %1: zapisywanie danych i odmontowywanie…").arg(korzen));
    ProgressBar1->setRange(0, 0);
    WynikWysuniecia wynik;
    wykonaj([&] { wynik = wysuwanie(korzen); });
    return wynik;
}
