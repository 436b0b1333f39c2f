#include "widgets/FormBlad.h"

#include "widgets/RamkaTekstu.h"
#include "widgets/Ulatwienia.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextOption>

TFormBlad::TFormBlad(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormBlad"));
    zbudujRamkeTekstu(this, Memo1, Button1, QStringLiteral("Uwaga"),
                      QStringLiteral("Lista komunikatów"));
    // The heading of files that are no audio keeps its designed spelling.
    slyszaneJako(Memo1, {{QStringLiteral("dolączone"), QStringLiteral("dołączone")}});
}

void TFormBlad::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    QTextCursor cursor = Memo1->textCursor();
    cursor.movePosition(QTextCursor::Start);
    Memo1->setTextCursor(cursor);
    Memo1->ensureCursorVisible();
    Memo1->setFocus();
}
