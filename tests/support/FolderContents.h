#pragma once
// Helpers for tests that must show that an operation left files alone.

#include "support/FileBytes.h"

#include <QMap>

// Every entry directly in `folder`, hidden ones included: name -> content
// (empty for a folder, a FIFO or a device).
QMap<QString, QByteArray> zawartoscFolderu(const QString& folder);
