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

inline Wynik uruchomNarzedzie(const QString& nazwa, const QStringList& argumenty) {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../src/") + nazwa, argumenty);
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
