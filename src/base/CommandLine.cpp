#include "base/CommandLine.h"

#include <algorithm>

QString tekstWersji(const QString& nazwa) {
    const QString program = QStringLiteral("SonvekManager");
    const QString wersja = QStringLiteral(SONVEK_VERSION);
    return nazwa == program ? program + u' ' + wersja
                            : QStringLiteral("%1 (%2) %3").arg(nazwa, program, wersja);
}

RozbiorArgumentow rozbierzArgumenty(const OpisNarzedzia& narzedzie, const QStringList& argumenty,
                                    QTextStream& wyjscie, QTextStream& bledy) {
    const QString uzycie = narzedzie.nazwa + u' ' + narzedzie.argumenty;
    const auto zle = [&](const QString& problem) {
        bledy << narzedzie.nazwa << ": " << problem << ". Użycie: " << uzycie
              << " (pomoc: " << narzedzie.nazwa << " --help)" << Qt::endl;
        return RozbiorArgumentow{{}, 2};
    };
    RozbiorArgumentow wynik;
    bool opcje = true;
    for (qsizetype i = 0; i < argumenty.size(); ++i) {
        const QString& a = argumenty.at(i);
        const qsizetype rownasie = a.indexOf(u'=');
        const QString nazwa = opcje && rownasie > 0 ? a.left(rownasie) : a;
        const auto zWartoscia = std::find_if(
            narzedzie.opcje.cbegin(), narzedzie.opcje.cend(),
            [&](const OpcjaNarzedzia& o) { return !o.wartosc.isEmpty() && o.nazwa == nazwa; });
        if (!opcje || a == u'-' || !a.startsWith(u'-')) {
            wynik.argumenty.append(a);
        } else if (zWartoscia != narzedzie.opcje.cend() && zWartoscia->wartoscNieobowiazkowa) {
            if (!wynik.opcje.contains(nazwa))
                wynik.opcje.append(nazwa);
            if (rownasie > 0)
                wynik.wartosci.insert(nazwa, a.mid(rownasie + 1));
        } else if (zWartoscia != narzedzie.opcje.cend()) {
            if (rownasie > 0)
                wynik.wartosci.insert(nazwa, a.mid(rownasie + 1));
            else if (i + 1 < argumenty.size())
                wynik.wartosci.insert(nazwa, argumenty.at(++i));
            else
                return zle(QStringLiteral("opcja \u201e%1\u201d wymaga wartości").arg(nazwa));
        } else if (a == QStringLiteral("--")) {
            opcje = false;
        } else if (a == QStringLiteral("-h") || a == QStringLiteral("--help")) {
            wyjscie << "Użycie: " << uzycie << "\n\n" << narzedzie.opis << "\n\n";
            for (const OpcjaNarzedzia& o : narzedzie.opcje)
                wyjscie << "  " << o.nazwa
                        << (o.wartosc.isEmpty()       ? QString()
                            : o.wartoscNieobowiazkowa ? QStringLiteral("[=%1]").arg(o.wartosc)
                                                      : u' ' + o.wartosc)
                        << "\n      " << QString(o.opis).replace(u'\n', QStringLiteral("\n      "))
                        << '\n';
            wyjscie << "  -h, --help     pokazuje tę pomoc (shows this help)\n"
                    << "  -V, --version  pokazuje wersję programu (shows the version)\n"
                    << "  --             kończy opcje: dalej są już tylko nazwy plików\n"
                    << Qt::flush;
            return {{}, 0};
        } else if (a == QStringLiteral("-V") || a == QStringLiteral("--version")) {
            wyjscie << tekstWersji(narzedzie.nazwa) << Qt::endl;
            return {{}, 0};
        } else if (std::any_of(narzedzie.opcje.cbegin(), narzedzie.opcje.cend(),
                               [&a](const OpcjaNarzedzia& o) {
                                   return o.wartosc.isEmpty() && o.nazwa == a;
                               })) {
            if (!wynik.opcje.contains(a))
                wynik.opcje.append(a);
        } else {
            return zle(QStringLiteral("nieznana opcja \u201e%1\u201d").arg(a));
        }
    }
    if (narzedzie.liczbaArgumentow < 0 ? wynik.argumenty.isEmpty()
                                       : wynik.argumenty.size() != narzedzie.liczbaArgumentow)
        return zle(
            QStringLiteral("nieprawidłowa liczba argumentów: %1").arg(wynik.argumenty.size()));
    return wynik;
}
