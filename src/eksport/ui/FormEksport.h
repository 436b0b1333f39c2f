#pragma once
// "Eksportuj książkę": the book's details, the two forms of the export and
// where each goes. The window only gathers the answers; the opener asks
// before replacing anything and runs the export in FormEksportPostep. Every
// field has a label that names it for a screen reader, and the window is
// worked from the keyboard alone (Alt with the underlined letters, Tab).

#include "sesja/PracaWyjscia.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class Komunikaty;

class TFormEksport : public QDialog {
    Q_OBJECT
public:
    TFormEksport(QWidget* owner, const Komunikaty& komunikaty);

    // Fills the window: the details, the targets the choices start from and
    // the levelling.
    void przygotuj(const WyborEksportu& wybor);

    // What the user gave; a target that is not chosen is empty.
    WyborEksportu wybor() const;

    QLineEdit* EditTytul = nullptr;
    QLineEdit* EditAutor = nullptr;
    QLineEdit* EditLektor = nullptr;
    QLineEdit* EditJezyk = nullptr;
    QLineEdit* EditRok = nullptr;
    QLineEdit* EditWydawca = nullptr;
    QLineEdit* EditOkladka = nullptr;
    QPushButton* ButtonOkladka = nullptr;
    QCheckBox* CheckDaisy = nullptr;
    QLineEdit* EditDaisy = nullptr;
    QPushButton* ButtonDaisy = nullptr;
    QCheckBox* CheckRozdzialy = nullptr;
    QLineEdit* EditRozdzialy = nullptr;
    QPushButton* ButtonRozdzialy = nullptr;
    QCheckBox* CheckWyrownaj = nullptr;
    QPushButton* ButtonEksportuj = nullptr;
    QPushButton* ButtonAnuluj = nullptr;

public slots:
    // Closes with Accepted only when a title is given and at least one form
    // is chosen, each with its target; otherwise says what is missing.
    void accept() override;

private:
    void wybierzOkladke();
    void wybierzCel(QLineEdit* pole, const QString& tytul, const QString& filtr,
                    const QString& rozszerzenie);
    void aktywuj();

    const Komunikaty& m_komunikaty;
    double m_celLufs = 0;
};
