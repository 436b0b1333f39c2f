#include "support/NiezalezneCzytniki.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

std::optional<std::pair<double, double>> ffmpegGlosnosc(const QString& plik, double odS) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostats"), QStringLiteral("-hide_banner"), QStringLiteral("-ss"),
             QString::number(odS), QStringLiteral("-i"), plik, QStringLiteral("-af"),
             QStringLiteral("ebur128=peak=true:dualmono=true"), QStringLiteral("-f"),
             QStringLiteral("null"), QStringLiteral("-")});
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

namespace {

// A tool's standard output (or error output), or nothing when it is missing
// or fails.
std::optional<QByteArray> wyjscieNarzedzia(const QString& program, const QStringList& argumenty,
                                           bool bledy = false) {
    if (QStandardPaths::findExecutable(program).isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(program, argumenty);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return bledy ? p.readAllStandardError() : p.readAllStandardOutput();
}

// Decoded frames of the file as ffprobe reports them: the byte each was
// read from and its decoded start in seconds.
QList<std::pair<qint64, double>> ramkiFfprobe(const QString& plik) {
    QList<std::pair<qint64, double>> ramki;
    const auto json = wyjscieNarzedzia(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("a"), QStringLiteral("-show_frames"), QStringLiteral("-show_entries"),
         QStringLiteral("frame=pkt_pos,nb_samples,pkt_duration_time"), QStringLiteral("-of"),
         QStringLiteral("json"), plik});
    if (!json)
        return ramki;
    double t = 0, czestotliwosc = 0;
    for (const auto& v : QJsonDocument::fromJson(*json).object().value(u"frames").toArray()) {
        const QJsonObject r = v.toObject();
        const int probki = r.value(u"nb_samples").toInt();
        if (probki == 1152 || probki == 576 || probki == 384)
            czestotliwosc =
                std::round(probki / r.value(u"pkt_duration_time").toString().toDouble() / 50) * 50;
        ramki.append({r.value(u"pkt_pos").toString().toLongLong(), t});
        if (czestotliwosc > 0)
            t += probki / czestotliwosc;
    }
    return ramki;
}

} // namespace

QMap<QString, double> dlugosciCzytnikow(const QString& plik) {
    QMap<QString, double> wynik;
    if (const auto m = wyjscieNarzedzia(QStringLiteral("mediainfo"),
                                        {QStringLiteral("--Inform=Audio;%Duration%"), plik}))
        wynik.insert(QStringLiteral("mediainfo"), m->trimmed().toDouble() / 1000);
    if (const auto g = wyjscieNarzedzia(QStringLiteral("gst-discoverer-1.0"), {plik})) {
        const auto d = QRegularExpression(QStringLiteral("Duration: (\\d+):(\\d+):([0-9.]+)"))
                           .match(QString::fromUtf8(*g));
        if (d.hasMatch())
            wynik.insert(QStringLiteral("gstreamer"), d.captured(1).toDouble() * 3600 +
                                                          d.captured(2).toDouble() * 60 +
                                                          d.captured(3).toDouble());
    }
    // The system's Python, which has the system's mutagen (another on the
    // path may lack it, and mutagen would be left out without a word).
    if (const auto m = wyjscieNarzedzia(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral(
                 "import sys, mutagen.mp3; print(mutagen.mp3.MP3(sys.argv[1]).info.length)"),
             plik});
        m && !m->trimmed().isEmpty())
        wynik.insert(QStringLiteral("mutagen"), m->trimmed().toDouble());
    if (const auto f =
            wyjscieNarzedzia(QStringLiteral("ffprobe"),
                             {QStringLiteral("-v"), QStringLiteral("error"),
                              QStringLiteral("-show_entries"), QStringLiteral("format=duration"),
                              QStringLiteral("-of"), QStringLiteral("csv=p=0"), plik}))
        wynik.insert(QStringLiteral("ffprobe"), f->trimmed().toDouble());
    return wynik;
}

std::optional<double> dlugoscDekodowana(const QString& plik) {
    const auto d = wyjscieNarzedzia(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), plik,
         QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"), QStringLiteral("1"),
         QStringLiteral("-ar"), QStringLiteral("8000"), QStringLiteral("-")});
    if (!d)
        return std::nullopt;
    return d->size() / 2 / 8000.0;
}

QString ostrzezeniaXing(const QString& plik) {
    const auto w = wyjscieNarzedzia(QStringLiteral("mp3val"), {plik});
    if (!w)
        return QString();
    QStringList xing;
    for (const QString& linia : QString::fromUtf8(*w).split(u'\n'))
        if (linia.contains(u"WARNING") && linia.contains(u"Xing"))
            xing << linia;
    return xing.join(u'\n') + QStringLiteral("");
}

std::optional<double> poczatekDzwieku(const QString& plik, double odS, double przezS) {
    constexpr int kCzestotliwosc = 8000;
    const auto d = wyjscieNarzedzia(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), plik,
         QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-ac"), QStringLiteral("1"),
         QStringLiteral("-ar"), QString::number(kCzestotliwosc), QStringLiteral("-")});
    if (!d)
        return std::nullopt;
    const auto* p = reinterpret_cast<const qint16*>(d->constData());
    const qsizetype od = std::max<qsizetype>(0, qsizetype(odS * kCzestotliwosc));
    const qsizetype n = std::min<qsizetype>(d->size() / 2, od + qsizetype(przezS * kCzestotliwosc));
    constexpr int kOkno = kCzestotliwosc / 500; // 2 ms
    QList<double> rms;
    for (qsizetype i = od; i + kOkno <= n; i += kOkno) {
        double suma = 0;
        for (int k = 0; k < kOkno; ++k)
            suma += double(p[i + k]) * p[i + k];
        rms.append(std::sqrt(suma / kOkno));
    }
    const double najwiekszy = rms.isEmpty() ? 0 : *std::max_element(rms.cbegin(), rms.cend());
    for (qsizetype i = 0; i < rms.size(); ++i)
        if (najwiekszy > 0 && rms[i] > 0.3 * najwiekszy)
            return double(od + i * kOkno) / kCzestotliwosc;
    return std::nullopt;
}

std::optional<double> czasOdBajtu(const QString& plik, qint64 bajt) {
    const auto ramki = ramkiFfprobe(plik);
    if (ramki.isEmpty())
        return std::nullopt;
    for (const auto& [polozenie, czas] : ramki)
        if (polozenie >= bajt)
            return czas;
    return ramki.last().second;
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
