#pragma once
// The project: the ordered list of entries that the main window's list view
// shows, the name of its file and whether it has changed since it was last
// saved. The list view shows this model and keeps no copy of its own; the
// merge reads the entries from it.
//
// An entry's Lp is its row + 1, always: every change of the rows tells the
// views which numbers moved. Each edit (insert, remove, move, change) marks
// the project as changed; loading appends without doing so, saving clears
// the mark. The mark is written in one place, ustawProjektZmieniony, which
// reports every change of it with modifiedChanged.

#include "project/Pozycja.h"
#include "project/ProjectFile.h"

#include <QAbstractTableModel>

class ModelProjektu : public QAbstractTableModel {
    Q_OBJECT
public:
    // The columns in the model's order. The file name comes first, so that a
    // screen reader, which reads a row's cells in this order, says it before
    // the row's number; the list view shows "L.p." in front of it. A name
    // or folder that is not UTF-8 on the disk is shown with U+FFFD for each
    // byte that is not (nazwaDoPokazania); the entry keeps the bytes.
    enum Kolumna {
        KolNazwa,
        KolLp,
        KolPoczatek,
        KolDlugosc,
        KolSprawdzona, // "tak" for a bookmark the user has accepted
        KolFolder,
        LiczbaKolumn
    };

    explicit ModelProjektu(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // What a screen reader reads of a cell: the column with the value.
    QString tekstDostepny(const QModelIndex& index) const;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Rows are selected whole and can be dragged; nothing is edited in
    // place. Drops go between rows (the list as a whole takes them).
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Dragged rows travel as their row numbers, marked as this model's;
    // files come as URLs. The model never changes by a drop itself: the
    // list hands drops to the window, which records them as steps.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    // The rows that mimeData() of this model put into `data`, sorted; empty
    // for anything else.
    QList<int> przeciagnieteWiersze(const QMimeData* data) const;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                  const QModelIndex& destinationParent, int destinationChild) override;

    // ---- entries -------------------------------------------------------------
    // The entry of a row, with Lp its row + 1.
    PozycjaProjektu wiersz(int row) const;
    ListaPozycji pozycje() const;
    // Inserts the entries as one block from `row` (the rows from there on
    // move down behind it); their Lp is ignored.
    void wstaw(int row, const ListaPozycji& pozycje);
    // Removes `count` rows from `row` and returns their entries.
    ListaPozycji usun(int row, int count = 1);
    // Moves `count` rows from `row` so that they stand before the row that
    // is `to` now (the row count: to the end). False, and nothing moved, when
    // `to` lies inside the rows moved or a row is out of range.
    bool przenies(int row, int count, int to);
    // Writes the entry's texts into the row; only a row whose texts differ
    // counts as a change. True when it did.
    bool zmien(int row, const PozycjaProjektu& pozycja);
    // Every row's Lp from its position; they always are, so this only tells
    // the views to read the numbers again.
    void Przenumeruj();

    // ---- the project file -------------------------------------------------------
    // The current project file name; empty when the project has none.
    QString NazwaProjektu() const { return m_nazwa; }
    void ustawNazwaProjektu(const QString& nazwa);
    bool ProjektZmieniony() const { return m_zmieniony; }
    void ustawProjektZmieniony(bool zmieniony);

    // An empty project without a file name, not changed.
    void nowy();
    // Appends the entries of a project file (wczytajPozycjeProjektu), which
    // does not count as a change. Not a project file: nothing happens and the
    // result says so. An entry that stops the reading throws EConvertError
    // after the entries before it are in. Only a load that reads every entry
    // makes `path` the project's file name.
    PozycjePlikuProjektu wczytaj(const QString& path);
    // As wczytaj, with the file `path` already read.
    void dopiszWczytane(const PozycjePlikuProjektu& wczytane, const QString& path);
    // The book's details kept with the project (OpisKsiazki). Loading a file
    // that has them takes them; a changed one marks the project changed.
    const OpisKsiazki& opisKsiazki() const { return m_opis; }
    void ustawOpisKsiazki(const OpisKsiazki& opis);
    // Writes the project to `path` (zapiszPlikProjektu); then it is the
    // project's file and the project counts as saved. Throws EInOutError and
    // changes nothing when it cannot be written.
    void zapisz(const QString& path);
    // Whether another program has changed the file `path` since this
    // project last read it whole or wrote it (plikZmienionyOdOdcisku).
    bool plikZmienionyPrzezInnyProgram(const QString& path) const {
        return plikZmienionyOdOdcisku(path, m_odcisk);
    }

signals:
    void modifiedChanged(bool zmieniony);
    void fileNameChanged(const QString& nazwa);

private:
    void dopisz(const ListaPozycji& pozycje);
    void wstawWiersze(int row, const ListaPozycji& pozycje);
    // Tells the views that the numbers of rows `first` to `last` changed.
    void numeryZmienione(int first, int last);

    QList<PozycjaProjektu> m_pozycje;
    QString m_nazwa;
    OpisKsiazki m_opis;
    bool m_zmieniony = false;
    OdciskPliku m_odcisk; // of the file last read whole or written
};
