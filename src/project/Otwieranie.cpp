#include "project/Otwieranie.h"

#include "base/Text.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

bool rozszerzenie(const QFileInfo& info, QLatin1StringView jakie) {
    return info.suffix().compare(jakie, Qt::CaseInsensitive) == 0;
}

// Paths below one folder compared folder by folder, each name in the
// number-aware order of the file lists.
bool przedSciezka(const QStringList& a, const QStringList& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (const int c = porownajNazwy(a.at(i), b.at(i)); c != 0)
            return c < 0;
    }
    return a.size() < b.size();
}

} // namespace

bool jestPlikiemProjektu(const QString& path) {
    QFile plik(path);
    if (!plik.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&plik);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement)
            return xml.name() == u"projekt";
    }
    return false;
}

WskazanePliki rozpoznajWskazane(const QStringList& argumenty) {
    WskazanePliki wynik;
    const auto nie = [&](const QString& path, const QString& powod) {
        wynik.nieotwarte << path + QStringLiteral(": ") + powod;
    };
    // A "--" first ends the options: what follows is a name even when it
    // starts with "-".
    const QStringList nazwy = argumenty.value(0) == u"--" ? argumenty.mid(1) : argumenty;
    for (const QString& argument : nazwy) {
        const QFileInfo info(argument);
        const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
        if (!info.exists()) {
            nie(path, QStringLiteral("nie ma takiego pliku ani folderu"));
        } else if (info.isDir()) {
            if (QDir(path).isReadable())
                wynik.foldery << path;
            else
                nie(path, QStringLiteral("nie można odczytać folderu"));
        } else if (!info.isFile() || !info.isReadable()) {
            nie(path, QStringLiteral("nie można odczytać pliku"));
        } else if (rozszerzenie(info, QLatin1StringView("mp3"))) {
            wynik.pliki << path;
        } else if (!jestPlikiemProjektu(path)) {
            nie(path, rozszerzenie(info, QLatin1StringView("xml"))
                          ? QStringLiteral("to nie jest plik projektu")
                          : QStringLiteral("to nie jest plik MP3, folder ani projekt"));
        } else if (!wynik.projekt.isEmpty()) {
            nie(path, QStringLiteral("otwierany jest już projekt ") + wynik.projekt);
        } else {
            wynik.projekt = path;
        }
    }
    return wynik;
}

QStringList plikiMp3Folderu(const QString& folder, const std::atomic_bool* przerwac) {
    return plikiFolderu(folder, {QStringLiteral("mp3")}, przerwac);
}

QStringList plikiFolderu(const QString& folder, const QStringList& rozszerzenia,
                         const std::atomic_bool* przerwac) {
    const QDir korzen(folder);
    QList<QStringList> czesci;
    QDirIterator it(folder, QDir::Files | QDir::Readable | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (przerwac && *przerwac)
            return {};
        const QFileInfo info = it.nextFileInfo();
        if (rozszerzenia.contains(info.suffix(), Qt::CaseInsensitive))
            czesci << korzen.relativeFilePath(info.filePath()).split(u'/');
    }
    std::sort(czesci.begin(), czesci.end(), przedSciezka);
    QStringList wynik;
    wynik.reserve(czesci.size());
    for (const QStringList& c : std::as_const(czesci))
        wynik << QDir::toNativeSeparators(korzen.filePath(c.join(u'/')));
    return wynik;
}
