#include "settings/ui/ListaDyskow.h"

#include "widgets/BezZamrazania.h"

#include <QDir>

ListaDyskow::ListaDyskow(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(24);
}

ListaWoluminow ListaDyskow::bezZamrazania(std::function<ListaWoluminow()> skan) {
    return ::bezZamrazania(std::move(skan), limitSkanuWoluminow + 3000).value_or(ListaWoluminow{});
}

void ListaDyskow::wypelnij(const ListaWoluminow& woluminy) {
    const QString wybrany = punktMontowania();
    const QSignalBlocker cicho(this);
    clear();
    for (const Wolumin& w : woluminy)
        addItem(w.opis(), w.punktMontowania);
    // Adding to an empty list selects its first entry; only a volume that
    // was selected before may be selected now.
    setCurrentIndex(wybrany.isEmpty() ? -1 : findData(wybrany));
}

QString ListaDyskow::punktMontowania() const {
    return currentIndex() < 0 ? QString() : currentData().toString();
}

bool ListaDyskow::wybierz(const QString& punkt) {
    for (int i = 0; i < count(); ++i) {
        if (itemData(i).toString() == punkt) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

bool ListaDyskow::wybierzZawierajacy(const QString& sciezka) {
    const QString czysta = QDir::cleanPath(sciezka);
    int najlepszy = -1;
    qsizetype dlugosc = -1;
    for (int i = 0; i < count(); ++i) {
        const QString punkt = itemData(i).toString();
        const bool zawiera = czysta == punkt || punkt == QDir::rootPath() ||
                             czysta.startsWith(punkt + QLatin1Char('/'));
        if (zawiera && punkt.size() > dlugosc) {
            najlepszy = i;
            dlugosc = punkt.size();
        }
    }
    if (najlepszy < 0)
        return false;
    setCurrentIndex(najlepszy);
    return true;
}
