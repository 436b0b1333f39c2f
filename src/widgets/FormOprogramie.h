#pragma once
// The About box: the program's name, version and licence as a read-only
// text, and one "Zamknij" button that both Enter and Esc press.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TFormOprogramie : public QDialog {
    Q_OBJECT
public:
    explicit TFormOprogramie(QWidget* parent = nullptr);
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
