#pragma once
// Free-space figures for tests: whatever the test sets, for any folder, and
// every folder counts as mounted unless the test says otherwise.

#include "card/FreeSpace.h"

class FakeWolneMiejsce final : public ZrodloWolnegoMiejsca {
public:
    FakeWolneMiejsce() = default;
    FakeWolneMiejsce(std::int64_t rozmiarKlastra, std::uint64_t wolneKlastry, bool fat = false)
        : miara(MiaraWoluminu{rozmiarKlastra, wolneKlastry, fat}) {}

    std::optional<MiaraWoluminu> zmierz(const QString& folder) const override {
        ostatniFolder = folder;
        ++zapytania;
        return miara;
    }

    bool zamontowany(const QString&) const override { return zamontowana; }

    std::optional<MiaraWoluminu> miara; // none: the query fails
    bool zamontowana = true;
    mutable QString ostatniFolder;
    mutable int zapytania = 0;
};
