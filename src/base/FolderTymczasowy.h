#pragma once
// A folder built whole under a hidden name beside its target and only then
// put in place, so that no half-made folder is ever seen under the target's
// name. The hidden folder is ".NAME.MARK.tmp"; beside it ".NAME.MARK.lock"
// is held locked (flock) while its builder lives, so a folder whose lock is
// gone or held by no one is what a killed build left, and the next build of
// the same target removes it.

#include <QString>

class FolderTymczasowy {
public:
    // Removes what killed builds of `cel` left, then makes the lock and the
    // folder. Throws EInOutError naming the target's folder.
    explicit FolderTymczasowy(const QString& cel);
    // Removes the folder, unless it was put in place, and the lock.
    ~FolderTymczasowy();
    FolderTymczasowy(const FolderTymczasowy&) = delete;
    FolderTymczasowy& operator=(const FolderTymczasowy&) = delete;

    // The hidden folder to build in.
    const QString& sciezka() const { return m_folder; }

    // Renames the folder to its target, which must not exist: an existing
    // target is never replaced (EInOutError). Syncs the parent folder.
    void umiesc();

    // Removes the hidden folders of `cel` whose lock is not held.
    static void usunPozostalosci(const QString& cel);

private:
    QString m_cel;
    QString m_folder; // empty once put in place
    QString m_blokada;
    int m_blokadaFd = -1;
};
