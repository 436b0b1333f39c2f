#pragma once
// Helpers for tests that must show that an operation left files alone.

#include <QByteArray>
#include <QMap>
#include <QString>

// Every file directly in `folder`, hidden ones included: name -> content.
QMap<QString, QByteArray> zawartoscFolderu(const QString& folder);

// Writes `content` to `path`, replacing it; fails the calling test when it
// cannot (use with QVERIFY).
bool zapiszPlik(const QString& path, const QByteArray& content);
QByteArray czytajPlik(const QString& path);
