#pragma once
// The progress window of "Dodaj folder...": the folder's MP3 files are found
// and each is measured (as the media player opens it) on a worker thread
// while the window, modal meanwhile, names the file and how many are done.
// "Anuluj" (or Esc, or closing it) stops the work, and then nothing is
// added: what the user stopped does not half happen.

#include "project/Otwieranie.h"
#include "widgets/OknoPostepu.h"

#include <QList>
#include <QStringList>
#include <cstdint>
#include <optional>

class TFormDodawanie : public OknoPostepu {
    Q_OBJECT
public:
    explicit TFormDodawanie(QWidget* owner);

    using Pliki = ZmierzonePliki;
    // The MP3 files of `folder` and its subfolders (przejrzyjFolder) with
    // their lengths; none when the user stopped the work.
    std::optional<Pliki> zmierzFolder(const QString& folder);
};
