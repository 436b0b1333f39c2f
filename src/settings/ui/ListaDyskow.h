#pragma once
// The drop-down list of drives of the settings dialogs: one entry per
// mounted volume, shown as "mountpoint [label]". An entry stands for its
// mount point; the list may have no selection at all.

#include "card/Volumes.h"

#include <QComboBox>
#include <functional>

class ListaDyskow : public QComboBox {
    Q_OBJECT
public:
    explicit ListaDyskow(QWidget* parent = nullptr);

    // The volumes `skan` gives, found on a worker thread while the window
    // keeps painting (see BezZamrazania.h); none when the scan, which has a
    // limit of its own, has not ended well after it.
    static ListaWoluminow bezZamrazania(std::function<ListaWoluminow()> skan);

    // Refills the list; the selected volume stays selected while it is
    // still mounted, otherwise nothing is selected.
    void wypelnij(const ListaWoluminow& woluminy);
    // The mount point of the selected entry; empty when none is selected.
    QString punktMontowania() const;
    // Selects the entry mounted exactly at `punkt`; when there is none the
    // selection stays as it was and the result is false.
    bool wybierz(const QString& punkt);
    // Selects the volume that holds `sciezka` (the deepest mount point
    // above it); false, selection unchanged, when no listed volume does.
    bool wybierzZawierajacy(const QString& sciezka);
};
