#pragma once
// The bookmark editor: the selected entry's start and length moved in steps
// of 0.1 s and 1 s, listened to, and written back on OK. The fields cannot
// be typed into; every value comes from the entry or from a step. It names
// the entry's file and its length, and warns (without refusing anything)
// when the bookmark starts at or after the end of the file or runs past it.
//
// "Wykryj" puts the bookmark over the title spoken at the file's beginning
// into the fields (OK writes them, as any value). For sighted helpers a
// picture of the file's first two minutes shows the bookmark's range and
// where playback is; dragging its edges sets the fields. The picture is
// decoded once per showing on a worker thread: the dialog opens at once and
// the picture appears when it is ready; "Wykryj" works on the same decode.

#include "audio/WykrywanieTytulu.h"
#include "audio/Zakladka.h"
#include "project/Pozycja.h"

#include <QDialog>
#include <QList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class Komunikaty;
class OdtwarzanieZakladki;
class QPushButton;
class QThread;
class QTimer;
class TMediaPlayer;
class WykresFali;

class TFormUstawZakladke : public QDialog {
    Q_OBJECT
public:
    // Plays through `odtwarzanie`; its Stop item stops `odtwarzacz` only.
    TFormUstawZakladke(QWidget* parent, const Komunikaty& komunikaty,
                       OdtwarzanieZakladki& odtwarzanie, TMediaPlayer& odtwarzacz);
    ~TFormUstawZakladke() override;

    // The entry to edit the next time the editor is shown; after OK,
    // pozycja() holds it with the fields' texts.
    void przygotuj(const PozycjaProjektu& pozycja);
    const PozycjaProjektu& pozycja() const { return m_pozycja; }
    // The shortest pause after a title, in ms, as the settings hold it when
    // "Wykryj" is pressed.
    void ustawPrzerwe(std::function<int()> przerwa) { m_przerwa = std::move(przerwa); }

    QLineEdit* EditPoczatek = nullptr;
    QLineEdit* EditDlugosc = nullptr;
    QLabel* LabelPlik = nullptr;         // "Nazwa pliku: <name>"
    QLabel* LabelDlugoscPliku = nullptr; // "Długość pliku: 1:23,4 (83456 ms)"
    QLabel* LabelOstrzezenie = nullptr;  // empty while the bookmark fits the file
    QLabel* LabelWykrywanie = nullptr;   // what "Wykryj" found, empty before
    WykresFali* WykresFali1 = nullptr;
    QPushButton* ButtonWykryj = nullptr;
    QPushButton* ButtonDopasuj = nullptr; // the fields' bookmark onto the pauses around it
    QPushButton* ButtonPminus1 = nullptr;
    QPushButton* ButtonPminus01 = nullptr;
    QPushButton* SpeedButton2 = nullptr;
    QPushButton* ButtonPplus1 = nullptr;
    QPushButton* ButtonDminus1 = nullptr;
    QPushButton* ButtonDminus01 = nullptr;
    QPushButton* ButtonDplus01 = nullptr;
    QPushButton* ButtonDplus1 = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonAnuluj = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Odtwrzzakadke1 = nullptr;
    QAction* Stop = nullptr;

    // Both fields from the entry, texts unchanged; the file's name and
    // length from its file.
    void PobierzDaneZakladki();

    // The detected bookmark into the fields, or a word that none was found;
    // while the decode is still running, as soon as it is done.
    void ButtonWykryjClick();
    // The fields' bookmark moved onto the nearest pauses (dopasujDoPrzerw),
    // read on a worker while the dialog waits without freezing.
    void ButtonDopasujClick();
    void ButtonOKClick();
    void ButtonAnulujClick();
    void Odtwrzzakadke1Click();
    void StopClick();
    // What is said when the dialog opens: "Początek zakładki 1200 ms, długość
    // 5000 ms, 1,2 s z 12 min 5 s" (where the start lies in the file).
    QString tekstZakladki() const;
    // Arrow keys step the field; Space, Enter and Esc play the bookmark,
    // play the file, stop. True when the key was used.
    bool EditPoczatekKeyDown(int key);
    bool EditDlugoscKeyDown(int key);

    void ButtonPminus1Click();
    void ButtonPminus01Click();
    void SpeedButton2Click();
    void ButtonPplus1Click();
    void ButtonDminus1Click();
    void ButtonDminus01Click();
    void ButtonDplus01Click();
    void ButtonDplus1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* pole(const QString& name, const QString& label);
    void ulozKontrolki();
    // The warning for the fields' values as they stand; a screen reader
    // reads it with the dialog's other texts when the dialog opens.
    void sprawdzZakres();
    std::optional<std::int64_t> m_dlugoscPliku; // unknown when the file cannot be read
    std::optional<ZakresZakladki> m_zakres;     // unknown while a field holds no number
    QList<QLabel*> m_etykiety;                  // labels of the two fields
    QPushButton* przycisk(const char* name, const QString& caption, const QString& accessible,
                          void (TFormUstawZakladke::*handler)());
    void krok(QLineEdit* field, int step);
    bool klawisz(QLineEdit* field, int key);
    void odtworzZakladke();

    // The picture: one decode on a worker at a time; a result of an earlier
    // one (another showing) is dropped by its number.
    void zacznijObraz(const QString& path);
    void zakonczObraz();
    void obrazGotowy(quint64 numer, std::shared_ptr<const ObrazDzwieku> obraz, const QString& blad);
    void wykryjZObrazu();
    void pokazWykrycie(const QString& tekst);
    void odswiezWykres();
    void odswiezKursor();
    std::unique_ptr<QThread> m_watek;
    std::atomic_bool m_przerwijObraz = false;
    quint64 m_numerObrazu = 0;
    std::shared_ptr<const ObrazDzwieku> m_obraz; // set once the decode is done
    std::optional<QString> m_bladObrazu;         // the decode failed
    bool m_wykryjPoObrazie = false;              // "Wykryj" waits for the decode
    QTimer* m_kursor = nullptr;
    std::function<int()> m_przerwa = [] { return kDomyslnaPrzerwaMs; };

    const Komunikaty& m_komunikaty;
    OdtwarzanieZakladki& m_odtwarzanie;
    TMediaPlayer& m_odtwarzacz;
    PozycjaProjektu m_pozycja;
    bool m_przygotowany = false;
    // The values are still to be said after the showing (tekstZakladki).
    bool m_powiedzWartosci = false;
};
