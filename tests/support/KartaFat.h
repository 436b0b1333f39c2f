#pragma once
// A real FAT card for a test: an image file formatted with mkfs.vfat and
// mounted through fusefat (the kernel here may have no vfat), which can be
// unmounted and mounted again as a card taken out and put back. fusefat
// gives every file a new inode number at each mount, as FAT does. Without
// the tools or /dev/fuse `powod` says why and nothing is mounted.

#include <QProcess>
#include <QString>
#include <memory>

class KartaFat {
public:
    // Makes an image of `megabajty` MiB at `obraz` and mounts it on `punkt`.
    KartaFat(const QString& obraz, const QString& punkt, int megabajty = 64);
    ~KartaFat();
    KartaFat(const KartaFat&) = delete;
    KartaFat& operator=(const KartaFat&) = delete;

    bool zamontuj();
    // Unmounts and waits until the file system has written everything.
    bool odmontuj();
    bool zamontowany() const { return m_proces != nullptr; }

    QString powod; // empty when the card is usable

private:
    QString m_obraz, m_punkt;
    std::unique_ptr<QProcess> m_proces;
};
