#pragma once
// "Karta": the books on the memory card, one line each (name, size, length,
// bookmarks, what an incomplete book lacks, and once checked whether it
// equals the store's book), and a last line with the card's free and total
// space. Each line is one item to a screen reader, with the values' names.
// "Usuń" (or Delete) removes the chosen book's files together after asking,
// "Sprawdź" compares it with the store's book of the same name, "Kopiuj
// książki..." copies several store books in one go with one summary.
//
// Everything that touches the card runs off the window's thread: a card
// that does not answer within the limit is said to, and the window stays
// usable. The card is first read once the window is shown.

#include "card/KartaKsiazek.h"
#include "card/ui/FormKopiowanie.h"

#include <QDialog>
#include <QHash>
#include <functional>

class Komunikaty;
class QListWidget;
class QPushButton;

using UsuwanieZKarty = std::function<RaportUsuwania(const QStringList& nazwy, const QString& korzen,
                                                    const ObslugaKopiowania& obsluga)>;

// What the window works on, given by its opener.
struct DostepDoKarty {
    QString korzen;                               // the card root, with its final separator
    QString magazyn;                              // the store folder books are chosen from
    const ZrodloWolnegoMiejsca* zrodlo = nullptr; // the card's figures; must outlive the window
    KopiowanieNaKarte kopiowanie = kopiujKsiazkeNaKarte;      // one book's files, on a worker
    SprawdzanieNaKarcie sprawdzanie = sprawdzKsiazkeNaKarcie; // on a worker
    UsuwanieZKarty usuwanie = usunKsiazkeZKarty;              // on a worker
    int limitMs = 5000; // how long reading or removing may take before the card counts as stalled
};

class TFormKarta : public QDialog {
    Q_OBJECT
public:
    TFormKarta(QWidget* owner, const Komunikaty& komunikaty, DostepDoKarty dostep);

    // Reads the card again and shows it; false (after saying why) when it
    // could not be read. The chosen line stays chosen where it can.
    bool odswiez();
    // The commands of the buttons.
    void usunKsiazke();
    void sprawdzKsiazke();
    void kopiujKsiazki();

    // The card as last read.
    const ZawartoscKarty& zawartosc() const { return m_karta; }
    // A book's line: "Nazwa: X, rozmiar 1,2 MB, długość 0:01:05, zakładek
    // 12", with what an incomplete book lacks and the check's result.
    static QString opisKsiazki(const KsiazkaNaKarcieOpis& ksiazka, const QString& zgodnosc = {});
    // The last line: the card's free space and, when known, its whole size.
    static QString opisMiejsca(const ZawartoscKarty& karta);

    QListWidget* ListKsiazki = nullptr;
    QPushButton* ButtonUsun = nullptr;
    QPushButton* ButtonSprawdz = nullptr;
    QPushButton* ButtonKopiuj = nullptr;
    QPushButton* ButtonOdswiez = nullptr;
    QPushButton* ButtonZamknij = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The book of the chosen line; none for the free-space line or none chosen.
    const KsiazkaNaKarcieOpis* wybrana() const;
    const KsiazkaNaKarcieOpis* wybranaLubPowod(const QString& polecenie);
    void pokaz(int wiersz);
    void aktywuj();
    // Tells a screen reader the current line as focused: a list that gets
    // the focus, or is filled while it has it, is otherwise announced
    // without the line the user is on.
    void zglosBiezacaLinie();

    const Komunikaty& m_komunikaty;
    DostepDoKarty m_dostep;
    ZawartoscKarty m_karta;
    bool m_przeczytana = false;
    bool m_pierwszyRaz = true;
    // The check's result by book name, until the book is removed or copied again.
    QHash<QString, QString> m_zgodnosc;
};
