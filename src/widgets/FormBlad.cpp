#include "widgets/FormBlad.h"

#include "widgets/OknoTekstu.h"
#include "widgets/Ulatwienia.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextOption>

namespace {

// The shared frame: 398 x 286 client area, the text across the top, the
// button bottom right, both Enter and Esc on "Zamknij".
void zbuduj(QDialog* dialog, QPlainTextEdit*& memo, QPushButton*& button, const QString& caption,
            const QString& memoName) {
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

} // namespace

TFormBlad::TFormBlad(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormBlad"));
    zbuduj(this, Memo1, Button1, QStringLiteral("Uwaga"), QStringLiteral("Lista komunikatów"));
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

TFormOprogramie::TFormOprogramie(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormOprogramie"));
    zbuduj(this, Memo1, Button1, QStringLiteral("O programie"),
           QStringLiteral("Informacje o programie"));
    QFont font = Memo1->font();
    font.setPointSize(12);
    Memo1->setFont(font);
    Memo1->setPlainText(QStringList{
        QString(),
        QStringLiteral("SonvekManager"),
        QStringLiteral("wersja %1").arg(QStringLiteral(SONVEK_VERSION)),
        QString(),
        QStringLiteral("Przygotowanie książek audio dla odtwarzacza Sonvek"),
        QString(),
        QStringLiteral("Licencja MIT"),
        QStringLiteral("Program jest rozpowszechniany bez żadnej gwarancji."),
    }
                            .join(QLatin1Char('\n')));
    // Every line centred. A plain text edit lays its lines out by the
    // document's text option only; a block format's alignment is ignored.
    QTextOption srodek = Memo1->document()->defaultTextOption();
    srodek.setAlignment(Qt::AlignHCenter);
    Memo1->document()->setDefaultTextOption(srodek);
}

void TFormOprogramie::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Memo1->setFocus();
}
