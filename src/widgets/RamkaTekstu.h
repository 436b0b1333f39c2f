#pragma once
// The frame the notice window and the About box share: a 398 x 286 client
// area, the read-only text across the top, the "Zamknij" button bottom
// right, which both Enter and Esc press.

class QDialog;
class QPlainTextEdit;
class QPushButton;
class QString;

void zbudujRamkeTekstu(QDialog* dialog, QPlainTextEdit*& memo, QPushButton*& button,
                       const QString& caption, const QString& memoName);
