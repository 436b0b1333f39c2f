#include "import/ModulKodekow.h"

#include "import/TekstZrodla.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <dlfcn.h>
#include <mutex>

namespace {

const char kPlikModulu[] = "libsonvek-kodeki.so";

// Where the module is looked for: only where SONVEK_MODUL_KODEKOW says,
// when it is set (the build's tests); else where the installation puts it
// relative to the program, then beside the program (the build tree).
QStringList miejscaModulu() {
    QStringList miejsca;
    if (const QString z = qEnvironmentVariable("SONVEK_MODUL_KODEKOW"); !z.isEmpty())
        return {z};
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!program.isEmpty()) {
        const QString folder = QFileInfo(program).absolutePath() + u'/';
        miejsca << folder + QStringLiteral(SONVEK_KODEKI_WZGLEDNIE)
                << folder + QLatin1StringView(kPlikModulu);
    }
    return miejsca;
}

} // namespace

ModulKodekow& modulKodekow() {
    static std::once_flag raz;
    static ModulKodekow* modul = nullptr;
    static QString powod;
    std::call_once(raz, [] {
        const QStringList miejsca = miejscaModulu();
        for (const QString& miejsce : miejsca) {
            if (!QFileInfo::exists(miejsce))
                continue;
            // Never closed: its objects live as long as the program.
            void* uchwyt = dlopen(QFile::encodeName(miejsce).constData(), RTLD_NOW | RTLD_LOCAL);
            if (!uchwyt) {
                powod = QString::fromLocal8Bit(dlerror());
                continue;
            }
            auto wejscie =
                reinterpret_cast<ModulKodekow* (*)()>(dlsym(uchwyt, SONVEK_MODUL_KODEKOW_WEJSCIE));
            if (wejscie && (modul = wejscie()))
                return;
            powod =
                QStringLiteral("%1 pochodzi z innej wersji programu").arg(natywnaSciezka(miejsce));
        }
        if (powod.isEmpty())
            powod = QStringLiteral("nie ma pliku %1")
                        .arg(miejsca.isEmpty() ? QLatin1StringView(kPlikModulu)
                                               : natywnaSciezka(QDir::cleanPath(miejsca.first())));
    });
    if (!modul)
        throw EBladZrodla(
            QStringLiteral("Nie można wczytać modułu kodeków programu (%1). Bez niego "
                           "program importuje tylko pliki MP3, bez kodowania; "
                           "zainstaluj program ponownie.")
                .arg(powod));
    return *modul;
}
