#pragma once
// A FUSE file system mounted for the length of a test whose answers can be
// held back: once zawies() is called, every lookup of its attributes
// (stat, statx) waits until zwolnij() or the end of the object, as a
// stalled network share or a hung FUSE driver does. Mounting needs
// /dev/fuse and the right to mount; check `powod` and skip otherwise.

#include <QString>
#include <memory>

class ZawieszonyFuse {
public:
    explicit ZawieszonyFuse(const QString& punkt);
    ~ZawieszonyFuse();
    ZawieszonyFuse(const ZawieszonyFuse&) = delete;
    ZawieszonyFuse& operator=(const ZawieszonyFuse&) = delete;

    void zawies();
    void zwolnij();

    QString powod; // empty when mounted

    struct Stan;

private:
    std::unique_ptr<Stan> d;
};
