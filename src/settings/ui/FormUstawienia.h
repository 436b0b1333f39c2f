#pragma once
// The settings dialog: store folder, default bookmark length and the card,
// then bookmark detection (the pause that ends a title, detection when files
// are added), the merge's exactly placed index and the loudness a levelled
// book is brought to.
// It is filled from the settings in force each time it is shown; "Zapisz"
// hands the values over to be stored and taken into use, "Anuluj" (or
// Esc) leaves everything as it was.

#include "card/Volumes.h"
#include "settings/Konfiguracja.h"

#include <QDialog>
#include <functional>
#include <optional>

class Komunikaty;
class ListaDyskow;
class QCheckBox;
class QGridLayout;
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
    QLabel* LabelPrzerwa = nullptr;
    QLineEdit* EditPrzerwa = nullptr;
    QCheckBox* CheckWykrywaj = nullptr;
    QCheckBox* CheckIndeksSzacowany = nullptr;
    QLabel* LabelCelGlosnosci = nullptr;
    QLineEdit* EditCelGlosnosci = nullptr;
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
    // Bookmark detection and the index: their controls below the card, in
    // the keyboard order after it; filled and read apart from the others.
    void utworzPolaWykrywania(QGridLayout* pola, int wiersz);
    void wypelnijPolaWykrywania();
    // The values as the controls hold them; for a pause or a loudness that
    // is no number or out of range the user is told so, the field gets the
    // focus and there is no result.
    std::optional<UstawieniaWykrywania> odczytajPolaWykrywania() const;

    const Komunikaty& m_komunikaty;
    std::function<ListaWoluminow()> m_woluminy;
    std::function<void(const Konfiguracja&)> m_zapisz;
    Konfiguracja m_konfiguracja;
    TFormWybierzFolder* m_wybor = nullptr;
};
