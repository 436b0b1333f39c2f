#pragma once
// The progress window of bookmark detection. The files are examined one
// after another on a worker thread; the window, modal meanwhile, names the
// file being examined and how many are done, and "Anuluj" (or Esc, or
// closing it) stops the work after the file in hand. It only finds the
// titles: what becomes of them is the opener's business.

#include "audio/WykrywanieTytulu.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <atomic>

class QLabel;
class QProgressBar;
class QPushButton;

class TFormWykrywanie : public QDialog {
    Q_OBJECT
public:
    explicit TFormWykrywanie(QWidget* owner);

    QLabel* LabelPlik = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* ButtonAnuluj = nullptr;

    // What was found in one file: a title, nothing (no pause long enough),
    // or the error that kept the file from being read.
    struct WynikPliku {
        std::optional<WykrytyTytul> tytul;
        QString blad;
    };
    struct Wynik {
        QList<WynikPliku> pliki; // one per file, in order, when not stopped
        bool przerwano = false;  // the user stopped the work
    };

    // Looks for the title of every file with `wykrywanie` and returns when
    // all are done or the user has stopped the work.
    Wynik wykryj(const QStringList& pliki, int przerwaMs, const WykrywanieTytulow& wykrywanie);

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void pokaz(const QString& nazwa, int zrobione, int razem);

    std::atomic_bool m_anulowano = false;
    bool m_trwa = false;
};
