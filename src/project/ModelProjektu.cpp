#include "project/ModelProjektu.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"

#include <QMimeData>

#include <algorithm>

namespace {
// The rows of a drag within the list: the model's address, then the rows.
const QString kTypWierszy = QStringLiteral("application/x-sonvek-wiersze");
const QString kTypUrl = QStringLiteral("text/uri-list");
} // namespace

ModelProjektu::ModelProjektu(QObject* parent) : QAbstractTableModel(parent) {}

int ModelProjektu::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_pozycje.size());
}

int ModelProjektu::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : LiczbaKolumn;
}

QVariant ModelProjektu::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::AccessibleTextRole) ||
        !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::AccessibleTextRole)
        return tekstDostepny(index);
    const PozycjaProjektu& p = m_pozycje.at(index.row());
    switch (index.column()) {
    case KolNazwa:
        return nazwaDoPokazania(p.NazwaPliku);
    case KolLp:
        return QString::number(index.row() + 1);
    case KolPoczatek:
        return p.Poczatek;
    case KolDlugosc:
        return p.Dlugosc;
    case KolSprawdzona:
        return p.Sprawdzona ? QStringLiteral("tak") : QString();
    case KolFolder:
        return nazwaDoPokazania(p.Folder);
    default:
        return {};
    }
}

// A screen reader reads a row cell by cell: each number says what it is
// ("początek 0 ms"), the name stays as it is.
QString ModelProjektu::tekstDostepny(const QModelIndex& index) const {
    const PozycjaProjektu& p = m_pozycje.at(index.row());
    const auto wMs = [](const QString& kolumna, const QString& wartosc) {
        return tryStrToInt(wartosc) ? kolumna + u' ' + wartosc + QStringLiteral(" ms")
                                    : kolumna + u' ' + wartosc;
    };
    switch (index.column()) {
    case KolLp:
        return QStringLiteral("L.p. %1").arg(index.row() + 1);
    case KolPoczatek:
        return wMs(QStringLiteral("początek"), p.Poczatek);
    case KolDlugosc:
        return wMs(QStringLiteral("długość"), p.Dlugosc);
    case KolSprawdzona:
        // Said only where it is so: forty rows of "niesprawdzona" would drown the rest.
        return p.Sprawdzona ? QStringLiteral("sprawdzona") : QString();
    case KolFolder:
        return QStringLiteral("folder ") + nazwaDoPokazania(p.Folder);
    default:
        return nazwaDoPokazania(p.NazwaPliku);
    }
}

QVariant ModelProjektu::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case KolNazwa:
        return QStringLiteral("nazwa pliku");
    case KolLp:
        return QStringLiteral("L.p.");
    case KolPoczatek:
        return QStringLiteral("początek");
    case KolDlugosc:
        return QStringLiteral("długość");
    case KolSprawdzona:
        return QStringLiteral("sprawdzona");
    case KolFolder:
        return QStringLiteral("folder");
    default:
        return {};
    }
}

Qt::ItemFlags ModelProjektu::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList ModelProjektu::mimeTypes() const {
    return {kTypWierszy, kTypUrl};
}

QMimeData* ModelProjektu::mimeData(const QModelIndexList& indexes) const {
    QList<int> wiersze;
    for (const QModelIndex& i : indexes) {
        if (checkIndex(i, CheckIndexOption::IndexIsValid) && !wiersze.contains(i.row()))
            wiersze.append(i.row());
    }
    if (wiersze.isEmpty())
        return nullptr;
    std::sort(wiersze.begin(), wiersze.end());
    QStringList tekst{QString::number(reinterpret_cast<quintptr>(this))};
    for (int w : wiersze)
        tekst.append(QString::number(w));
    auto* data = new QMimeData;
    data->setData(kTypWierszy, tekst.join(QLatin1Char(' ')).toLatin1());
    return data;
}

Qt::DropActions ModelProjektu::supportedDragActions() const {
    return Qt::MoveAction;
}

Qt::DropActions ModelProjektu::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction | Qt::LinkAction;
}

bool ModelProjektu::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                    const QModelIndex& parent) const {
    return data && !parent.isValid() && (data->hasUrls() || !przeciagnieteWiersze(data).isEmpty());
}

bool ModelProjektu::dropMimeData(const QMimeData*, Qt::DropAction, int, int, const QModelIndex&) {
    return false;
}

QList<int> ModelProjektu::przeciagnieteWiersze(const QMimeData* data) const {
    if (!data || !data->hasFormat(kTypWierszy))
        return {};
    const QStringList tekst = QString::fromLatin1(data->data(kTypWierszy)).split(QLatin1Char(' '));
    if (tekst.value(0) != QString::number(reinterpret_cast<quintptr>(this)))
        return {};
    QList<int> wiersze;
    for (qsizetype i = 1; i < tekst.size(); ++i) {
        bool ok = false;
        const int w = tekst.at(i).toInt(&ok);
        if (!ok || w < 0 || w >= rowCount() || (!wiersze.isEmpty() && w <= wiersze.last()))
            return {};
        wiersze.append(w);
    }
    return wiersze;
}

// ---- entries -------------------------------------------------------------------

PozycjaProjektu ModelProjektu::wiersz(int row) const {
    PozycjaProjektu p = m_pozycje.at(row);
    p.Lp = QString::number(row + 1);
    return p;
}

ListaPozycji ModelProjektu::pozycje() const {
    ListaPozycji wynik;
    wynik.reserve(m_pozycje.size());
    for (int i = 0; i < m_pozycje.size(); ++i)
        wynik.append(wiersz(i));
    return wynik;
}

void ModelProjektu::wstawWiersze(int row, const ListaPozycji& pozycje) {
    if (pozycje.isEmpty())
        return;
    const int n = static_cast<int>(pozycje.size());
    beginInsertRows({}, row, row + n - 1);
    m_pozycje.insert(row, n, {});
    for (int i = 0; i < n; ++i) {
        m_pozycje[row + i] = pozycje.at(i);
        m_pozycje[row + i].Lp.clear(); // the row gives it
    }
    endInsertRows();
    numeryZmienione(row + n, rowCount() - 1);
}

void ModelProjektu::wstaw(int row, const ListaPozycji& pozycje) {
    Q_ASSERT(row >= 0 && row <= rowCount());
    wstawWiersze(row, pozycje);
    if (!pozycje.isEmpty())
        ustawProjektZmieniony(true);
}

void ModelProjektu::dopisz(const ListaPozycji& pozycje) {
    wstawWiersze(rowCount(), pozycje);
}

bool ModelProjektu::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count <= 0 || row < 0 || row + count > rowCount())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_pozycje.remove(row, count);
    endRemoveRows();
    numeryZmienione(row, rowCount() - 1);
    ustawProjektZmieniony(true);
    return true;
}

ListaPozycji ModelProjektu::usun(int row, int count) {
    ListaPozycji usuniete;
    for (int i = row; i >= 0 && i < row + count && i < rowCount(); ++i)
        usuniete.append(wiersz(i));
    return removeRows(row, count) ? usuniete : ListaPozycji();
}

bool ModelProjektu::moveRows(const QModelIndex& sourceParent, int sourceRow, int count,
                             const QModelIndex& destinationParent, int destinationChild) {
    const int n = rowCount();
    if (sourceParent.isValid() || destinationParent.isValid() || count <= 0 || sourceRow < 0 ||
        sourceRow + count > n || destinationChild < 0 || destinationChild > n)
        return false;
    // beginMoveRows refuses a place inside the block or right behind it.
    if (!beginMoveRows({}, sourceRow, sourceRow + count - 1, {}, destinationChild))
        return false;
    if (destinationChild > sourceRow) {
        for (int i = 0; i < count; ++i)
            m_pozycje.move(sourceRow, destinationChild - 1);
    } else {
        for (int i = 0; i < count; ++i)
            m_pozycje.move(sourceRow + i, destinationChild + i);
    }
    endMoveRows();
    numeryZmienione(std::min(sourceRow, destinationChild),
                    std::max(sourceRow + count, destinationChild) - 1);
    ustawProjektZmieniony(true);
    return true;
}

bool ModelProjektu::przenies(int row, int count, int to) {
    return moveRows({}, row, count, {}, to);
}

bool ModelProjektu::zmien(int row, const PozycjaProjektu& pozycja) {
    PozycjaProjektu nowa = pozycja;
    nowa.Lp.clear();
    if (nowa == m_pozycje.at(row))
        return false;
    m_pozycje[row] = nowa;
    emit dataChanged(index(row, 0), index(row, LiczbaKolumn - 1),
                     {Qt::DisplayRole, Qt::AccessibleTextRole});
    ustawProjektZmieniony(true);
    return true;
}

void ModelProjektu::Przenumeruj() {
    numeryZmienione(0, rowCount() - 1);
}

void ModelProjektu::numeryZmienione(int first, int last) {
    if (first <= last)
        emit dataChanged(index(first, KolLp), index(last, KolLp),
                         {Qt::DisplayRole, Qt::AccessibleTextRole});
}

// ---- the project file --------------------------------------------------------------

void ModelProjektu::ustawNazwaProjektu(const QString& nazwa) {
    if (nazwa == m_nazwa)
        return;
    m_nazwa = nazwa;
    emit fileNameChanged(m_nazwa);
}

void ModelProjektu::ustawProjektZmieniony(bool zmieniony) {
    if (zmieniony == m_zmieniony)
        return;
    m_zmieniony = zmieniony;
    emit modifiedChanged(m_zmieniony);
}

void ModelProjektu::nowy() {
    beginResetModel();
    m_pozycje.clear();
    endResetModel();
    m_opis = {};
    ustawNazwaProjektu(QString());
    ustawProjektZmieniony(false);
}

PozycjePlikuProjektu ModelProjektu::wczytaj(const QString& path) {
    const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
    dopiszWczytane(wczytane, path);
    return wczytane;
}

void ModelProjektu::dopiszWczytane(const PozycjePlikuProjektu& wczytane, const QString& path) {
    dopisz(wczytane.pozycje);
    if (!wczytane.opis.pusty())
        m_opis = wczytane.opis;
    if (!wczytane.blad.isEmpty())
        throw EConvertError(wczytane.blad);
    if (wczytane.korzenProjekt) {
        m_odcisk = wczytane.odcisk;
        ustawNazwaProjektu(path);
    }
}

void ModelProjektu::zapisz(const QString& path) {
    m_odcisk = zapiszPlikProjektu(path, pozycje(), m_opis);
    ustawProjektZmieniony(false);
    ustawNazwaProjektu(path);
}

void ModelProjektu::ustawOpisKsiazki(const OpisKsiazki& opis) {
    if (opis == m_opis)
        return;
    m_opis = opis;
    ustawProjektZmieniony(true);
}
