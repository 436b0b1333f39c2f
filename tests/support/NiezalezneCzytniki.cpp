#include "support/NiezalezneCzytniki.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<std::pair<double, double>> ffmpegGlosnosc(const QString& plik) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostats"), QStringLiteral("-hide_banner"), QStringLiteral("-i"), plik,
             QStringLiteral("-af"), QStringLiteral("ebur128=peak=true:dualmono=true"),
             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return std::nullopt;
    const QString out = QString::fromUtf8(p.readAllStandardError());
    const qsizetype od = out.lastIndexOf(QStringLiteral("Summary:"));
    const auto i = QRegularExpression(QStringLiteral("I:\\s+(-?[0-9.]+) LUFS")).match(out, od);
    const auto tp = QRegularExpression(QStringLiteral("Peak:\\s+(-?[0-9.]+) dBFS")).match(out, od);
    if (od < 0 || !i.hasMatch() || !tp.hasMatch())
        return std::nullopt;
    return std::pair{i.captured(1).toDouble(), tp.captured(1).toDouble()};
}

QJsonObject ffprobe(const QString& plik) {
    if (QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty())
        return {};
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_chapters"),
             QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"), plik});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QJsonObject mutagenId3(const QString& plik) {
    static const char* skrypt = R"(
import json, sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1])
def tytul(ramki):
    return str(ramki['TIT2'].text[0]) if 'TIT2' in ramki else None
print(json.dumps({
  'wersja': list(t.version),
  'ramki': [k[:4] for k in t.keys()],
  'rozdzialy': [{'id': c.element_id, 'start': c.start_time, 'koniec': c.end_time,
                 'tytul': tytul(c.sub_frames)} for c in t.getall('CHAP')],
  'obrazy': [{'typ': p.mime, 'rozmiar': len(p.data)} for p in t.getall('APIC')]}))
)";
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"), QString::fromUtf8(skrypt), plik});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QString bledyDekodowania(const QString& plik) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-err_detect"),
             QStringLiteral("crccheck"), QStringLiteral("-i"), plik, QStringLiteral("-map"),
             QStringLiteral("0:a"), QStringLiteral("-f"), QStringLiteral("null"),
             QStringLiteral("-")});
    if (!p.waitForFinished(60000))
        return QStringLiteral("(nie skończył się)");
    // Only the audio's: a cover's decoder may complain of a test's picture.
    QStringList linie = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())
                            .remove(QRegularExpression(QStringLiteral(" @ 0x[0-9a-f]+")))
                            .split(u'\n');
    linie.removeIf([](const QString& l) { return l.startsWith(QStringLiteral("[mjpeg]")); });
    return linie.join(u'\n');
}

QString bledyXmllint(const QStringList& pliki) {
    if (QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty() ||
        !QFile::exists(QStringLiteral("/usr/share/xml/w3c-sgml-lib/schema/dtd/catalog.xml")))
        return QString();
    QProcess p;
    p.start(QStringLiteral("xmllint"),
            QStringList{QStringLiteral("--valid"), QStringLiteral("--nonet"),
                        QStringLiteral("--noout")} +
                pliki);
    if (!p.waitForFinished(60000))
        return QStringLiteral("xmllint did not finish");
    const QString bledy = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode() == 0 ? QStringLiteral("") : bledy + u' ';
}

QStringList naglowkiDaisyPlayer(const QString& folder, const QStringList& oczekiwane) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("daisy-player"));
    if (program.isEmpty())
        return QStringList();
    QTemporaryDir dom;
    const QByteArray prog = QFile::encodeName(program), ksiazka = QFile::encodeName(folder),
                     home = QFile::encodeName(dom.path());
    int fd = -1;
    const pid_t pid = ::forkpty(&fd, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::setenv("TERM", "xterm", 1);
        ::setenv("HOME", home.constData(), 1);
        ::execl(prog.constData(), prog.constData(), ksiazka.constData(), "-v", "-i", "-n", "-T",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    QByteArray wyjscie;
    QDeadlineTimer termin(30000);
    auto wszystkie = [&] {
        const QString tekst = QString::fromUtf8(wyjscie);
        return std::all_of(oczekiwane.cbegin(), oczekiwane.cend(),
                           [&](const QString& o) { return tekst.contains(o); });
    };
    while (pid > 0 && !termin.hasExpired() && !wszystkie()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, int(std::min<qint64>(termin.remainingTime(), 1000))) <= 0)
            continue;
        char bufor[4096];
        const ssize_t n = ::read(fd, bufor, sizeof bufor);
        if (n <= 0)
            break; // the player has ended
        wyjscie.append(bufor, n);
    }
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(fd);
    }
    // Terminal control sequences out, one heading a line.
    QString tekst = QString::fromUtf8(wyjscie);
    tekst.remove(QRegularExpression(QStringLiteral("\x1b(\\[[0-9;?]*[A-Za-z]|[()][0-9A-Za-z])")));
    QStringList wiersze =
        tekst.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (QString& w : wiersze)
        w = w.trimmed();
    return wiersze;
}
