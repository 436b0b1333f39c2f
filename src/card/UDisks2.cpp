#include "card/UDisks2.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>

namespace udisks2 {

Odpowiedz obiekty(int czas) {
    if (!QDBusConnection::systemBus().isConnected())
        return {std::nullopt, QStringLiteral("brak połączenia z magistralą systemową D-Bus")};
    const QDBusMessage odpowiedz = QDBusConnection::systemBus().call(
        QDBusMessage::createMethodCall(QString::fromUtf16(usluga),
                                       QStringLiteral("/org/freedesktop/UDisks2"),
                                       QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                       QStringLiteral("GetManagedObjects")),
        QDBus::Block, czas);
    if (odpowiedz.type() == QDBusMessage::ErrorMessage)
        return {std::nullopt, odpowiedz.errorMessage().isEmpty() ? odpowiedz.errorName()
                                                                 : odpowiedz.errorMessage()};
    Obiekty wynik;
    if (odpowiedz.arguments().isEmpty())
        return {wynik, {}};
    const QDBusArgument arg = odpowiedz.arguments().first().value<QDBusArgument>();
    arg.beginMap();
    while (!arg.atEnd()) {
        QDBusObjectPath sciezka;
        QMap<QString, QVariantMap> interfejsy;
        arg.beginMapEntry();
        arg >> sciezka >> interfejsy;
        arg.endMapEntry();
        wynik.insert(sciezka.path(), interfejsy);
    }
    arg.endMap();
    return {wynik, {}};
}

QStringList punktyMontowania(const QVariant& wartosc) {
    QStringList punkty;
    const QDBusArgument arg = wartosc.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QByteArray bajty;
        arg >> bajty;
        if (bajty.endsWith('\0'))
            bajty.chop(1);
        punkty.append(QFile::decodeName(bajty));
    }
    arg.endArray();
    return punkty;
}

QString sciezkaObiektu(const QVariant& wartosc) {
    return wartosc.value<QDBusObjectPath>().path();
}

bool bladBrakuUslugi(const QString& nazwa) {
    return nazwa == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.NoServer") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.Disconnected") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.Spawn.ServiceNotFound") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
           nazwa == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod");
}

} // namespace udisks2
