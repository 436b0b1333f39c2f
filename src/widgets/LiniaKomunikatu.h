#pragma once
// A line of text that a screen reader speaks whenever the program sets it:
// the status line of the main window. To assistive technology it is a
// notification named with its text, and every setting tells it that the
// notification has appeared, which is what a screen reader announces (a
// plain label changing its text is only read when the user asks for it).

#include <QLabel>

class LiniaKomunikatu : public QLabel {
    Q_OBJECT
public:
    explicit LiniaKomunikatu(QWidget* parent = nullptr);
    // Shows the text and has it spoken, also when it is the same text
    // again (a repeated command is answered again). An empty text only
    // clears the line.
    void ustaw(const QString& text);
};
