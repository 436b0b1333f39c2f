#pragma once
// A progress window for long work on a worker thread: a label that names
// what is being done, a progress bar (PasekPostepu: the time spent and left,
// F9 says it), a help line naming the keys and "Anuluj". The window is modal while
// the work runs; "Anuluj", Esc or closing the window asks the work to stop
// and says so, and the window stays until the worker has ended. It never
// asks anything: every question comes before it exists.

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class OknoPostepu : public QDialog {
    Q_OBJECT
public:
    // `nazwa` is the window's object name, `tytul` its title and accessible
    // name, `postep` the progress bar's accessible name, `przerywanie` what
    // the label says once a stop is asked.
    OknoPostepu(QWidget* owner, const QString& nazwa, const QString& tytul, const QString& postep,
                const QString& przerywanie);

    QLabel* LabelPlik = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* ButtonAnuluj = nullptr;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

    // Runs `praca` on a worker thread below the window's priority while the
    // window is shown, and returns when it has ended.
    void wykonaj(const std::function<void()>& praca);
    // Set by a stop; the work reads it (also through its address) and ends.
    std::atomic_bool m_anulowano = false;

    // For a core's callbacks, called on the worker: a step of the work
    // shown in the label (until a stop is asked), and the share done shown
    // on the bar, scaled to its range as it is when the callback is made.
    std::function<void(const QString&)> dziennikDoEtykiety();
    std::function<void(std::int64_t zrobione, std::int64_t razem)> postepDoPaska();

private:
    QString m_przerywanie;
    bool m_trwa = false;
};
