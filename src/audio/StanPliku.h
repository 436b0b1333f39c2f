#pragma once
// Whether a file is still the one that was read: what the memories of
// measurements key on, and what the merge compares before and after it
// reads an entry.

#include <QByteArray>
#include <QString>
#include <cstdint>

// What a file is, to tell whether it changed since it was measured: its
// device and inode, its size, the times of its last change of content and
// of status (the latter no program can set back), and a hash of its first
// and last 64 KiB. A change of the same size whose time stamp was set back
// still shows in the status time, and an edit at either end in the hash.
struct StanPliku {
    std::uint64_t urzadzenie = 0, wezel = 0;
    std::int64_t rozmiar = -1;
    std::int64_t zmianaNs = 0, stanNs = 0;
    QByteArray skrot;
    bool operator==(const StanPliku&) const = default;
    // The file by its path; rozmiar -1 when it is not there or is no
    // regular file. Without `zeSkrotem` no byte is read (skrot empty).
    static StanPliku pliku(const QString& path, bool zeSkrotem = true);
    // The file open as `fd`, read where it lies (its position stays).
    static StanPliku deskryptora(int fd, bool zeSkrotem = true);
};
