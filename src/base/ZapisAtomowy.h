#pragma once
// Writes a file whole or not at all. The data goes to a new temporary file
// of a unique hidden name in the target's folder; every write is checked,
// the file is synced and closed, renamed over the target, and the folder is
// synced so that the rename survives a crash. Any failure before the rename
// removes the temporary file and leaves the target byte for byte as it was;
// the error (EInOutError) names the file and gives the system's reason.
// A failed sync of the folder after the rename is reported the same way;
// the target then holds the new content, which may not survive a crash.
//
// A target the user may not write is refused. An existing target keeps its
// permission bits and, where the system allows it, its owner and group. A
// target that is a symbolic link is written through the link.
//
// The temporary file is locked (flock) while it is written. A write killed
// before its end leaves it behind; the next write of the same target removes
// such leftovers, and never the file of a writer still running.
//
//   ZapisAtomowy zapis(sciezka);
//   zapis.zapisz(porcja);      // as often as needed
//   zapis.zatwierdz();         // only now does the target change
//
// An object destroyed without zatwierdz() removes its temporary file.

#include "base/Errors.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

struct OpcjeZapisu {
    // The error text: %1 is the file's path, %2 the system's reason.
    QString komunikat = QStringLiteral("Nie można zapisać pliku %1: %2");
    // A folder in which no new file may be created (a shared folder) but
    // whose target exists and may be written: write the target in place,
    // as the only way to save it. Its old bytes are first kept whole in a
    // copy (kopiaZapisuNaMiejscu) and in memory; they are put back when the
    // write or the sync fails, and the copy is removed once the new bytes or
    // the old ones are safely on the disk. A write that is killed leaves the
    // copy; one that cannot put the old bytes back names it in its error.
    // Only for files the writer does not read from while writing.
    bool naMiejscuWZamknietymFolderze = false;
};

class ZapisAtomowy {
public:
    // Creates the temporary file. Throws EInOutError.
    explicit ZapisAtomowy(const QString& sciezka, const OpcjeZapisu& opcje = {});
    ~ZapisAtomowy();
    ZapisAtomowy(const ZapisAtomowy&) = delete;
    ZapisAtomowy& operator=(const ZapisAtomowy&) = delete;

    // Appends bytes; a short write or an error throws EInOutError.
    void zapisz(const char* dane, qint64 dlugosc);
    void zapisz(const QByteArray& dane) { zapisz(dane.constData(), dane.size()); }

    // Syncs and puts the file in place. Throws EInOutError; after a failure
    // before the rename the target is unchanged and nothing is left behind.
    void zatwierdz();

    // True when the target is written in place (see OpcjeZapisu).
    bool naMiejscu() const { return m_naMiejscu; }

    // For a writer that puts several files in place together once all of
    // them are whole on the disk: syncs what is written so far without
    // putting it in place (zatwierdz() still does that), and the name of
    // the temporary file that holds it (empty when writing in place).
    // Throws EInOutError, and then nothing is left behind.
    void zsynchronizuj();
    QString tymczasowy() const { return QFile::decodeName(m_tymczas); }

    // After zatwierdz(): the file now in place, as the system describes it
    // (taken from the written file itself, so no later change slips in).
    struct Stan {
        qint64 rozmiar = -1;
        qint64 czasNs = 0; // of the last change of the content
        quint64 urzadzenie = 0;
        quint64 wezel = 0;
    };
    const Stan& zapisany() const { return m_zapisany; }

    // Writes `dane` as the whole content of `sciezka`.
    static void zapiszCaly(const QString& sciezka, const QByteArray& dane,
                           const OpcjeZapisu& opcje = {});

    // Test seam: the function every writer calls to sync a file or a folder
    // (fsync by default; 0 on success, -1 with errno set on failure).
    // Returns the function in use before.
    using Synchronizacja = int (*)(int deskryptor);
    static Synchronizacja ustawSynchronizacje(Synchronizacja funkcja);

private:
    void otworzNaMiejscu();
    // Closes without touching the target: the temporary file is removed,
    // or the old bytes are written back in place. False when they could
    // not be put back (the copy then stays).
    bool zamknijBezZmian();
    [[noreturn]] void porzuc(int numerBledu);
    EInOutError blad(int numerBledu) const;

    QString m_sciezka;    // as the caller named it, for messages
    QByteArray m_cel;     // the file that is replaced (a link resolved)
    QByteArray m_folder;  // its folder
    QByteArray m_tymczas; // the temporary file; empty when writing in place
    QString m_komunikat;
    int m_fd = -1;
    bool m_naMiejscu = false;
    QByteArray m_staraTresc; // in place: the target's bytes before the write
    QString m_kopia;         // in place: the copy of those bytes
    qint64 m_zapisano = 0;
    Stan m_zapisany;
};

// Where an in-place write of `sciezka` keeps the old content until it is
// done: a file in the "kopie" folder of the user's data folder, named after
// the target and its full path. It exists only while such a write runs or
// after one was killed.
QString kopiaZapisuNaMiejscu(const QString& sciezka);

// ---- temporary files beside a target ---------------------------------------------
// The program's writers name a temporary file for `cel` "." + the target's
// name (at most its first 200 bytes) + "." + a mark of digits and small
// letters + ".tmp", in the target's folder, and hold an exclusive flock on
// it while they write.

// The start of those names for `cel`, folder included, as bytes.
QByteArray poczatekNazwyTymczasowej(const QString& cel);

// Takes the lock on a temporary file just created as `nazwa`. False when
// another write's tidying removed the name meanwhile: the caller then makes
// a new one.
bool zablokujTymczasowy(int fd, const QByteArray& nazwa);

// Removes the temporary files of earlier writes of `cel` that are not
// locked: what writes killed before their end left. Returns the marks of
// those a writer still holds.
QStringList usunPozostawioneTymczasowe(const QString& cel);

// Makes a file-size limit (ulimit -f) fail a write with EFBIG, which the
// writers report, instead of ending the program by SIGXFSZ. Every program
// calls it once at its start.
void zapisyPonadLimitZwracajaBlad();

// Writes all of `dane` at the descriptor's position, again after an
// interrupted call; 0 when done, else the system's error number (a write
// that takes nothing counts as a full disk).
int zapiszWszystko(int fd, const char* dane, qint64 dlugosc);
