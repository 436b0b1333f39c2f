#include "base/DataDirs.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The user's data folder, then the system's, by the XDG base directory
// rules: an unset or empty variable takes its default, and a relative path
// is not a valid entry.
QStringList folderyXdg() {
    QString dom = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dom))
        dom = QDir::homePath() + QStringLiteral("/.local/share");
    QStringList foldery{dom};
    const QString systemowe = qEnvironmentVariable("XDG_DATA_DIRS");
    if (systemowe.isEmpty())
        return foldery << QStringLiteral("/usr/local/share") << QStringLiteral("/usr/share");
    for (const QString& folder : systemowe.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder))
            foldery.append(folder);
    }
    return foldery;
}

} // namespace

QString folderDanychUzytkownika() {
    return QDir::cleanPath(folderyXdg().constFirst() + u'/' + QStringLiteral(SONVEK_DATA_NAME));
}

QStringList folderyDanych(const QString& folderProgramu) {
    const QString nazwa = QStringLiteral(SONVEK_DATA_NAME);
    QStringList foldery{QDir::cleanPath(folderProgramu)};
    for (const QString& xdg : folderyXdg())
        foldery.append(QDir::cleanPath(xdg + u'/' + nazwa));
    foldery.append(QDir::cleanPath(folderProgramu + QStringLiteral("/../share/") + nazwa));
    foldery.removeDuplicates();
    return foldery;
}

QString znajdzDane(const QString& folderProgramu, const QString& nazwa) {
    for (const QString& folder : folderyDanych(folderProgramu)) {
        const QString sciezka = QDir(folder).filePath(nazwa);
        if (QFileInfo::exists(sciezka))
            return sciezka;
    }
    return {};
}

QString sciezkaPomocy(const QString& folderProgramu) {
    const QString nazwa = QStringLiteral("pomoc.html");
    const QString biezacy = QDir::current().absoluteFilePath(nazwa);
    return QFileInfo::exists(biezacy) ? biezacy : znajdzDane(folderProgramu, nazwa);
}
