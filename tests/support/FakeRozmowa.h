#pragma once
// Test stand-in for the session's questions and the card's long work:
// answers come from queues filled by the test, everything said is
// recorded, and the card's work runs at once on the test's thread.

#include "sesja/PracaKarty.h"
#include "sesja/Rozmowa.h"

#include <QList>

class FakeRozmowa : public Rozmowa, public PracaKarty {
public:
    struct Wpis {
        QString tekst;
        bool pytanie = false;
        Odpowiedz domyslna = Odpowiedz::Brak;
        Odpowiedz esc = Odpowiedz::Brak;
        QString tytul = {};
    };
    // Answers to questions in turn; an empty queue answers "Tak". Brak
    // stands for Esc: the question's Esc answer, else "Nie".
    QList<Odpowiedz> odpowiedzi;
    QList<QStringList> wybory; // chosen files, in turn; none: cancelled
    QStringList zapisy;        // names chosen in save dialogs, in turn; none: cancelled
    QStringList ogloszenia;    // what a screen reader was told
    QList<Wpis> wpisy;
    QList<WyborPlikow> dialogi;
    QString status;
    // Runs while a file is being chosen: what the user or the system does meanwhile.
    std::function<void()> podczasWyboru;
    // When set, work waited for without freezing never ends in time.
    bool bezOdpowiedzi = false;
    int postepy = 0; // progress reports the card's work gave

    QStringList teksty() const {
        QStringList wynik;
        for (const Wpis& w : wpisy)
            wynik.append(w.tekst);
        return wynik;
    }

    void powiadom(const QString& tekst) override { wpisy.append({tekst}); }
    Odpowiedz zapytaj(const Pytanie& p) override {
        wpisy.append({p.tekst, true, p.domyslna, p.esc, p.tytul});
        const Odpowiedz o = odpowiedzi.isEmpty() ? Odpowiedz::Tak : odpowiedzi.takeFirst();
        if (o != Odpowiedz::Brak)
            return o;
        return p.esc != Odpowiedz::Brak ? p.esc : p.zAnuluj ? Odpowiedz::Anuluj : Odpowiedz::Nie;
    }
    QStringList wybierzPliki(const WyborPlikow& wybor) override {
        dialogi.append(wybor);
        if (podczasWyboru)
            podczasWyboru();
        return wybory.isEmpty() ? QStringList() : wybory.takeFirst();
    }
    QString wybierzPlikDoZapisu(const WyborPlikow& wybor) override {
        dialogi.append(wybor);
        return zapisy.isEmpty() ? QString() : zapisy.takeFirst();
    }
    void oglos(const QString& tekst) override { ogloszenia.append(tekst); }
    void pokazListe(const QString& naglowek, const QStringList& linie) override {
        wpisy.append({(QStringList{naglowek} + linie).join(u'\n')});
    }
    void ustawStatus(const QString& tekst) override { status = tekst; }
    bool czekajBezZamrazania(const std::function<void()>& praca, int) override {
        if (bezOdpowiedzi)
            return false;
        praca();
        return true;
    }

    RaportKopiowania kopiuj(const QStringList& pliki, const QString& korzen,
                            const QStringList& zamien,
                            const KopiowanieNaKarte& kopiowanie) override {
        return kopiowanie(pliki, korzen, obsluga(zamien));
    }
    RaportSprawdzenia sprawdz(const QStringList& pliki, const QString& korzen) override {
        return sprawdzKsiazkeNaKarcie(pliki, korzen, obsluga({}));
    }
    WynikWysuniecia
    wysun(const QString& korzen,
          const std::function<WynikWysuniecia(const QString&)>& wysuwanie) override {
        return wysuwanie(korzen);
    }

private:
    ObslugaKopiowania obsluga(const QStringList& zamien) {
        ObslugaKopiowania o;
        o.postep = [this](const PostepKarty&) {
            ++postepy;
            return true;
        };
        o.czyZamienic = [zamien](const QString& cel) { return zamien.contains(cel); };
        return o;
    }
};
