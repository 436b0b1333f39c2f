#pragma once
// The main window's list view: a tree view over the project model whose
// rows can be dragged to another place, and onto which files from a file
// manager can be dropped. It changes nothing itself: it says where a drop
// went and the main window records the change as a step of the history.

#include <QStringList>
#include <QTreeView>

class ModelProjektu;

class ListaProjektu : public QTreeView {
    Q_OBJECT
public:
    explicit ListaProjektu(ModelProjektu& model, QWidget* parent = nullptr);

    // Where a drop at `pos` (viewport coordinates) goes: before the row
    // under it in its upper half, after it in its lower half, at the end
    // below the last row.
    int celUpuszczenia(const QPoint& pos) const;
    // The first selected row in list order, -1 when none is selected.
    int zaznaczonyWiersz() const;
    // Every selected row, in list order.
    QList<int> zaznaczoneWiersze() const;
    // The rows (those of the model) become the selection, `biezacy` or the
    // first of them the current row, with the focus here; false when none
    // of them is a row.
    bool zaznacz(const QList<int>& wiersze, int biezacy);

signals:
    // Rows of this list dropped before the row `cel` (the row count: at the end).
    void rowsDropped(const QList<int>& wiersze, int cel);
    // Local files dropped before the row `cel`.
    void filesDropped(const QStringList& paths, int cel);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dropEvent(QDropEvent* event) override;

private:
    ModelProjektu& m_model;
};
