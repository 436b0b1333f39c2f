#pragma once
// Rows of a list view chosen as the user chooses them. Only the tests of
// windows include this.

#include <QAbstractItemView>
#include <QItemSelectionModel>

// Adds the row to the selection, as Ctrl+click does.
inline void zaznaczWiersz(QAbstractItemView* lista, int row) {
    lista->selectionModel()->select(lista->model()->index(row, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
