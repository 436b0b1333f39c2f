#pragma once
// The picture of a file's beginning for sighted helpers: the min/max
// envelope of the sound, the bookmark's range shaded with its edges marked,
// and a cursor where playback is. Clicking or dragging moves the nearer edge
// of the range. It takes no keyboard focus: everything it does can be done
// with the bookmark editor's fields; a screen reader gets a description of
// the range and the file's length instead.

#include "audio/WykrywanieTytulu.h"

#include <QWidget>
#include <optional>

class WykresFali : public QWidget {
    Q_OBJECT
public:
    explicit WykresFali(QWidget* parent = nullptr);

    // What is drawn (its windows span the x axis) and the whole file's
    // length, which the description names.
    void ustawObraz(ObrazDzwieku obraz, qint64 dlugoscPlikuMs);
    void ustawZakladke(qint64 poczatekMs, qint64 dlugoscMs);
    // No range to show (the entry's start or length is no number): nothing
    // shaded, and a drag starts from 0.
    void bezZakladki();
    bool maZakladke() const { return maZakladke_; }
    // Where playback is; no value hides the cursor.
    void ustawKursor(std::optional<qint64> ms);

    qint64 poczatek() const { return poczatek_; }
    qint64 dlugosc() const { return dlugosc_; }

    // "Zakładka od 2,0 s do 7,3 s, plik 1:23,4".
    static QString opis(qint64 poczatekMs, qint64 dlugoscMs, qint64 dlugoscPlikuMs);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // Moving the start edge keeps the end in place, so both change.
    void poczatekZmieniony(qint64 ms);
    void dlugoscZmieniona(qint64 ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Krawedz { Zadna, Poczatek, Koniec };
    qint64 rozpietoscMs() const;
    double x(qint64 ms) const;
    qint64 ms(double x) const;
    void przesunKrawedz(double x);
    void odswiezOpis();

    ObrazDzwieku obraz_;
    float skala_ = 1; // the loudest peak fills the height
    qint64 dlugoscPliku_ = 0;
    qint64 poczatek_ = 0;
    qint64 dlugosc_ = 0;
    bool maZakladke_ = true;
    std::optional<qint64> kursor_;
    Krawedz ciagnieta_ = Krawedz::Zadna;
};
