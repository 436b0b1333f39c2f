#include "eksport/DokumentyDaisy.h"

#include "audio/Mp3Stream.h"
#include "base/Text.h"

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

QByteArray dokumentNcc(const OpisKsiazki& opis, const MetadaneDaisy& m,
                       const ListaRozdzialow& rozdzialy) {
    const int n = int(rozdzialy.size());
    std::int64_t koniec = 0;
    if (n > 0)
        koniec = rozdzialy.last().poczatek + rozdzialy.last().dlugosc;
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
    t += meta("dc:title", opis.tytul);
    if (!opis.autor.isEmpty())
        t += meta("dc:creator", opis.autor);
    t += meta("dc:date", m.data);
    t += meta("dc:format", QStringLiteral("Daisy 2.02"));
    t += meta("dc:identifier", m.identyfikator);
    t += meta("dc:language", opis.jezyk);
    if (!opis.wydawca.isEmpty())
        t += meta("dc:publisher", opis.wydawca);
    if (!opis.rok.isEmpty())
        t += meta("ncc:sourceDate", opis.rok);
    if (!opis.lektor.isEmpty())
        t += meta("ncc:narrator", opis.lektor);
    t += meta("ncc:charset", QStringLiteral("utf-8"));
    t += meta("ncc:generator", m.generator);
    t += meta("ncc:depth", QStringLiteral("1"));
    t += meta("ncc:tocItems", QString::number(n));
    t += meta("ncc:pageFront", QStringLiteral("0"));
    t += meta("ncc:pageNormal", QStringLiteral("0"));
    t += meta("ncc:pageSpecial", QStringLiteral("0"));
    t += meta("ncc:totalTime", czasZegarowy(tikiNaMs(koniec), false));
    t += meta("ncc:multimediaType", QStringLiteral("audioNcc"));
    // ncc.html, and one SMIL file and one audio file per chapter.
    t += meta("ncc:files", QString::number(1 + 2 * n));
    t += QStringLiteral("</head>\n<body>\n");
    for (int i = 0; i < n; ++i)
        t += QStringLiteral("<h1 id=\"h%1\"><a href=\"%2#t%1\">%3</a></h1>\n")
                 .arg(i + 1)
                 .arg(nazwaSmilDaisy(i, n), xml(rozdzialy.at(i).tytul));
    t += QStringLiteral("</body>\n</html>\n");
    return t.toUtf8();
}

QByteArray dokumentSmil(const OpisKsiazki& opis, const MetadaneDaisy& m,
                        const ListaRozdzialow& rozdzialy, int i) {
    const int n = int(rozdzialy.size());
    const RozdzialKsiazki& r = rozdzialy.at(i);
    const std::int64_t dlugosc = tikiNaMs(r.dlugosc);
    QString t = kNaglowekXml;
    t += QStringLiteral("<!DOCTYPE smil PUBLIC \"-//W3C//DTD SMIL 1.0//EN\" "
                        "\"http://www.w3.org/TR/REC-smil/SMIL10.dtd\">\n<smil>\n<head>\n");
    t += meta("dc:format", QStringLiteral("Daisy 2.02"));
    t += meta("dc:identifier", m.identyfikator);
    t += meta("dc:title", opis.tytul);
    t += meta("ncc:generator", m.generator);
    t += meta("ncc:totalElapsedTime", czasZegarowy(tikiNaMs(r.poczatek), true));
    t += meta("ncc:timeInThisSmil", czasZegarowy(dlugosc, true));
    t += QStringLiteral("<layout>\n<region id=\"txtView\" />\n</layout>\n</head>\n<body>\n");
    t += QStringLiteral("<seq dur=\"%1\">\n<par endsync=\"last\" id=\"p%2\">\n"
                        "<text src=\"ncc.html#h%2\" id=\"t%2\" />\n<seq>\n")
             .arg(czasSmil(dlugosc))
             .arg(i + 1);
    // The heading's audio, then what is before it and what is after it.
    const std::int64_t od = std::min(r.zapowiedzOd, dlugosc);
    const std::int64_t doMs = std::min(r.zapowiedzDo, dlugosc);
    QList<std::pair<std::int64_t, std::int64_t>> klipy;
    if (doMs > od)
        klipy.append({od, doMs});
    if (doMs > od && od > 0)
        klipy.append({0, od});
    if (doMs > od && doMs < dlugosc)
        klipy.append({doMs, dlugosc});
    if (klipy.isEmpty())
        klipy.append({0, dlugosc});
    const QString dzwiek = nazwaDzwiekuDaisy(i, n);
    for (qsizetype k = 0; k < klipy.size(); ++k)
        t += QStringLiteral("<audio src=\"%1\" clip-begin=\"npt=%2\" clip-end=\"npt=%3\" "
                            "id=\"a%4_%5\" />\n")
                 .arg(dzwiek, czasSmil(klipy.at(k).first), czasSmil(klipy.at(k).second))
                 .arg(i + 1)
                 .arg(k + 1);
    t += QStringLiteral("</seq>\n</par>\n</seq>\n</body>\n</smil>\n");
    return t.toUtf8();
}
