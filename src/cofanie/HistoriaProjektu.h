#pragma once
// The project's history: every change of the list goes through here as one
// step of a QUndoStack, so that each can be undone and redone and the
// project counts as changed exactly while the list differs from the state
// last saved (or loaded into an empty list, or made new).
//
// The steps live above the core because QUndoStack belongs to Qt's GUI
// module; the core model only offers the exact edits they are made of.

#include "odcinki/Odcinki.h"
#include "project/ModelProjektu.h"
#include "project/Przestawianie.h"

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

class QUndoStack;

// A bookmark to put into a row: the row and its new start and length, and
// whether the user has accepted it (unset: the mark stays as it is).
struct ZakladkaWiersza {
    int wiersz = 0;
    QString Poczatek;
    QString Dlugosc;
    std::optional<bool> Sprawdzona{};
};

class HistoriaProjektu : public QObject {
    Q_OBJECT
public:
    explicit HistoriaProjektu(ModelProjektu& model, QObject* parent = nullptr);
    ~HistoriaProjektu() override;

    ModelProjektu& model() const { return m_model; }
    QUndoStack& stos() const { return *m_stos; }

    // ---- steps ----------------------------------------------------------------
    // Inserts the entries as one block from `row`; "dodaj" when that is the
    // end of the list, "wstaw" otherwise. Nothing for no entries.
    void wstaw(int row, const ListaPozycji& pozycje);
    // Removes one row.
    void usun(int row);
    // Moves the rows one place up (-1) or down (+1); false, and no step,
    // when one of them cannot go.
    bool przesun(const QList<int>& wiersze, int kierunek);
    // Gathers the rows, in their order, before the row that is `cel` now.
    // Returns the rows where they stand afterwards; nothing moved (and no
    // step) when they already stood so.
    QList<int> przenies(const QList<int>& wiersze, int cel);
    // Writes new bookmarks (and accepted marks) into many rows as one step named `opis` (one row:
    // "zmień zakładkę pozycji N" when `opis` is empty). Rows whose bookmark
    // stays as it is are left out. Returns how many rows changed; none, no
    // step.
    int zmienZakladki(const QList<ZakladkaWiersza>& zakladki, const QString& opis = {});
    // "Nowy projekt": the list emptied and the name dropped, as one step
    // after which the (empty) project counts as unchanged.
    void nowy();
    // Appends a project file as ModelProjektu::wczytaj does, and records what
    // it appended (also when an entry stopped the reading) as one step. A
    // load into an empty, unchanged project that reads every entry is no
    // step: it starts a new history with the loaded project as the saved
    // state. Rows appended to a list that has rows mark the project changed
    // (undoing the step clears the mark again when the list was saved).
    PozycjePlikuProjektu wczytaj(const QString& path);
    // Opens a project file in place of the list: "Nowy projekt" and then
    // wczytaj, so an unchanged project of every entry starts a new history.
    // A file that is no project ("projekt" not its root) changes nothing;
    // one that cannot be read throws before the list changes.
    PozycjePlikuProjektu otworz(const QString& path);
    // Saves (ModelProjektu::zapisz) and makes this the saved state.
    void zapisz(const QString& path);
    // Records an insertion of announcements, already done, as one step
    // "wstaw odcinki" that puts the files' originals back (przywrocOdcinki)
    // and joins the clips again. It changes files, not the list: the
    // project's changed mark stays. Nothing for no files.
    void wstawionoOdcinki(const QList<ZachowanyPlik>& pliki);

    // Goes one step back or forward. A step that changes files may fail
    // with EInOutError; the history then stays where it was. (QUndoStack's
    // own undo and redo cannot report a failure.)
    void cofnij();
    void ponow();

signals:
    // After an undo or redo: the rows that step changed, where they stand
    // now (the row at the place of removed ones); a view selects them.
    void rowsAffected(const QList<int>& wiersze);

private:
    friend class KrokHistorii;
    void wypchnij(class KrokHistorii* krok);
    void dopisz(const PozycjePlikuProjektu& wczytane, const QString& path);
    void synchronizujZnacznik();
    void przejdz(bool wstecz);
    // Only steps that change no list lie between here and the saved state.
    bool listaJakZapisana() const;

    ModelProjektu& m_model;
    QUndoStack* m_stos = nullptr;
    bool m_wypychanie = false; // a step is being pushed: its first redo tells no rows
};
