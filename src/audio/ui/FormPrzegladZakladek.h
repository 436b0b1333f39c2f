#pragma once
// "Przegląd zakładek": the entries' bookmarks one after another, by ear.
// Each entry is said and its bookmark played on arrival; the keys move,
// snap, detect, accept and walk (PrzegladZakladek decides, this window only
// maps the keys, plays and says). Snapping and detection decode on a worker
// thread, so a file on a slow disk never holds the window. What the user
// accepted is read by the opener after the window closes, however it
// closed, and written as one step.

#include "audio/DopasowanieDoPrzerw.h"
#include "audio/PrzegladZakladek.h"
#include "audio/WykrywanieTytulu.h"

#include <QDialog>
#include <QList>
#include <atomic>
#include <functional>
#include <memory>

class Komunikaty;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QTimer;

// How the window plays, speaks and finds bookmarks; tests give stand-ins.
struct UslugiPrzegladu {
    std::function<void(const QString& path, std::int64_t od, std::int64_t doMs)> odtworz;
    std::function<void()> zatrzymaj;
    std::function<void(const QString& tekst)> oglos;
    std::function<int()> przerwa = [] { return kDomyslnaPrzerwaMs; };
    // Run on a worker thread.
    std::function<ZakladkaDoPrzerw(const QString& path, int poczatekMs, int dlugoscMs,
                                   int przerwaMs, const std::atomic_bool* przerwij)>
        dopasuj = [](const QString& path, int p, int d, int przerwa, const std::atomic_bool* s) {
            return dopasujDoPrzerw(path, p, d, przerwa, s);
        };
    WykrywanieTytulow wykryj = wykryjTytul;
};

class TFormPrzegladZakladek : public QDialog {
    Q_OBJECT
public:
    // One entry: its file and its bookmark.
    struct Wpis {
        QString sciezka;
        ZakladkaPrzegladu zakladka;
    };

    TFormPrzegladZakladek(QWidget* parent, const Komunikaty& komunikaty, UslugiPrzegladu uslugi);
    ~TFormPrzegladZakladek() override;

    // The entries to review the next time the window is shown.
    void przygotuj(const QList<Wpis>& wpisy);
    const PrzegladZakladek& przeglad() const { return *m_przeglad; }

    // A key of the review; true when it was one. Public for the tests.
    bool klawisz(int key, Qt::KeyboardModifiers modifiers);

    QLineEdit* EditPrzeglad = nullptr; // the entry in hand, as said; keys go here
    QLabel* LabelKlawisze = nullptr;
    QPushButton* ButtonZatwierdz = nullptr;
    QPushButton* ButtonPomin = nullptr;
    QPushButton* ButtonWstecz = nullptr;
    QPushButton* ButtonDopasuj = nullptr;
    QPushButton* ButtonWykryj = nullptr;
    QPushButton* ButtonZakoncz = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* przycisk(const char* name, const QString& caption, const QString& accessible,
                          std::function<void()> handler);
    void powiedz(const QString& tekst);
    void przybycie(const QString& tekst); // said, shown and played on arrival
    void przesun(const QString& tekst);   // said now, played after a pause
    void odtworz(bool zPrzedbiegiem);
    void zatwierdz();
    void pomin();
    void wstecz();
    void przejdz(QString (PrzegladZakladek::*krok)());
    void dopasuj();
    void wykryj();
    // One search on a worker at a time; its result is dropped when the
    // entry in hand changed meanwhile or a newer search began.
    void wTle(std::function<std::function<void()>()> praca);
    void zakonczWatek();

    const Komunikaty& m_komunikaty;
    UslugiPrzegladu m_uslugi;
    QList<Wpis> m_wpisy;
    std::unique_ptr<PrzegladZakladek> m_przeglad;
    QTimer* m_odtworzPoRuchu = nullptr;
    std::unique_ptr<QThread> m_watek;
    std::atomic_bool m_przerwij = false;
    quint64 m_numer = 0;
};
