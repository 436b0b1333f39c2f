#pragma once
// Test helper: runs one of the project's command-line tools (built beside
// the tests, in src/) and collects what it printed.

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>

struct Wynik {
    int kod = -1;        // -1: did not finish normally
    QStringList wyjscie; // standard output, one entry a line
    QString bledy;       // standard error output
};

// `powloka`, when given, is run by the shell first, in the tool's own
// process ("ulimit -f 8": a limit on the size of the files it writes).
inline Wynik uruchomNarzedzie(const QString& nazwa, const QStringList& argumenty,
                              const QString& powloka = QString()) {
    QProcess p;
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../src/") + nazwa;
    if (powloka.isEmpty())
        p.start(program, argumenty);
    else
        p.start(QStringLiteral("/bin/sh"),
                QStringList{QStringLiteral("-c"),
                            powloka + QStringLiteral(" && exec \"$0\" \"$@\""), program} +
                    argumenty);
    Wynik w;
    if (!p.waitForFinished(120000))
        return w;
    w.kod = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    w.wyjscie = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (w.wyjscie.last().isEmpty())
        w.wyjscie.removeLast();
    w.bledy = QString::fromUtf8(p.readAllStandardError());
    return w;
}
