#pragma once
// The progress window of bookmark detection. The files are examined one
// after another on a worker thread; the window, modal meanwhile, names the
// file being examined and how many are done, and "Anuluj" (or Esc, or
// closing it) stops the work within the file in hand. It only finds the
// titles: what becomes of them is the opener's business.

#include "audio/WykrywanieTytulu.h"
#include "widgets/OknoPostepu.h"

#include <QList>
#include <QStringList>

class TFormWykrywanie : public OknoPostepu {
    Q_OBJECT
public:
    // The caption and the line naming the file in hand ("Wykrywanie
    // zakładki: name (1 z 3)") say what the search is for.
    explicit TFormWykrywanie(QWidget* owner,
                             const QString& tytul = QStringLiteral("Wykrywanie zakładek"),
                             const QString& czynnosc = QStringLiteral("Wykrywanie zakładki"));

    using WynikPliku = WynikWykrywaniaPliku;
    using Wynik = WynikWykrywania;

    // Looks for the title of every file with `wykrywanie` and returns when
    // all are done or the user has stopped the work.
    Wynik wykryj(const QStringList& pliki, int przerwaMs, const WykrywanieTytulow& wykrywanie);

private:
    void pokaz(const QString& nazwa, int zrobione, int razem);
    QString m_czynnosc;
};
