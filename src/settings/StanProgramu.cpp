#include "settings/StanProgramu.h"

#include "settings/Konfiguracja.h"
#include "settings/SettingsStore.h"

namespace {

const QString kFolderProjektow = QStringLiteral("FolderProjektow");
const QString kFolderAudio = QStringLiteral("FolderAudio");
const QString kGeometria = QStringLiteral("Geometria");

QString ostatni(int i) {
    return QStringLiteral("Ostatni%1").arg(i + 1);
}

QString tekst(const RegistryKey& key, const QString& value) {
    try {
        return key.readString(value).value_or(QString());
    } catch (const ERegistryException&) {
        return {};
    }
}

} // namespace

StanProgramu odczytajStanProgramu(const SettingsStore& store) {
    StanProgramu stan;
    std::unique_ptr<RegistryKey> key;
    try {
        key = store.open(kKluczUstawien, false);
    } catch (const ERegistryException&) {
        return stan; // the settings report a broken key themselves
    }
    if (!key)
        return stan;
    for (int i = 0; i < StanProgramu::kMaksOstatnich; ++i) {
        const QString path = tekst(*key, ostatni(i));
        if (!path.isEmpty() && !stan.OstatnieProjekty.contains(path))
            stan.OstatnieProjekty.append(path);
    }
    stan.FolderProjektow = tekst(*key, kFolderProjektow);
    stan.FolderAudio = tekst(*key, kFolderAudio);
    stan.Geometria = tekst(*key, kGeometria);
    return stan;
}

bool zapiszStanProgramu(SettingsStore& store, const StanProgramu& stan) {
    try {
        const auto key = store.open(kKluczUstawien, false);
        if (!key)
            return false;
        for (int i = 0; i < StanProgramu::kMaksOstatnich; ++i)
            key->writeString(ostatni(i), stan.OstatnieProjekty.value(i));
        key->writeString(kFolderProjektow, stan.FolderProjektow);
        key->writeString(kFolderAudio, stan.FolderAudio);
        key->writeString(kGeometria, stan.Geometria);
        key->commit();
        return true;
    } catch (const ERegistryException&) {
        return false;
    }
}

void dopiszOstatni(QStringList& ostatnie, const QString& path) {
    ostatnie.removeAll(path);
    ostatnie.prepend(path);
    while (ostatnie.size() > StanProgramu::kMaksOstatnich)
        ostatnie.removeLast();
}
