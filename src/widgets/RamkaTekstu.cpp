#include "widgets/RamkaTekstu.h"

#include "widgets/OknoTekstu.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QPushButton>

void zbudujRamkeTekstu(QDialog* dialog, QPlainTextEdit*& memo, QPushButton*& button,
                       const QString& caption, const QString& memoName) {
    dialog->setWindowTitle(caption);
    dialog->setFixedSize(398, 286);
    memo = tekstDoCzytania(dialog, QStringLiteral("Memo1"), memoName);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setGeometry(0, 0, 398, 233);
    button = new QPushButton(QStringLiteral("Zamknij"), dialog);
    button->setObjectName(QStringLiteral("Button1"));
    button->setGeometry(296, 248, 75, 25);
    button->setDefault(true);
    button->setAutoDefault(true);
    QObject::connect(button, &QPushButton::clicked, dialog, &QDialog::reject);
    // Esc closes a QDialog through reject(); Enter presses the default button.
}
