#pragma once
// The progress bar of every long work's window. Beside the share done it
// knows how long the work has run and estimates how long it has left: a
// label of its own shows both ("Upłynęło 1:05, zostało około 2 min"), and
// to a screen reader the bar's value is "45%, zostało około 2 min".
//
// A screen reader hears it when the user asks (F9 in the bar's window, as
// the window's help line says) and otherwise at most every 30 seconds: the
// bar's own changes are not sent as value changes, which a screen reader
// would speak on its own schedule.

#include <QProgressBar>
#include <QString>
#include <cstdint>
#include <functional>

class QLabel;
class QTimer;

class PasekPostepu : public QProgressBar {
    Q_OBJECT
public:
    explicit PasekPostepu(QWidget* parent);

    // The work starts now: the clock is reset and runs until zakoncz().
    void rozpocznij();
    void zakoncz();
    // Back to before any work: no time shown.
    void wyzeruj();
    bool trwa() const { return m_trwa; }

    // "45%, zostało około 2 min".
    QString stan() const;
    // "Upłynęło 1:05, zostało około 2 min"; empty before the work starts.
    QString czas() const;
    // Has a screen reader say stan() at once.
    void powiedz();

    // The label that shows czas(), made with the bar, for the window's layout.
    QLabel* LabelCzas = nullptr;
    // "F9: ile zostało" — what the window's help line says of the key.
    static QString opisKlawisza();
    // The shortest time between two things said unasked.
    static constexpr std::int64_t kOdstepMowy = 30'000;

    // Milliseconds of a clock that only goes forward; tests set their own.
    void ustawZegar(std::function<std::int64_t()> zegar);

private:
    void odswiez();
    std::int64_t uplynelo() const;

    std::function<std::int64_t()> m_zegar;
    std::int64_t m_start = 0;
    std::int64_t m_koniec = -1;
    std::int64_t m_ostatniaMowa = 0;
    int m_wartoscMowy = -1;
    bool m_trwa = false;
    QTimer* m_takt = nullptr;
};
