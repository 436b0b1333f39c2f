#include "settings/SettingsStore.h"

#include "base/ZapisAtomowy.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kHive = QStringLiteral("HKEY_CURRENT_USER\\");

QString quoted(const QString& text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

// Reads a quoted string starting at `pos` (on the opening quote); returns the
// position after the closing quote, or -1 when it is not closed.
qsizetype unquote(const QString& line, qsizetype pos, QString& out) {
    out.clear();
    if (pos >= line.size() || line.at(pos) != QLatin1Char('"'))
        return -1;
    for (qsizetype i = pos + 1; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == QLatin1Char('\\') && i + 1 < line.size()) {
            out += line.at(++i);
        } else if (c == QLatin1Char('"')) {
            return i + 1;
        } else {
            out += c;
        }
    }
    return -1;
}

// hex(2): a comma-separated list of bytes, UTF-16LE, ending in a NUL.
std::optional<QString> decodeExpandString(const QString& hexList) {
    QByteArray bytes;
    const QStringList parts = hexList.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& p : parts) {
        bool ok = false;
        const uint b = p.trimmed().toUInt(&ok, 16);
        if (!ok || b > 0xFF)
            return std::nullopt;
        bytes.append(static_cast<char>(b));
    }
    if (bytes.size() % 2)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (u == 0)
            break;
        text += QChar(u);
    }
    return text;
}

[[noreturn]] void wrongType(const RegistryKey& key, const QString& value, const char* expected) {
    throw ERegistryException(
        QStringLiteral("Wartość \u201e%1\u201d klucza %2 nie jest %3 (plik %4)")
            .arg(value, key.name(), QString::fromUtf8(expected), key.filePath()));
}

} // namespace

const RegistryKey::Value* RegistryKey::find(const QString& value) const {
    for (const auto& [name, v] : m_values) {
        if (name.compare(value, Qt::CaseInsensitive) == 0)
            return &v;
    }
    return nullptr;
}

void RegistryKey::set(const QString& value, Value v) {
    for (auto& [name, old] : m_values) {
        if (name.compare(value, Qt::CaseInsensitive) == 0) {
            old = std::move(v);
            return;
        }
    }
    m_values.append({value, std::move(v)});
}

std::optional<QString> RegistryKey::readString(const QString& value) const {
    const Value* v = find(value);
    if (!v)
        return std::nullopt;
    if (auto* s = std::get_if<QString>(v))
        return *s;
    if (auto* other = std::get_if<Other>(v)) {
        const QString prefix = QStringLiteral("hex(2):");
        if (other->raw.startsWith(prefix)) {
            if (auto text = decodeExpandString(other->raw.mid(prefix.size())))
                return text;
        }
    }
    wrongType(*this, value, "tekstem");
}

std::optional<std::int32_t> RegistryKey::readInteger(const QString& value) const {
    const Value* v = find(value);
    if (!v)
        return std::nullopt;
    if (auto* n = std::get_if<std::int32_t>(v))
        return *n;
    wrongType(*this, value, "liczbą 32-bitową (dword)");
}

void RegistryKey::writeString(const QString& value, const QString& text) {
    set(value, text);
}

void RegistryKey::writeInteger(const QString& value, std::int32_t number) {
    set(value, number);
}

QByteArray RegistryKey::fileContent() const {
    QString text = kHeader + QStringLiteral("\n\n[") + kHive + m_name + QStringLiteral("]\n");
    for (const auto& [name, v] : m_values) {
        text += quoted(name) + QLatin1Char('=');
        if (auto* s = std::get_if<QString>(&v))
            text += quoted(*s);
        else if (auto* n = std::get_if<std::int32_t>(&v))
            text += QStringLiteral("dword:%1")
                        .arg(static_cast<std::uint32_t>(*n), 8, 16, QLatin1Char('0'));
        else
            text += std::get<Other>(v).raw;
        text += QLatin1Char('\n');
    }
    return text.toUtf8();
}

void RegistryKey::commit() {
    // What the file cannot hold would come back changed, or break the
    // file for every later start; such a value is not written at all. Each
    // value is one line of its own, so each is tried alone.
    for (const auto& value : m_values) {
        RegistryKey alone(m_name, m_path);
        alone.m_values = {value};
        bool same = false;
        try {
            same = parse(m_name, m_path, alone.fileContent()).m_values == alone.m_values;
        } catch (const ERegistryException&) {
        }
        if (!same) {
            throw ERegistryException(
                QStringLiteral("Wartości \u201e%1\u201d nie można zapisać w pliku ustawień %2: "
                               "zawiera znaki, których ten plik nie przechowuje (na przykład "
                               "koniec wiersza)")
                    .arg(value.first, m_path));
        }
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    OpcjeZapisu opcje;
    opcje.komunikat = QStringLiteral("Nie można zapisać ustawień do pliku %1: %2");
    try {
        ZapisAtomowy::zapiszCaly(m_path, fileContent(), opcje);
    } catch (const EInOutError& e) {
        throw ERegistryException(e.text());
    }
}

SettingsStore::SettingsStore(QString folder) : m_folder(std::move(folder)) {}

QString SettingsStore::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/SonvekManager");
}

QString SettingsStore::keyPath(const QString& key) const {
    return m_folder + QLatin1Char('/') + key + QStringLiteral(".reg");
}

std::unique_ptr<RegistryKey> SettingsStore::open(const QString& key, bool create) const {
    auto result = load(key);
    if (!result && create) {
        result.reset(new RegistryKey(key, keyPath(key)));
        result->commit();
    }
    return result;
}

std::unique_ptr<RegistryKey> SettingsStore::openForWriting(const QString& key) const {
    std::unique_ptr<RegistryKey> result;
    try {
        result = load(key);
    } catch (const ERegistryException&) {
        // A broken file must not lock the settings for good: saving them
        // writes the key anew.
    }
    if (!result)
        result.reset(new RegistryKey(key, keyPath(key)));
    return result;
}

std::unique_ptr<RegistryKey> SettingsStore::load(const QString& key) const {
    const QString path = keyPath(key);
    QFile file(path);
    if (!file.exists())
        return nullptr;
    if (!file.open(QIODevice::ReadOnly)) {
        throw ERegistryException(QStringLiteral("Nie można odczytać ustawień z pliku %1: %2")
                                     .arg(path, file.errorString()));
    }
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw ERegistryException(QStringLiteral("Nie można odczytać ustawień z pliku %1: %2")
                                     .arg(path, file.errorString()));
    }
    return std::make_unique<RegistryKey>(RegistryKey::parse(key, path, content));
}

RegistryKey RegistryKey::parse(const QString& key, const QString& path, const QByteArray& bytes) {
    RegistryKey result(key, path);
    const QString content = QString::fromUtf8(bytes);
    const QStringList lines = content.split(QLatin1Char('\n'));
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QString line = lines.at(n);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        // Continuation lines of long hex lists end in a backslash. One on
        // the last line continues nothing and is dropped, so that a rewrite
        // does not join the next value to it.
        while (line.endsWith(QLatin1Char('\\'))) {
            line.chop(1);
            if (n + 1 >= lines.size())
                break;
            line += lines.at(++n).trimmed();
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
        }
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(QLatin1Char('"')))
            continue; // header, key line, blank line, comment
        QString name;
        qsizetype pos = unquote(trimmed, 0, name);
        if (pos < 0 || pos >= trimmed.size() || trimmed.at(pos) != QLatin1Char('=')) {
            throw ERegistryException(
                QStringLiteral("Nieprawidłowy wiersz %1 w pliku ustawień %2").arg(n + 1).arg(path));
        }
        const QString rest = trimmed.mid(pos + 1).trimmed();
        if (rest.startsWith(QLatin1Char('"'))) {
            QString value;
            if (unquote(rest, 0, value) < 0) {
                throw ERegistryException(
                    QStringLiteral("Nieprawidłowy wiersz %1 w pliku ustawień %2")
                        .arg(n + 1)
                        .arg(path));
            }
            result.m_values.append({name, value});
        } else if (rest.startsWith(QStringLiteral("dword:"), Qt::CaseInsensitive)) {
            bool ok = false;
            const QString digits = rest.mid(6);
            const uint v = digits.toUInt(&ok, 16);
            if (!ok || digits.size() > 8) {
                result.m_values.append({name, RegistryKey::Other{rest}});
            } else {
                result.m_values.append({name, static_cast<std::int32_t>(v)});
            }
        } else {
            result.m_values.append({name, RegistryKey::Other{rest}});
        }
    }
    return result;
}
