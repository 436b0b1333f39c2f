#pragma once
// The bookmark editor: the selected entry's start and length moved in steps
// of 0.1 s and 1 s, listened to, and written back on OK. The fields cannot
// be typed into; every value comes from the entry or from a step. It names
// the entry's file and its length, and warns (without refusing anything)
// when the bookmark starts at or after the end of the file or runs past it.

#include "audio/Zakladka.h"
#include "project/Pozycja.h"

#include <QDialog>
#include <QList>
#include <cstdint>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class Komunikaty;
class OdtwarzanieZakladki;
class QPushButton;
class TMediaPlayer;

class TFormUstawZakladke : public QDialog {
    Q_OBJECT
public:
    // Plays through `odtwarzanie`; its Stop item stops `odtwarzacz` only.
    TFormUstawZakladke(QWidget* parent, const Komunikaty& komunikaty,
                       OdtwarzanieZakladki& odtwarzanie, TMediaPlayer& odtwarzacz);

    // The entry to edit the next time the editor is shown; after OK,
    // pozycja() holds it with the fields' texts.
    void przygotuj(const PozycjaProjektu& pozycja);
    const PozycjaProjektu& pozycja() const { return m_pozycja; }

    QLineEdit* EditPoczatek = nullptr;
    QLineEdit* EditDlugosc = nullptr;
    QLabel* LabelPlik = nullptr;         // "Nazwa pliku: <name>"
    QLabel* LabelDlugoscPliku = nullptr; // "Długość pliku: 1:23,4 (83456 ms)"
    QLabel* LabelOstrzezenie = nullptr;  // empty while the bookmark fits the file
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

    void ButtonOKClick();
    void ButtonAnulujClick();
    void Odtwrzzakadke1Click();
    void StopClick();
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

    const Komunikaty& m_komunikaty;
    OdtwarzanieZakladki& m_odtwarzanie;
    TMediaPlayer& m_odtwarzacz;
    PozycjaProjektu m_pozycja;
    bool m_przygotowany = false;
};
