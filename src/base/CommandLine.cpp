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
    for (const QString& a : argumenty) {
        if (!opcje || a == u'-' || !a.startsWith(u'-')) {
            wynik.argumenty.append(a);
        } else if (a == QStringLiteral("--")) {
            opcje = false;
        } else if (a == QStringLiteral("-h") || a == QStringLiteral("--help")) {
            wyjscie << "Użycie: " << uzycie << "\n\n" << narzedzie.opis << "\n\n";
            for (const OpcjaNarzedzia& o : narzedzie.opcje)
                wyjscie << "  " << o.nazwa << "\n      "
                        << QString(o.opis).replace(u'\n', QStringLiteral("\n      ")) << '\n';
            wyjscie << "  -h, --help     pokazuje tę pomoc (shows this help)\n"
                    << "  -V, --version  pokazuje wersję programu (shows the version)\n"
                    << "  --             kończy opcje: dalej są już tylko nazwy plików\n"
                    << Qt::flush;
            return {{}, 0};
        } else if (a == QStringLiteral("-V") || a == QStringLiteral("--version")) {
            wyjscie << tekstWersji(narzedzie.nazwa) << Qt::endl;
            return {{}, 0};
        } else if (const auto o = std::find_if(
                       narzedzie.opcje.cbegin(), narzedzie.opcje.cend(),
                       [&a](const OpcjaNarzedzia& o) {
                           return o.nazwa == a || (o.zWartoscia && a.startsWith(o.nazwa + u'='));
                       });
                   o != narzedzie.opcje.cend()) {
            if (!wynik.opcje.contains(o->nazwa))
                wynik.opcje.append(o->nazwa);
            if (a.size() > o->nazwa.size())
                wynik.wartosci.insert(o->nazwa, a.mid(o->nazwa.size() + 1));
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
