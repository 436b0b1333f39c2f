#pragma once
// How the session asks and tells the user, without a widget: the main
// window answers with its message boxes, file dialogs and status line;
// tests answer for the user. A question names the answer Enter gives and
// the one Esc (and the close box) gives: which one it is decides whether
// work is lost.

#include <QString>
#include <QStringList>
#include <functional>

class Rozmowa {
public:
    enum class Odpowiedz { Brak, Ok, Tak, Nie, Anuluj, Otworz };

    struct Pytanie {
        QString tekst;
        // "Tak" and "Nie", with "Anuluj" after them when set.
        bool zAnuluj = false;
        // The answer Enter gives and the one Esc gives; Brak leaves the
        // choice to the box (Esc then means "Nie" in a yes/no question).
        Odpowiedz domyslna = Odpowiedz::Brak;
        Odpowiedz esc = Odpowiedz::Brak;
        // With "Otwórz" after "Tak" and "Nie" when set.
        bool zOtworz = false;
        // The box's caption, shown with a question mark; empty: "Uwaga".
        QString tytul = {};
    };

    // A yes/no question whose safe answer is "Nie", by Enter and by Esc alike.
    static Pytanie pytanieNieDomyslnie(const QString& tekst) {
        return {tekst, false, Odpowiedz::Nie, Odpowiedz::Nie};
    }

    struct WyborPlikow {
        QString tytul;
        QString folder;               // starting folder
        QString nazwaPliku;           // name shown in the name box
        QString filtr;                // e.g. "xml (*.xml)"
        QString domyslneRozszerzenie; // added to a name typed without one
        bool musiIstniec = true;      // the chosen files must exist
        bool wiele = false;           // several files may be chosen
        bool katalog = false;         // a folder is chosen, not a file
    };

    virtual ~Rozmowa() = default;

    // A notice with "OK" alone, captioned "Uwaga".
    virtual void powiadom(const QString& tekst) = 0;
    // A question, captioned "Uwaga" unless it names its own caption; the answer given.
    virtual Odpowiedz zapytaj(const Pytanie& pytanie) = 0;
    // An open dialog for one file; empty when cancelled.
    virtual QStringList wybierzPliki(const WyborPlikow& wybor) = 0;
    // A save dialog that never asks before replacing a file (the session
    // asks); the chosen path, empty when cancelled.
    virtual QString wybierzPlikDoZapisu(const WyborPlikow& wybor) = 0;
    // The notice window: a header line and one line per item.
    virtual void pokazListe(const QString& naglowek, const QStringList& linie) = 0;
    // Has a screen reader say `tekst` at once, without showing it.
    virtual void oglos(const QString& tekst) = 0;
    // The status line, which a screen reader speaks.
    virtual void ustawStatus(const QString& tekst) = 0;
    // Runs `praca` on a thread of its own while the window keeps painting;
    // false when it did not end within `limitMs` (it then goes on alone).
    virtual bool czekajBezZamrazania(const std::function<void()>& praca, int limitMs) = 0;
};
