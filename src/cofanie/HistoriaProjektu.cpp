#include "cofanie/HistoriaProjektu.h"

#include "base/Errors.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QUndoStack>

#include <algorithm>
#include <numeric>

namespace {

// "1 pozycję", "3 pozycje", "5 pozycji": the count as a step's name says it.
QString pozycje(int n) {
    if (n == 1)
        return QStringLiteral("1 pozycję");
    const bool kilka = n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14);
    return QString::number(n) + (kilka ? QStringLiteral(" pozycje") : QStringLiteral(" pozycji"));
}

// "pozycję 3" for one row, "3 pozycje" for more: what a step did it to.
QString ktore(const QList<int>& wiersze) {
    return wiersze.size() == 1 ? QStringLiteral("pozycję %1").arg(wiersze.first() + 1)
                               : pozycje(static_cast<int>(wiersze.size()));
}

QList<int> kolejne(int od, int ile) {
    QList<int> wynik(ile);
    std::iota(wynik.begin(), wynik.end(), od);
    return wynik;
}

} // namespace

// A step of the history. redo() and undo() do the work through the model
// and then tell which rows they changed, except on the push that does a
// step the first time (the command that asked for it places the focus), and
// a step already done before it was recorded skips that first redo.
class KrokHistorii : public QUndoCommand {
public:
    KrokHistorii(HistoriaProjektu& historia, const QString& opis, bool juzWykonany = false)
        : QUndoCommand(opis), m_historia(historia), m_pominRedo(juzWykonany) {}
    void redo() final {
        if (m_pominRedo) {
            m_pominRedo = false;
            return;
        }
        zglos(naprzod());
    }
    void undo() final { zglos(wstecz()); }
    // False for a step that changes files and leaves the list as it is.
    virtual bool zmieniaListe() const { return true; }

protected:
    ModelProjektu& model() const { return m_historia.m_model; }
    // Each returns the rows to show afterwards.
    virtual QList<int> naprzod() = 0;
    virtual QList<int> wstecz() = 0;

private:
    void zglos(const QList<int>& wiersze) {
        if (!m_historia.m_wypychanie && zmieniaListe())
            emit m_historia.rowsAffected(wiersze);
    }
    HistoriaProjektu& m_historia;
    bool m_pominRedo;
};

namespace {

// Rows that come or go as one block: an insertion, or (odwrotnie) a removal.
class KrokWierszy : public KrokHistorii {
public:
    KrokWierszy(HistoriaProjektu& h, const QString& opis, int row, ListaPozycji pozycje,
                bool usuniecie)
        : KrokHistorii(h, opis), m_row(row), m_pozycje(std::move(pozycje)), m_usuniecie(usuniecie) {
    }

protected:
    QList<int> naprzod() override { return m_usuniecie ? usun() : wstaw(); }
    QList<int> wstecz() override { return m_usuniecie ? wstaw() : usun(); }

private:
    QList<int> wstaw() {
        model().wstaw(m_row, m_pozycje);
        return kolejne(m_row, static_cast<int>(m_pozycje.size()));
    }
    QList<int> usun() {
        model().usun(m_row, static_cast<int>(m_pozycje.size()));
        const int n = model().rowCount();
        return n ? QList<int>{std::min(m_row, n - 1)} : QList<int>{};
    }
    int m_row;
    ListaPozycji m_pozycje;
    bool m_usuniecie;
};

// Rows reordered by a sequence of moves.
class KrokRuchow : public KrokHistorii {
public:
    KrokRuchow(HistoriaProjektu& h, const QString& opis, QList<Ruch> ruchy, QList<int> przed,
               QList<int> po)
        : KrokHistorii(h, opis), m_ruchy(std::move(ruchy)), m_przed(std::move(przed)),
          m_po(std::move(po)) {}

protected:
    QList<int> naprzod() override {
        for (const Ruch& r : std::as_const(m_ruchy))
            model().przenies(r.row, r.count, r.to);
        return m_po;
    }
    QList<int> wstecz() override {
        for (auto it = m_ruchy.crbegin(); it != m_ruchy.crend(); ++it) {
            const Ruch r = odwrotny(*it);
            model().przenies(r.row, r.count, r.to);
        }
        return m_przed;
    }

private:
    QList<Ruch> m_ruchy;
    QList<int> m_przed;
    QList<int> m_po;
};

// New bookmarks in some rows; each row keeps its old one to go back to.
class KrokZakladek : public KrokHistorii {
public:
    struct Wiersz {
        int row;
        PozycjaProjektu przed;
        PozycjaProjektu po;
    };
    KrokZakladek(HistoriaProjektu& h, const QString& opis, QList<Wiersz> wiersze)
        : KrokHistorii(h, opis), m_wiersze(std::move(wiersze)) {}

protected:
    QList<int> naprzod() override { return ustaw(&Wiersz::po); }
    QList<int> wstecz() override { return ustaw(&Wiersz::przed); }

private:
    QList<int> ustaw(PozycjaProjektu Wiersz::*ktora) {
        QList<int> wiersze;
        for (const Wiersz& w : std::as_const(m_wiersze)) {
            model().zmien(w.row, w.*ktora);
            wiersze.append(w.row);
        }
        return wiersze;
    }
    QList<Wiersz> m_wiersze;
};

// A load that appended rows and may have named the project.
class KrokWczytania : public KrokHistorii {
public:
    KrokWczytania(HistoriaProjektu& h, const QString& opis, int row, ListaPozycji pozycje,
                  QString nazwaPrzed, QString nazwaPo)
        : KrokHistorii(h, opis, true), m_row(row), m_pozycje(std::move(pozycje)),
          m_nazwaPrzed(std::move(nazwaPrzed)), m_nazwaPo(std::move(nazwaPo)) {}

protected:
    QList<int> naprzod() override {
        model().wstaw(m_row, m_pozycje);
        model().ustawNazwaProjektu(m_nazwaPo);
        return kolejne(m_row, static_cast<int>(m_pozycje.size()));
    }
    QList<int> wstecz() override {
        model().usun(m_row, static_cast<int>(m_pozycje.size()));
        model().ustawNazwaProjektu(m_nazwaPrzed);
        return m_row > 0 ? QList<int>{m_row - 1} : QList<int>{};
    }

private:
    int m_row;
    ListaPozycji m_pozycje;
    QString m_nazwaPrzed;
    QString m_nazwaPo;
};

// "Nowy projekt": every row and the name dropped, all brought back by undo.
class KrokNowy : public KrokHistorii {
public:
    KrokNowy(HistoriaProjektu& h, ListaPozycji pozycje, QString nazwa)
        : KrokHistorii(h, QStringLiteral("nowy projekt")), m_pozycje(std::move(pozycje)),
          m_nazwa(std::move(nazwa)) {}

protected:
    QList<int> naprzod() override {
        model().nowy();
        return {};
    }
    QList<int> wstecz() override {
        model().wstaw(0, m_pozycje);
        model().ustawNazwaProjektu(m_nazwa);
        return m_pozycje.isEmpty() ? QList<int>{} : QList<int>{0};
    }

private:
    ListaPozycji m_pozycje;
    QString m_nazwa;
};

// An insertion of announcements: the files' originals put back, or the
// files with their clips. The stack's undo and redo cannot fail, so
// HistoriaProjektu::przejdz changes the files first (ustaw), where a failure
// can be told; the step knows which state its files are in and never does
// the same twice, which would keep a file's present content over the very
// version it is to bring back.
class KrokOdcinkow : public KrokHistorii {
public:
    KrokOdcinkow(HistoriaProjektu& h, QList<ZachowanyPlik> pliki)
        : KrokHistorii(h, QStringLiteral("wstaw odcinki"), true), m_pliki(std::move(pliki)) {}
    bool zmieniaListe() const override { return false; }
    // Brings the files into the state: with their clips (true) or without.
    // Throws EInOutError; the files then stay as they were.
    void ustaw(bool wykonany) {
        if (wykonany == m_wykonany)
            return;
        przywrocOdcinki(m_pliki, !wykonany);
        m_wykonany = wykonany;
    }

protected:
    QList<int> naprzod() override { return ustawBezBledu(true); }
    QList<int> wstecz() override { return ustawBezBledu(false); }

private:
    // Reached only when the stack is moved by other means than przejdz;
    // files that cannot change stay as they are and the next move tries
    // again.
    QList<int> ustawBezBledu(bool wykonany) {
        try {
            ustaw(wykonany);
        } catch (const SonvekError&) {
        }
        return {};
    }
    QList<ZachowanyPlik> m_pliki;
    bool m_wykonany = true;
};

} // namespace

HistoriaProjektu::HistoriaProjektu(ModelProjektu& model, QObject* parent)
    : QObject(parent), m_model(model), m_stos(new QUndoStack(this)) {
    // The changed mark follows the stack: set while the list is away from
    // the saved state, cleared when undo or redo brings it back there.
    connect(m_stos, &QUndoStack::indexChanged, this, &HistoriaProjektu::synchronizujZnacznik);
    connect(m_stos, &QUndoStack::cleanChanged, this, &HistoriaProjektu::synchronizujZnacznik);
    m_model.ustawProjektZmieniony(false);
}

HistoriaProjektu::~HistoriaProjektu() {
    m_stos->disconnect(this);
}

void HistoriaProjektu::synchronizujZnacznik() {
    m_model.ustawProjektZmieniony(!listaJakZapisana());
}

bool HistoriaProjektu::listaJakZapisana() const {
    if (m_stos->isClean())
        return true;
    const int zapisany = m_stos->cleanIndex();
    if (zapisany < 0)
        return false;
    const int biezacy = m_stos->index();
    const int od = std::min(zapisany, biezacy), doKroku = std::max(zapisany, biezacy);
    for (int i = od; i < doKroku; ++i) {
        const auto* krok = dynamic_cast<const KrokHistorii*>(m_stos->command(i));
        if (!krok || krok->zmieniaListe())
            return false;
    }
    return true;
}

void HistoriaProjektu::wypchnij(KrokHistorii* krok) {
    m_wypychanie = true;
    const auto koniec = qScopeGuard([this] { m_wypychanie = false; });
    m_stos->push(krok);
}

void HistoriaProjektu::wstaw(int row, const ListaPozycji& pozycje) {
    const int n = static_cast<int>(pozycje.size());
    if (n == 0)
        return;
    const QString co =
        row == m_model.rowCount() ? QStringLiteral("dodaj") : QStringLiteral("wstaw");
    const QString ktore = n == 1 ? QStringLiteral("pozycję %1").arg(row + 1)
                                 : QStringLiteral("pozycje %1–%2").arg(row + 1).arg(row + n);
    wypchnij(new KrokWierszy(*this, co + QLatin1Char(' ') + ktore, row, pozycje, false));
}

void HistoriaProjektu::usun(int row) {
    if (row < 0 || row >= m_model.rowCount())
        return;
    wypchnij(new KrokWierszy(*this, QStringLiteral("usuń pozycję %1").arg(row + 1), row,
                             {m_model.wiersz(row)}, true));
}

bool HistoriaProjektu::przesun(const QList<int>& wiersze, int kierunek) {
    const int n = m_model.rowCount();
    const QList<Ruch> ruchy = ruchyPrzesuniecia(wiersze, kierunek, n);
    if (ruchy.isEmpty())
        return false;
    const QList<int> przed = uporzadkujWiersze(wiersze, n);
    QList<int> po = przed;
    for (int& w : po)
        w += kierunek;
    const QString opis =
        (kierunek < 0 ? QStringLiteral("przesuń w górę ") : QStringLiteral("przesuń w dół ")) +
        ktore(przed);
    wypchnij(new KrokRuchow(*this, opis, ruchy, przed, po));
    return true;
}

QList<int> HistoriaProjektu::przenies(const QList<int>& wiersze, int cel) {
    const int n = m_model.rowCount();
    const QList<int> przed = uporzadkujWiersze(wiersze, n);
    cel = std::clamp(cel, 0, n);
    const QList<int> po =
        kolejne(poczatekPrzeniesionych(przed, cel), static_cast<int>(przed.size()));
    const QList<Ruch> ruchy = ruchyPrzeniesienia(przed, cel, n);
    if (!ruchy.isEmpty()) {
        wypchnij(
            new KrokRuchow(*this, QStringLiteral("przeciągnij ") + ktore(przed), ruchy, przed, po));
    }
    return po;
}

int HistoriaProjektu::zmienZakladki(const QList<ZakladkaWiersza>& zakladki, const QString& opis) {
    QList<KrokZakladek::Wiersz> wiersze;
    for (const ZakladkaWiersza& z : zakladki) {
        if (z.wiersz < 0 || z.wiersz >= m_model.rowCount())
            continue;
        KrokZakladek::Wiersz w{z.wiersz, m_model.wiersz(z.wiersz), {}};
        w.przed.Lp.clear();
        w.po = w.przed;
        w.po.Poczatek = z.Poczatek;
        w.po.Dlugosc = z.Dlugosc;
        w.po.Sprawdzona = z.Sprawdzona.value_or(w.po.Sprawdzona);
        if (w.po != w.przed)
            wiersze.append(w);
    }
    if (wiersze.isEmpty())
        return 0;
    QString nazwa = opis;
    if (nazwa.isEmpty()) {
        nazwa = wiersze.size() == 1
                    ? QStringLiteral("zmień zakładkę pozycji %1").arg(wiersze.first().row + 1)
                    : QStringLiteral("zmień zakładki %1 pozycji").arg(wiersze.size());
    }
    wypchnij(new KrokZakladek(*this, nazwa, wiersze));
    return static_cast<int>(wiersze.size());
}

void HistoriaProjektu::nowy() {
    if (m_model.rowCount() > 0 || !m_model.NazwaProjektu().isEmpty())
        wypchnij(new KrokNowy(*this, m_model.pozycje(), m_model.NazwaProjektu()));
    else
        m_model.nowy();
    m_stos->setClean();
}

PozycjePlikuProjektu HistoriaProjektu::wczytaj(const QString& path) {
    const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
    dopisz(wczytane, path);
    return wczytane;
}

PozycjePlikuProjektu HistoriaProjektu::otworz(const QString& path) {
    // Read before the list goes: a file that is no project changes nothing.
    const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
    if (!wczytane.korzenProjekt)
        return wczytane;
    nowy();
    dopisz(wczytane, path);
    return wczytane;
}

void HistoriaProjektu::dopisz(const PozycjePlikuProjektu& wczytane, const QString& path) {
    const int przed = m_model.rowCount();
    const QString nazwaPrzed = m_model.NazwaProjektu();
    const bool czysty = m_stos->isClean();
    // Whatever the load appended before it stopped is recorded too.
    bool calosc = false;
    const auto zapis = qScopeGuard([&] {
        const int dopisane = m_model.rowCount() - przed;
        if (dopisane == 0 && m_model.NazwaProjektu() == nazwaPrzed)
            return;
        if (calosc && przed == 0 && czysty) {
            m_stos->clear();
            return;
        }
        ListaPozycji pozycje;
        for (int r = przed; r < m_model.rowCount(); ++r)
            pozycje.append(m_model.wiersz(r));
        wypchnij(new KrokWczytania(*this,
                                   QStringLiteral("wczytaj projekt ") + QFileInfo(path).fileName(),
                                   przed, pozycje, nazwaPrzed, m_model.NazwaProjektu()));
        // Rows appended to others make a list no file holds: changed, until
        // undo takes them away again.
        if (czysty && przed == 0)
            m_stos->setClean();
    });
    calosc = wczytane.korzenProjekt;
    m_model.dopiszWczytane(wczytane, path);
}

void HistoriaProjektu::zapisz(const QString& path) {
    m_model.zapisz(path);
    m_stos->setClean();
}

void HistoriaProjektu::wstawionoOdcinki(const QList<ZachowanyPlik>& pliki) {
    if (!pliki.isEmpty())
        wypchnij(new KrokOdcinkow(*this, pliki));
}

void HistoriaProjektu::cofnij() {
    przejdz(true);
}

void HistoriaProjektu::ponow() {
    przejdz(false);
}

void HistoriaProjektu::przejdz(bool wstecz) {
    const int indeks = m_stos->index() - (wstecz ? 1 : 0);
    if (indeks < 0 || indeks >= m_stos->count())
        return;
    // The stack holds its steps as const; this one is ours to change.
    if (auto* krok =
            dynamic_cast<KrokOdcinkow*>(const_cast<QUndoCommand*>(m_stos->command(indeks))))
        krok->ustaw(!wstecz);
    wstecz ? m_stos->undo() : m_stos->redo();
}
