#pragma once
// The settings dialog: store folder, default bookmark length and the card.
// It is filled from the settings in force each time it is shown; "Zapisz"
// hands the three values over to be stored and taken into use, "Anuluj" (or
// Esc) leaves everything as it was.

#include "card/Volumes.h"
#include "settings/Konfiguracja.h"

#include <QDialog>
#include <functional>

class Komunikaty;
class ListaDyskow;
class QLabel;
class QLineEdit;
class QPushButton;
class TFormWybierzFolder;

class TFormUstawienia : public QDialog {
    Q_OBJECT
public:
    // `woluminy` gives the volumes the drive list offers; `zapisz` stores a
    // set of settings and takes it into use (it may throw: the dialog then
    // stays open).
    TFormUstawienia(QWidget* parent, const Komunikaty& komunikaty,
                    std::function<ListaWoluminow()> woluminy,
                    std::function<void(const Konfiguracja&)> zapisz);

    // The settings the next showing starts from.
    void przygotuj(const Konfiguracja& konfiguracja) { m_konfiguracja = konfiguracja; }
    // The folder chooser that "Przeglądaj..." opens.
    void ustawWyborFolderu(TFormWybierzFolder* wybor) { m_wybor = wybor; }

    QLabel* LabelMagazyn = nullptr;
    QLineEdit* EditMagazyn = nullptr;
    QPushButton* ButtonPrzegladajFolder = nullptr;
    QLabel* LabelZakladka = nullptr;
    QLineEdit* EditZakladka = nullptr;
    QLabel* Label1 = nullptr;
    ListaDyskow* DriveComboBox1 = nullptr;
    QPushButton* ButtonZapisz = nullptr;
    QPushButton* ButtonAnuluj = nullptr;

    void FormActivate();
    void ButtonZapiszClick();
    void ButtonAnulujClick();
    void ButtonPrzegladajFolderClick();

protected:
    // Filling on every showing, not when focus comes back from the chooser.
    void showEvent(QShowEvent* event) override;

private:
    const Komunikaty& m_komunikaty;
    std::function<ListaWoluminow()> m_woluminy;
    std::function<void(const Konfiguracja&)> m_zapisz;
    Konfiguracja m_konfiguracja;
    TFormWybierzFolder* m_wybor = nullptr;
};
