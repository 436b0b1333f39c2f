#pragma once
// "Podsumowanie książki": the summary's lines in a read-only text, one a
// line, the most important first, and "Zamknij" (Enter or Esc). The window
// that measures the entries' files for it comes first (TFormBadanie).

#include "merge/Podsumowanie.h"
#include "widgets/OknoPostepu.h"
#include "widgets/OknoTekstu.h"

#include <optional>

class TFormPodsumowanie : public OknoTekstu {
    Q_OBJECT
public:
    explicit TFormPodsumowanie(QWidget* parent);
};

// The progress window while the entries' files are examined for the summary.
class TFormBadanie : public OknoPostepu {
    Q_OBJECT
public:
    explicit TFormBadanie(QWidget* owner);
    // None when the user stopped the work.
    std::optional<QList<PlikKsiazki>> zbadaj(const ListaPozycji& pozycje,
                                             const MiernikMp3& miernik);
};
