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
//   ZapisAtomowy zapis(sciezka);
//   zapis.zapisz(porcja);      // as often as needed
//   zapis.zatwierdz();         // only now does the target change
//
// An object destroyed without zatwierdz() removes its temporary file.

#include "base/Errors.h"

#include <QByteArray>
#include <QString>

struct OpcjeZapisu {
    // The error text: %1 is the file's path, %2 the system's reason.
    QString komunikat = QStringLiteral("Nie można zapisać pliku %1: %2");
    // A folder in which no new file may be created (a shared folder) but
    // whose target exists and may be written: write the target in place,
    // as the only way to save it. Its old bytes are kept in memory and put
    // back when the write or the sync fails. Only for files the writer
    // does not read from while writing.
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
    // or the old bytes are written back in place.
    void zamknijBezZmian();
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
    qint64 m_zapisano = 0;
};
