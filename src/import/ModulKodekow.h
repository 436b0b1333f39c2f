#pragma once
// The import's decoding and encoding (FFmpeg's libraries and LAME) live in
// a module of their own, libsonvek-kodeki.so, loaded the first time a source
// is not MP3 or a chapter must be encoded. FFmpeg and its dependencies are
// over a hundred shared libraries: a program that links them waits for the
// dynamic loader for a tenth of a second at every start, and a book of MP3
// files, only cut, never needs them.
//
// The module depends on Qt Core and the codec libraries only, never on the
// program's own code: what it cannot do it says in a text (the file's name
// in it) that the program throws as its own error. Exceptions of callbacks
// (a full disk while writing) pass through it untouched.

#include "import/KoderMp3.h"
#include "import/Rozdzialy.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class DekoderModulu {
public:
    virtual ~DekoderModulu() = default;
    // DekoderDzwieku::dekoduj; a failure leaves its text in `blad`.
    virtual std::int64_t dekoduj(std::int64_t odUs, std::int64_t doUs, std::int64_t oczekiwaneUs,
                                 const std::function<void(const std::int16_t*, int)>& odbierz,
                                 const std::atomic_bool& stop, QString& blad) = 0;
};

class KoderModulu {
public:
    virtual ~KoderModulu() = default;
    // Append the MP3 bytes ready to `wyjscie`; false when LAME fails.
    virtual bool koduj(const std::int16_t* probki, int ramki, QByteArray& wyjscie) = 0;
    virtual bool zakoncz(QByteArray& wyjscie) = 0;
    virtual QByteArray naglowekInfo() = 0;
    virtual int opoznienie() const = 0;
};

class ModulKodekow {
public:
    // `nazwa` is the file as messages show it. A file that is not there
    // or no regular file is told apart before these are asked.
    virtual PlikDzwieku zbadaj(const QString& sciezka, const QString& nazwa, QString& blad) = 0;
    virtual std::unique_ptr<DekoderModulu> dekoder(const QString& sciezka, const QString& nazwa,
                                                   int czestotliwosc, int kanaly,
                                                   QString& blad) = 0;
    // Nothing when LAME refuses the format.
    virtual std::unique_ptr<KoderModulu> koder(const FormatKodowania& format) = 0;

protected:
    ~ModulKodekow() = default;
};

// The module's one entry point. The number in its name changes with every
// change of the classes above, so that a module of another version is
// refused instead of called wrongly.
#define SONVEK_MODUL_KODEKOW_WEJSCIE "sonvek_modul_kodekow_1"
extern "C" ModulKodekow* sonvek_modul_kodekow_1();

// The loaded module (loaded on the first call). Throws EBladZrodla with a
// Polish message when it cannot be found or loaded.
ModulKodekow& modulKodekow();
