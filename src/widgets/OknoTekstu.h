#pragma once
// Read-only texts that a user reads line by line: the book's summary, the
// loudness report, the merge's progress, the notice window.

#include <QDialog>
#include <QPlainTextEdit>
#include <QStringList>

class QPushButton;

// A read-only text read item by item: each paragraph (one line of the
// text given) is one line to a screen reader and one step of Up and Down,
// however the window wraps it (wlaczUlatwienia() installs the reading).
class TekstDoCzytania : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A read-only text with a screen reader's name: the caret moves with the
// keyboard (so a screen reader reads it item by item) and Tab leaves it.
QPlainTextEdit* tekstDoCzytania(QWidget* rodzic, const QString& nazwa,
                                const QString& dostepnaNazwa);

// A window of lines, the most important first, in a read-only text, and
// "Zamknij" (Enter or Esc). Reading starts at the first line.
class OknoTekstu : public QDialog {
    Q_OBJECT
public:
    // `nazwa` and `tytul`: the window's object name and title; `nazwaTekstu`
    // and `dostepnaNazwa`: the text's object name and accessible name.
    OknoTekstu(QWidget* parent, const QString& nazwa, const QString& tytul,
               const QString& nazwaTekstu, const QString& dostepnaNazwa);
    void pokaz(const QStringList& linie);

    QPlainTextEdit* Memo = nullptr;
    QPushButton* ButtonZamknij = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
