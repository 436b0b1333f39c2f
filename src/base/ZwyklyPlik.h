#pragma once
// Opening a file whose contents the program reads (an entry's audio, a
// book's part). Only a regular file (or a link to one) has contents to
// read: a FIFO would hold open() until some other program writes to it, a
// device may never end, a folder has no bytes. Such names are refused, and
// open() itself never waits.

#include <QFile>
#include <QString>
#include <cstdint>

// What `sciezka` names, by stat alone (links followed; nothing is opened,
// so a FIFO holds no one): whether anything is there, its size, and why it
// is not a regular file ("to jest folder, nie plik", ...; empty for a
// regular file).
struct RodzajPliku {
    bool istnieje = false;
    bool folder = false;
    std::int64_t rozmiar = 0;
    QString powod;
    bool zwykly() const { return istnieje && powod.isEmpty(); }
};
RodzajPliku zbadajPlik(const QString& sciezka);

// Why `sciezka` names something other than a regular file ("to jest
// folder, nie plik", "to jest potok (FIFO), a nie zwykły plik", ...); an
// empty text for a regular file and for a name that does not exist.
QString powodNiezwyklegoPliku(const QString& sciezka);

// Opens `sciezka` into `plik` for unbuffered reading. Returns an empty text
// on success, otherwise the reason in Polish (the file does not exist, no
// access, not a regular file, or the system's own text); `plik` is then
// closed.
QString otworzZwyklyPlik(QFile& plik, const QString& sciezka);

#ifdef Q_OS_UNIX
// The same check with a bare descriptor, for a caller that reads many files
// and wants no system call beyond the check (QFile asks for the size and the
// position again): on success `fd` is open for reading (the caller closes
// it) and `rozmiar` holds the size the check saw. With bezCzasuDostepu,
// reading the file does not update its access time where the system allows
// (O_NOATIME: the file's owner, root).
QString otworzZwyklyDeskryptor(const QString& sciezka, int& fd, std::int64_t& rozmiar,
                               bool bezCzasuDostepu = false);
#endif

// A regular file open for reading by its bare descriptor, closed with the
// object: a reader of thousands of small files spends no more system calls
// than the check of what was opened needs (otworzZwyklyDeskryptor), and
// leaves the files' access times alone where the system allows. Throws
// EInOutError "Nie można otworzyć pliku X: ...".
class OtwartyZwyklyPlik {
public:
    explicit OtwartyZwyklyPlik(const QString& sciezka);
    ~OtwartyZwyklyPlik();
    OtwartyZwyklyPlik(const OtwartyZwyklyPlik&) = delete;
    OtwartyZwyklyPlik& operator=(const OtwartyZwyklyPlik&) = delete;

    int deskryptor() const { return m_fd; }
    std::int64_t rozmiar() const { return m_rozmiar; }

private:
    int m_fd = -1;
    std::int64_t m_rozmiar = 0;
#ifndef Q_OS_UNIX
    QFile m_plik;
#endif
};
