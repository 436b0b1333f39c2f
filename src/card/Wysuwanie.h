#pragma once
// Ejecting the memory card the way the desktop's file managers do: through
// UDisks2 on the system's D-Bus. The card's data is flushed, its file
// system unmounted and, where the drive allows it, the drive powered off.
// "Kartę można wyjąć." is said only once the card's folder is no longer
// mounted from the card's device.

#include <QString>

struct WynikWysuniecia {
    bool moznaWyjac = false; // the card is unmounted: it may be taken out
    QString tekst;           // what the user is told, in Polish
};

// The text said when the card may be taken out.
inline constexpr char16_t kartaMoznaWyjac[] = u"Kartę można wyjąć.";

// Ejects the card mounted at `korzen` (with or without its final separator).
// Blocks until UDisks2 has answered (unmounting a slow card takes as long as
// writing out what is cached); call it off the window's thread. The bus is
// the system bus, or the one DBUS_SYSTEM_BUS_ADDRESS names.
WynikWysuniecia wysunKarte(const QString& korzen);

// The processes of this user with a file or their working folder on the
// card below `punkt` ("name (PID n)"), for the message of a busy card.
QStringList procesyNaKarcie(const QString& punkt);
