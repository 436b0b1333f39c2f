#pragma once
// Reordering rows as a sequence of single moves of the model (moveRows), so
// that a view keeps its selection and scroll position and every step can be
// taken back exactly by its inverse.

#include <QList>
#include <utility>

// One move: `count` rows from `row` go before the row that is `to` now (the
// row count: to the end), as ModelProjektu::przenies takes it.
struct Ruch {
    int row = 0;
    int count = 1;
    int to = 0;
    bool operator==(const Ruch&) const = default;
};

// The move that puts the rows back where `ruch` took them from.
Ruch odwrotny(const Ruch& ruch);

// The rows sorted, each once, all within 0..rowCount-1; out-of-range rows
// are left out.
QList<int> uporzadkujWiersze(QList<int> wiersze, int rowCount);

// The contiguous blocks of sorted rows, each as (first, last).
QList<std::pair<int, int>> blokiWierszy(const QList<int>& wiersze);

// Whether every one of the rows can go one place up (kierunek -1) or down
// (+1): none of them is the first (last) row and there is at least one.
bool moznaPrzesunac(const QList<int>& wiersze, int kierunek, int rowCount);

// The moves that take the rows one place up or down, each contiguous block
// past its neighbour; empty when moznaPrzesunac says no. The rows stay in
// their order and end at wiersz + kierunek.
QList<Ruch> ruchyPrzesuniecia(const QList<int>& wiersze, int kierunek, int rowCount);

// The moves that gather the rows, in their order, into one block before the
// row that is `cel` now (rowCount: at the end). Moves that would leave a row
// where it is are left out, so rows already in place give none.
QList<Ruch> ruchyPrzeniesienia(const QList<int>& wiersze, int cel, int rowCount);
// Where that block starts once the rows are gathered.
int poczatekPrzeniesionych(const QList<int>& wiersze, int cel);
