#include "app/ListaProjektu.h"

#include "project/ModelProjektu.h"
#include "project/Przestawianie.h"

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

// Draws the grid lines of the report-style list.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

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
    setObjectName(QStringLiteral("ListView1"));
    setAccessibleName(QStringLiteral("Lista plików projektu"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(new GridDelegate(this));
    // "L.p." in front of the file name, which is the model's first column.
    QHeaderView* naglowek = header();
    naglowek->moveSection(naglowek->visualIndex(ModelProjektu::KolLp), 0);
    naglowek->setStretchLastSection(true);
    naglowek->setMinimumSectionSize(40);
    naglowek->setSectionResizeMode(ModelProjektu::KolLp, QHeaderView::Fixed);
    setColumnWidth(ModelProjektu::KolLp, 40);
    setColumnWidth(ModelProjektu::KolNazwa, 350);
    setColumnWidth(ModelProjektu::KolPoczatek, 70);
    setColumnWidth(ModelProjektu::KolDlugosc, 70);
    // "nazwa pliku" never narrower than 150.
    connect(naglowek, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == ModelProjektu::KolNazwa && size < 150)
            setColumnWidth(ModelProjektu::KolNazwa, 150);
    });
}

int ListaProjektu::zaznaczonyWiersz() const {
    int row = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (row < 0 || range.top() < row)
            row = range.top();
    }
    return row;
}

QList<int> ListaProjektu::zaznaczoneWiersze() const {
    QList<int> wiersze;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        wiersze.append(index.row());
    std::sort(wiersze.begin(), wiersze.end());
    return wiersze;
}

bool ListaProjektu::zaznacz(const QList<int>& wiersze, int biezacy) {
    const QList<int> w = uporzadkujWiersze(wiersze, m_model.rowCount());
    if (w.isEmpty())
        return false;
    // Contiguous rows as one range: a selection of thousands stays cheap.
    QItemSelection zaznaczenie;
    const int ostatniaKolumna = m_model.columnCount() - 1;
    for (const auto& [pierwszy, ostatni] : blokiWierszy(w))
        zaznaczenie.select(m_model.index(pierwszy, 0), m_model.index(ostatni, ostatniaKolumna));
    const QModelIndex current =
        m_model.index(w.contains(biezacy) ? biezacy : w.first(), ModelProjektu::KolNazwa);
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    selectionModel()->select(zaznaczenie, QItemSelectionModel::ClearAndSelect);
    scrollTo(current);
    setFocus(Qt::OtherFocusReason);
    return true;
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
