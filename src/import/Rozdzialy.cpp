#include "import/Rozdzialy.h"

#include "base/Czas.h"

QList<QList<FragmentDzwieku>> odcinkiMiedzy(const QStringList& pliki,
                                            const QList<PoczatekRozdzialu>& poczatki) {
    QList<QList<FragmentDzwieku>> wynik;
    wynik.reserve(poczatki.size());
    for (qsizetype i = 0; i < poczatki.size(); ++i) {
        const PoczatekRozdzialu od = i == 0 ? PoczatekRozdzialu{} : poczatki.at(i);
        const bool ostatni = i + 1 == poczatki.size();
        const PoczatekRozdzialu doP =
            ostatni ? PoczatekRozdzialu{int(pliki.size()) - 1, -1} : poczatki.at(i + 1);
        QList<FragmentDzwieku> dzwiek;
        for (int p = od.plik; p <= doP.plik; ++p) {
            const std::int64_t a = p == od.plik ? od.us : 0;
            const std::int64_t b = p == doP.plik ? doP.us : -1;
            if (b < 0 || b > a)
                dzwiek.append({pliki.at(p), a, b});
        }
        wynik.append(dzwiek);
    }
    return wynik;
}

std::int64_t dlugoscFragmentow(const QList<FragmentDzwieku>& dzwiek,
                               const QMap<QString, PlikDzwieku>& pliki) {
    std::int64_t razem = 0;
    for (const FragmentDzwieku& f : dzwiek) {
        const std::int64_t koniec = f.doUs >= 0 ? f.doUs : pliki.value(f.plik).dlugoscUs;
        razem += std::max<std::int64_t>(0, koniec - f.odUs);
    }
    return razem;
}

std::int64_t miejsceWRozdziale(const QList<FragmentDzwieku>& dzwiek,
                               const QMap<QString, PlikDzwieku>& pliki, const QString& plik,
                               std::int64_t us) {
    std::int64_t przed = 0;
    for (const FragmentDzwieku& f : dzwiek) {
        const std::int64_t koniec = f.doUs >= 0 ? f.doUs : pliki.value(f.plik).dlugoscUs;
        if (f.plik == plik && us >= f.odUs && (us < koniec || f.doUs < 0))
            return przed + us - f.odUs;
        przed += std::max<std::int64_t>(0, koniec - f.odUs);
    }
    return -1;
}

QStringList linieZnalezionych(const ZnalezioneRozdzialy& z) {
    QStringList linie;
    QString naglowek = z.rodzaj;
    if (!z.tytul.isEmpty())
        naglowek += QStringLiteral(": „%1”").arg(z.tytul);
    if (!z.autor.isEmpty())
        naglowek += QStringLiteral(", %1").arg(z.autor);
    linie << naglowek;
    linie << QStringLiteral("Rozdziałów: %1, razem %2")
                 .arg(z.rozdzialy.size())
                 .arg(czasGodzinowy(z.dlugoscUs() / 1000));
    const bool poziomy = z.maPoziomy();
    for (qsizetype i = 0; i < z.rozdzialy.size(); ++i) {
        const RozdzialZrodla& r = z.rozdzialy.at(i);
        QString linia = QStringLiteral("%1. %2").arg(i + 1).arg(r.tytul);
        if (poziomy)
            linia += QStringLiteral(" (poziom %1)").arg(std::max(r.poziom, 1));
        linia += QStringLiteral(", %1").arg(czasGodzinowy(r.dlugoscUs / 1000));
        linie << linia;
    }
    for (const QString& u : z.uwagi)
        linie << QStringLiteral("Uwaga: ") + u;
    return linie;
}
