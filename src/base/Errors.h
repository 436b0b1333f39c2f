#pragma once
// Error types of the program. Every operation reports failure by throwing
// one of these; the general error handler shows the text (see ErrorText).

#include <QString>
#include <stdexcept>

// Base of every error the program raises itself. The text is kept as UTF-8
// so Polish letters and file names survive the trip through what().
class SonvekError : public std::runtime_error {
public:
    explicit SonvekError(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromUtf8(what()); }
};

// The media player's error (opening, playing, "No MCI device open").
class EMCIDeviceError : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// A text that does not convert to a number ("'%s' is not a valid integer value").
class EConvertError : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// A file that cannot be created, opened, read or written.
class EInOutError : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// The text an error shows the user: SonvekError's text, or what() of any
// other std::exception decoded as UTF-8.
QString errorMessage(const std::exception& e);
