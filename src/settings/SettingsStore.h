#pragma once
// The per-user settings store. On Linux it stands in for the registry: each
// key is one text file `<key>.reg` in the store's folder, in registry-export
// style, so a user can read and edit it:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\SonvCom]
//   "Karta"="/media/karta"
//   "Magazyn"="/home/ola/Książki"
//   "Zakladka"=dword:00001388
//
// Values keep their registry types: text (REG_SZ, or REG_EXPAND_SZ written
// as hex(2):, read unexpanded) and 32-bit integers (REG_DWORD, eight hex
// digits, two's complement). Reading a value of the wrong type is an error.
// Changes are written with commit(), atomically: the file is either the old
// one or the new one, never a mixture.

#include "base/Errors.h"

#include <QList>
#include <QPair>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <variant>

// An error of the settings store: a mistyped value, a file that cannot be
// read or written.
class ERegistryException : public SonvekError {
public:
    using SonvekError::SonvekError;
};

class RegistryKey {
public:
    // A value of another registry type (binary, multi-string...), kept as
    // the raw text after '=' so it survives a rewrite.
    struct Other {
        QString raw;
        bool operator==(const Other&) const = default;
    };
    using Value = std::variant<QString, std::int32_t, Other>;

    const QString& name() const { return m_name; }
    const QString& filePath() const { return m_path; }

    // Missing value: nullopt. Value of another type: ERegistryException.
    std::optional<QString> readString(const QString& value) const;
    std::optional<std::int32_t> readInteger(const QString& value) const;

    // Changes stay in memory until commit().
    void writeString(const QString& value, const QString& text);
    void writeInteger(const QString& value, std::int32_t number);
    // Writes the whole key file atomically; throws ERegistryException when
    // a value would not read back unchanged or the file cannot be written.
    void commit();

    // The key file's content for the values in memory.
    QByteArray fileContent() const;
    // A key as read from a key file's content; `path` names the file in
    // errors. Throws ERegistryException for a line it cannot read. Every
    // value it reads survives fileContent() and a second reading unchanged.
    static RegistryKey parse(const QString& name, const QString& path, const QByteArray& content);
    const QList<QPair<QString, Value>>& values() const { return m_values; }

private:
    friend class SettingsStore;
    RegistryKey(QString name, QString path) : m_name(std::move(name)), m_path(std::move(path)) {}
    void set(const QString& value, Value v);
    const Value* find(const QString& value) const;

    QString m_name;
    QString m_path;
    QList<QPair<QString, Value>> m_values; // in file order
};

class SettingsStore {
public:
    // `folder` holds the key files; it is created when a key is created.
    explicit SettingsStore(QString folder);
    // $XDG_CONFIG_HOME/SonvekManager (default ~/.config/SonvekManager).
    static QString defaultFolder();

    const QString& folder() const { return m_folder; }

    // Opens a key. Without `create`, a missing key gives nullptr; with it, a
    // missing key is created empty (and its file written). A key file that
    // cannot be read or parsed throws ERegistryException.
    std::unique_ptr<RegistryKey> open(const QString& key, bool create) const;
    // Opens a key to be rewritten: with its values when it exists and can
    // be read, empty when it is missing, unreadable or broken (the commit
    // then rewrites it whole). Nothing is written before commit(), so a
    // save that fails leaves no key behind where there was none.
    std::unique_ptr<RegistryKey> openForWriting(const QString& key) const;

private:
    QString keyPath(const QString& key) const;
    // The key as stored; nullptr when its file is missing.
    std::unique_ptr<RegistryKey> load(const QString& key) const;
    QString m_folder;
};
