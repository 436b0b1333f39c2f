#pragma once
// The settings dialog: store folder, default bookmark length and the card.
// It is filled from the main window's settings each time it is shown;
// "Zapisz" stores the three values and makes the main window read them
// again, "Anuluj" (or Esc) leaves everything as it was.

#include <QDialog>

class ListaDyskow;
class QLabel;
class QLineEdit;
class QPushButton;
class TMainForm;

class TFormUstawienia : public QDialog {
    Q_OBJECT
public:
    explicit TFormUstawienia(TMainForm& mainForm);

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
    TMainForm& m_main;
};
