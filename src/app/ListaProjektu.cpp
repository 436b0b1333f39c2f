#include "app/ListaProjektu.h"

#include "project/ModelProjektu.h"

#include <QDrag>
#include <QDropEvent>
#include <QMimeData>

ListaProjektu::ListaProjektu(ModelProjektu& model, QWidget* parent)
    : QTreeView(parent), m_model(model) {
    setModel(&model);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDragDropOverwriteMode(false);
    setDefaultDropAction(Qt::MoveAction);
}

int ListaProjektu::celUpuszczenia(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid())
        return m_model.rowCount();
    return visualRect(index).center().y() <= pos.y() ? index.row() + 1 : index.row();
}

// The drag carries the selected rows. What the drop does happens in
// dropEvent; the view's own removal of moved rows after a drag is left
// out, so the model changes only through the history.
void ListaProjektu::startDrag(Qt::DropActions) {
    const QModelIndexList rows = selectionModel()->selectedRows();
    QMimeData* data = m_model.mimeData(rows);
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction);
}

void ListaProjektu::dropEvent(QDropEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int cel = celUpuszczenia(pos);
    const QList<int> wiersze = m_model.przeciagnieteWiersze(event->mimeData());
    QStringList pliki;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            pliki.append(url.toLocalFile());
    }
    stopAutoScroll();
    setState(NoState);
    viewport()->update();
    if (!wiersze.isEmpty()) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        emit rowsDropped(wiersze, cel);
    } else if (!pliki.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(pliki, cel);
    } else {
        event->ignore();
    }
}
