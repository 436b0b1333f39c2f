#pragma once
// The notice window: a list of problem files under a header line, as a
// read-only text, and one "Zamknij" button that both Enter and Esc press.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TFormBlad : public QDialog {
    Q_OBJECT
public:
    explicit TFormBlad(QWidget* parent = nullptr);
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    // Reading starts at the header line: caret to the start, focus in the text.
    void showEvent(QShowEvent* event) override;
};
