#pragma once
// Writes a book front to back from the entries' bytes as their walk passes
// them, and has the system start writing every 8 MiB to the disk, so that
// the final fsync finds little left to do. Small pieces (the entries of a
// book of many short files) are gathered into writes of up to 256 KiB: each
// write costs the system about as much as copying several KiB, so one per
// short file cost more than its bytes. Large blocks go to the system as
// they come. wyslij() writes what is gathered.

#include <QString>
#include <cstdint>
#include <vector>

class ZapisKsiazki {
public:
    // `deskryptor`: open for writing, at its end; `nazwa` names it in errors.
    ZapisKsiazki(int deskryptor, QString nazwa) : fd(deskryptor), nazwa(std::move(nazwa)) {}

    // Throws EInOutError when the system refuses the bytes.
    void zapisz(const unsigned char* dane, std::int64_t n);
    void wyslij();

private:
    static constexpr std::int64_t kZbior = std::int64_t{256} << 10;
    static constexpr std::int64_t kWprost = std::int64_t{64} << 10;
    static constexpr std::int64_t kCoIleNaDysk = std::int64_t{8} << 20;

    void zapiszWprost(const unsigned char* dane, std::int64_t n);

    int fd;
    QString nazwa;
    std::vector<unsigned char> zbior;
    std::int64_t zebrane = 0;
    std::int64_t pozycja = 0, naDysk = 0;
};
