#pragma once
// What the card code asks UDisks2 on the system's D-Bus (or the bus that
// DBUS_SYSTEM_BUS_ADDRESS names): its objects with their interfaces and
// properties, read in one call of the ObjectManager.

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace udisks2 {

inline constexpr char16_t usluga[] = u"org.freedesktop.UDisks2";
inline constexpr char16_t interfejsBloku[] = u"org.freedesktop.UDisks2.Block";
inline constexpr char16_t interfejsSystemuPlikow[] = u"org.freedesktop.UDisks2.Filesystem";
inline constexpr char16_t interfejsNapedu[] = u"org.freedesktop.UDisks2.Drive";

// Object path → interface → property → value.
using Obiekty = QMap<QString, QMap<QString, QVariantMap>>;

struct Odpowiedz {
    std::optional<Obiekty> obiekty; // none when UDisks2 did not answer
    QString blad;                   // then why, for the user
};

// Every object UDisks2 manages, waiting at most `czas` ms for the answer.
Odpowiedz obiekty(int czas);

// The mount points of a Filesystem's MountPoints property (byte arrays
// ending in a zero byte).
QStringList punktyMontowania(const QVariant& wartosc);

// An object path property (a Block's Drive); "/" for none.
QString sciezkaObiektu(const QVariant& wartosc);

// Whether a D-Bus error name means that UDisks2 is not there to answer.
bool bladBrakuUslugi(const QString& nazwa);

} // namespace udisks2
