#pragma once
// The merge dialog and its worker. The worker thread runs both stages of the
// merge (copying and measuring); the user-interface thread only shows what
// the worker reports through queued calls (log lines in order, progress, the
// end), so the window answers the keyboard and a screen reader all along.

#include "merge/PomiarMp3.h"
#include "project/Pozycja.h"
#include "sesja/PracaWyjscia.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <atomic>
#include <memory>
#include <optional>

class PamiecGlosnosci;
class QCheckBox;
class PasekPostepu;
class QPlainTextEdit;
class QProgressBar;
class Komunikaty;
class Rozmowa;
class QPushButton;
class QTimer;
class TSklej;
class ZadanieScalania;

class TFormScalaniePlikow : public QDialog {
    Q_OBJECT
public:
    // Entries' files are measured by `miernik`, on the worker thread; the
    // offer of a book in parts is asked through `rozmowa`.
    TFormScalaniePlikow(QWidget* parent, const Komunikaty& komunikaty, Rozmowa& rozmowa,
                        MiernikMp3 miernik);

    // What the next merge writes and reads (the project's own file is never
    // written over), with the summary, the book's size and the settings it
    // runs with.
    void przygotuj(const UstawienieScalania& u);

    // The merged book's size as the summary found it (none: not known).
    // A book of 4 GiB or more, which a FAT card does not take, is offered
    // to be written in parts when the merge starts.
    void ustawRozmiarKsiazki(std::optional<std::int64_t> bajty) { m_rozmiarKsiazki = bajty; }

    // The book's summary shown at the top from the next showing on; none: no summary.
    void ustawPodsumowanie(const QStringList& linie) { m_podsumowanie = linie; }

    // Whether the next merges estimate the bookmarks' places from the
    // book's average rate (ZadanieScalania::indeksSzacowany); off by default.
    void ustawIndeksSzacowany(bool szacowany) { m_ustawienie.indeksSzacowany = szacowany; }

    // The loudness "Wyrównaj głośność" brings each entry to, and the
    // measurements the merge uses instead of measuring again and adds to
    // (null: none kept). The check box itself is off until the user ticks
    // it, and stays as the user left it while the program runs.
    void ustawGlosnosc(double celLufs, PamiecGlosnosci* pamiec);

    QPlainTextEdit* MemoPodsumowanie = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* CheckWyrownaj = nullptr;
    QPushButton* ButtonRozpocznij = nullptr;
    QPushButton* ButtonAnuluj = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // Ready state: a one-line log naming the book, both buttons as new.
    void FormActivate();
    // Starts a merge; a press while one runs is ignored.
    void ButtonRozpocznijClick();
    // Closes the dialog; while a merge runs the button reads "Przerwij" and
    // stops the merge instead. Esc does the same.
    void ButtonAnulujClick();

    // True from "Rozpocznij" until the dialog has heard the worker's end.
    bool scalanieTrwa() const { return m_trwa; }
    // Before the program ends: true when no merge runs, or when the user
    // agrees to stop it and it has stopped; false keeps the merge going.
    bool zakonczScalanie();
    static QString pytaniePrzerwac() { return QStringLiteral("Przerwać scalanie?"); }

    // For the worker, through queued calls on the user-interface thread.
    void dopiszLinie(const QString& linia);
    void pokazPostep(std::int64_t skopiowane, std::int64_t razem);
    void zakonczono(const WynikScalania& wynik);

    ~TFormScalaniePlikow() override;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Closing the window while a merge runs asks whether to stop it.
    void closeEvent(QCloseEvent* event) override;

private:
    void ustawAnuluj(const QString& napis);
    bool zapytajOPrzerwanie();
    void przerwij();
    void zaczekajNaWatek();
    void dopiszCzekajace();
    // How long the worker's lines wait to be shown together.
    static constexpr int kOdstepDziennika = 250;

    const Komunikaty& m_komunikaty;
    Rozmowa& m_rozmowa;
    MiernikMp3 m_miernik;
    UstawienieScalania m_ustawienie;
    QStringList m_podsumowanie;
    std::optional<std::int64_t> m_rozmiarKsiazki;
    bool m_trwa = false;
    bool m_przerwano = false; // a stop was asked for the running merge
    bool m_zamknijPoZakonczeniu = false;
    PasekPostepu* m_pasek = nullptr; // ProgressBar1
    QStringList m_czekajace;         // log lines not yet shown
    QTimer* m_dopisz = nullptr;
    QPointer<TSklej> m_watek;
};

class TSklej : public QThread {
    Q_OBJECT
public:
    // The worker frees itself when its body ends. Its log lines, progress
    // and end go to `form` as queued calls; `form` waits for the worker
    // before it goes away.
    TSklej(TFormScalaniePlikow* form, std::unique_ptr<ZadanieScalania> zadanie);
    ~TSklej() override;

    // Asks the merge to stop at its next chunk; any thread may call it.
    void przerwij() { m_stop = true; }
    bool przerwanieZadane() const { return m_stop; }

protected:
    // Execute: stage 1, then stage 2 unless stage 1 failed, both here.
    void run() override;

private:
    TFormScalaniePlikow* m_form;
    std::unique_ptr<ZadanieScalania> m_zadanie;
    std::atomic<bool> m_stop = false;
};
