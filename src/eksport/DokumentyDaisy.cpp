#include "eksport/DokumentyDaisy.h"

#include "audio/Mp3Stream.h"
#include "base/CommandLine.h"
#include "base/Text.h"

#include <QRegularExpression>

#include <algorithm>

std::int64_t tikiNaMs(std::int64_t tiki) {
    return (tiki + kTicksPerMs / 2) / kTicksPerMs;
}

namespace {

QString numer(int i, int liczba) {
    const int cyfry = std::max<int>(3, int(QString::number(liczba).size()));
    return QStringLiteral("%1").arg(i + 1, cyfry, 10, QLatin1Char('0'));
}

// Text for element content and attribute values alike.
QString xml(const QString& tekst) {
    return bezZnakowSpozaXml(tekst).toHtmlEscaped();
}

QString meta(const char* nazwa, const QString& wartosc) {
    return QStringLiteral("<meta name=\"%1\" content=\"%2\" />\n")
        .arg(QLatin1StringView(nazwa), xml(wartosc));
}

const QString kNaglowekXml = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n");

} // namespace

QString nazwaDzwiekuDaisy(int i, int liczba) {
    return u'a' + numer(i, liczba) + QStringLiteral(".mp3");
}

QString nazwaSmilDaisy(int i, int liczba) {
    return u's' + numer(i, liczba) + QStringLiteral(".smil");
}

QString czasZegarowy(std::int64_t ms, bool zMilisekundami) {
    if (!zMilisekundami)
        ms = (ms + 500) / 1000 * 1000;
    QString t = QStringLiteral("%1:%2:%3")
                    .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
                    .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                    .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'));
    if (zMilisekundami)
        t += QStringLiteral(".%1").arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return t;
}

QString czasSmil(std::int64_t ms) {
    return QStringLiteral("%1.%2s").arg(ms / 1000).arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString generatorDaisy() {
    return tekstWersji(QStringLiteral("SonvekManager"));
}

bool nccNaszejKsiazki(const QByteArray& ncc) {
    static const QRegularExpression wzor(
        QStringLiteral("<meta name=\"ncc:generator\" content=\"SonvekManager "));
    return wzor.match(QString::fromUtf8(ncc)).hasMatch();
}

bool nazwaPlikuDaisy(const QString& nazwa) {
    static const QRegularExpression wzor(
        QStringLiteral("^(ncc\\.html|a[0-9]{3,}\\.mp3|s[0-9]{3,}\\.smil)$"));
    return wzor.match(nazwa).hasMatch();
}

std::int64_t poczatekRozdzialu(const RozdzialKsiazki& r) {
    return r.zapowiedzDo > r.zapowiedzOd ? r.zapowiedzOd : 0;
}

namespace {

// The stretches of the entries' audio chapter i's SMIL plays, in order:
// (entry, from ms, to ms). The title comes before the first chapter.
struct Klip {
    int wpis;
    std::int64_t od, doMs;
};

QList<Klip> klipyRozdzialu(const ListaRozdzialow& rozdzialy, int i) {
    const RozdzialKsiazki& r = rozdzialy.at(i);
    const std::int64_t dlugosc = tikiNaMs(r.dlugosc);
    const std::int64_t od = std::min(poczatekRozdzialu(r), dlugosc);
    QList<Klip> klipy;
    // The heading's own audio (the bookmark) as a phrase of its own.
    const std::int64_t zapowiedz = std::clamp(r.zapowiedzDo, od, dlugosc);
    if (zapowiedz > od && zapowiedz < dlugosc)
        klipy.append({i, od, zapowiedz});
    klipy.append({i, klipy.isEmpty() ? od : zapowiedz, dlugosc});
    if (i + 1 < rozdzialy.size()) {
        const RozdzialKsiazki& nastepny = rozdzialy.at(i + 1);
        const std::int64_t przed =
            std::min(poczatekRozdzialu(nastepny), tikiNaMs(nastepny.dlugosc));
        if (przed > 0)
            klipy.append({i + 1, 0, przed});
    }
    return klipy;
}

QList<Klip> klipyTytulu(const ListaRozdzialow& rozdzialy) {
    const RozdzialKsiazki& r = rozdzialy.first();
    const std::int64_t przed = std::min(poczatekRozdzialu(r), tikiNaMs(r.dlugosc));
    return przed > 0 ? QList<Klip>{{0, 0, przed}} : QList<Klip>{};
}

std::int64_t czasKlipow(const QList<Klip>& klipy) {
    std::int64_t razem = 0;
    for (const Klip& k : klipy)
        razem += k.doMs - k.od;
    return razem;
}

// How long chapter i's SMIL plays, the title's audio in the first.
std::int64_t czasSmilu(const ListaRozdzialow& rozdzialy, int i) {
    return czasKlipow(klipyRozdzialu(rozdzialy, i)) +
           (i == 0 ? czasKlipow(klipyTytulu(rozdzialy)) : 0);
}

} // namespace

QByteArray dokumentNcc(const OpisKsiazki& opis, const MetadaneDaisy& m,
                       const ListaRozdzialow& rozdzialy) {
    const int n = int(rozdzialy.size());
    std::int64_t koniec = 0;
    for (int i = 0; i < n; ++i)
        koniec += czasSmilu(rozdzialy, i);
    QString t = kNaglowekXml;
    t += QStringLiteral("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                        "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n");
    const QString jezyk = xml(opis.jezyk);
    t += QStringLiteral("<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"%1\" "
                        "lang=\"%1\">\n<head>\n")
             .arg(jezyk);
    t += QStringLiteral(
        "<meta http-equiv=\"Content-type\" content=\"text/html; charset=utf-8\" />\n");
    t += QStringLiteral("<title>%1</title>\n").arg(xml(opis.tytul));
    // The creator and the publisher are required; "unknown" where not given.
    const QString nieznany = QStringLiteral("nieznany");
    t += meta("dc:title", opis.tytul);
    t += meta("dc:creator", opis.autor.isEmpty() ? nieznany : opis.autor);
    t += meta("dc:date", m.data);
    t += meta("dc:format", QStringLiteral("Daisy 2.02"));
    t += meta("dc:identifier", m.identyfikator);
    t += meta("dc:language", opis.jezyk);
    t += meta("dc:publisher", opis.wydawca.isEmpty() ? nieznany : opis.wydawca);
    if (!opis.rok.isEmpty())
        t += meta("ncc:sourceDate", opis.rok);
    if (!opis.lektor.isEmpty())
        t += meta("ncc:narrator", opis.lektor);
    t += meta("ncc:charset", QStringLiteral("utf-8"));
    t += meta("ncc:generator", m.generator);
    int glebokosc = 1;
    for (const RozdzialKsiazki& r : rozdzialy)
        glebokosc = std::max(glebokosc, r.poziom);
    t += meta("ncc:depth", QString::number(glebokosc));
    t += meta("ncc:tocItems", QString::number(n + 1));
    t += meta("ncc:pageFront", QStringLiteral("0"));
    t += meta("ncc:pageNormal", QStringLiteral("0"));
    t += meta("ncc:pageSpecial", QStringLiteral("0"));
    t += meta("ncc:totalTime", czasZegarowy(koniec, false));
    t += meta("ncc:multimediaType", QStringLiteral("audioNcc"));
    // ncc.html, and one SMIL file and one audio file per chapter.
    t += meta("ncc:files", QString::number(1 + 2 * n));
    t += QStringLiteral("</head>\n<body>\n");
    // The title leads to its own audio, or where there is none, to the
    // first chapter's.
    t += QStringLiteral("<h1 class=\"title\" id=\"h0\"><a href=\"%1#t%2\">%3</a></h1>\n")
             .arg(nazwaSmilDaisy(0, n))
             .arg(klipyTytulu(rozdzialy).isEmpty() ? 1 : 0)
             .arg(xml(opis.tytul));
    for (int i = 0; i < n; ++i)
        // One pass, so that a title holding "%4" stays as it is.
        t += QStringLiteral("<h%4 id=\"h%1\"><a href=\"%2#t%1\">%3</a></h%4>\n")
                 .arg(QString::number(i + 1), nazwaSmilDaisy(i, n), xml(rozdzialy.at(i).tytul),
                      QString::number(rozdzialy.at(i).poziom));
    t += QStringLiteral("</body>\n</html>\n");
    return t.toUtf8();
}

QByteArray dokumentSmil(const OpisKsiazki& opis, const MetadaneDaisy& m,
                        const ListaRozdzialow& rozdzialy, int i) {
    const int n = int(rozdzialy.size());
    std::int64_t przed = 0;
    for (int k = 0; k < i; ++k)
        przed += czasSmilu(rozdzialy, k);
    const std::int64_t dlugosc = czasSmilu(rozdzialy, i);
    QString t = kNaglowekXml;
    t += QStringLiteral("<!DOCTYPE smil PUBLIC \"-//W3C//DTD SMIL 1.0//EN\" "
                        "\"http://www.w3.org/TR/REC-smil/SMIL10.dtd\">\n<smil>\n<head>\n");
    t += meta("dc:format", QStringLiteral("Daisy 2.02"));
    t += meta("dc:identifier", m.identyfikator);
    t += meta("dc:title", opis.tytul);
    t += meta("ncc:generator", m.generator);
    t += meta("ncc:totalElapsedTime", czasZegarowy(przed, true));
    t += meta("ncc:timeInThisSmil", czasZegarowy(dlugosc, true));
    t += QStringLiteral("<layout>\n<region id=\"txtView\" />\n</layout>\n</head>\n<body>\n");
    t += QStringLiteral("<seq dur=\"%1\">\n").arg(czasSmil(dlugosc));
    auto par = [&](int naglowek, const QList<Klip>& klipy) {
        t += QStringLiteral("<par endsync=\"last\" id=\"p%1\">\n"
                            "<text src=\"ncc.html#h%1\" id=\"t%1\" />\n<seq>\n")
                 .arg(naglowek);
        for (qsizetype k = 0; k < klipy.size(); ++k)
            t += QStringLiteral("<audio src=\"%1\" clip-begin=\"npt=%2\" clip-end=\"npt=%3\" "
                                "id=\"a%4_%5\" />\n")
                     .arg(nazwaDzwiekuDaisy(klipy.at(k).wpis, n), czasSmil(klipy.at(k).od),
                          czasSmil(klipy.at(k).doMs))
                     .arg(naglowek)
                     .arg(k + 1);
        t += QStringLiteral("</seq>\n</par>\n");
    };
    if (i == 0 && !klipyTytulu(rozdzialy).isEmpty())
        par(0, klipyTytulu(rozdzialy));
    par(i + 1, klipyRozdzialu(rozdzialy, i));
    t += QStringLiteral("</seq>\n</body>\n</smil>\n");
    return t.toUtf8();
}
