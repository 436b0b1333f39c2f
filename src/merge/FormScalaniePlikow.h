#pragma once
// The merge dialog and its worker. The dialog shows the merge's log; the
// worker is a thread that does no work of its own: it hands each stage of
// the merge to the user-interface thread and waits until it has returned,
// so all file work and every update of the dialog happen there.

#include "merge/MergeJob.h"

#include <QDialog>
#include <QPointer>
#include <QThread>
#include <memory>

class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class TMainForm;

class TFormScalaniePlikow : public QDialog {
    Q_OBJECT
public:
    explicit TFormScalaniePlikow(TMainForm* mainForm);

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* ButtonRozpocznij = nullptr;
    QPushButton* ButtonAnuluj = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // Ready state: a one-line log naming the book, both buttons as new.
    void FormActivate();
    // Starts a merge; a press while one runs is ignored.
    void ButtonRozpocznijClick();
    void ButtonAnulujClick();

    // True from "Rozpocznij" until the worker has ended.
    bool scalanieTrwa() const { return trwa; }

    // For the worker (on the user-interface thread).
    void dopiszLinie(const QString& linia);
    void pokazPostep(std::int64_t skopiowane, std::int64_t razem);
    void zakonczono(const ZadanieScalania& zadanie);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ustawAnuluj(const QString& napis);

    TMainForm* glowne;
    bool trwa = false;
};

class TSklej : public QThread {
    Q_OBJECT
public:
    // The worker frees itself when its body ends.
    TSklej(TFormScalaniePlikow* form, std::unique_ptr<ZadanieScalania> zadanie);
    ~TSklej() override;

protected:
    // Execute: stage 1, then stage 2 unless stage 1 failed, each on the
    // user-interface thread.
    void run() override;

private:
    bool SklejPliki();
    void UtworzIndeksy();

    QPointer<TFormScalaniePlikow> form;
    std::unique_ptr<ZadanieScalania> zadanie;
};
