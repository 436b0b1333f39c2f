#include "widgets/OknoTekstu.h"

#include "widgets/Ulatwienia.h"

#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

void TekstDoCzytania::keyPressEvent(QKeyEvent* event) {
    QTextCursor kursor = textCursor();
    if (krokAkapitem(event, kursor)) {
        setTextCursor(kursor);
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

QPlainTextEdit* tekstDoCzytania(QWidget* rodzic, const QString& nazwa,
                                const QString& dostepnaNazwa) {
    auto* tekst = new TekstDoCzytania(rodzic);
    tekst->setObjectName(nazwa);
    tekst->setAccessibleName(dostepnaNazwa);
    tekst->setReadOnly(true);
    tekst->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    tekst->setTabChangesFocus(true);
    return tekst;
}

OknoTekstu::OknoTekstu(QWidget* parent, const QString& nazwa, const QString& tytul,
                       const QString& nazwaTekstu, const QString& dostepnaNazwa)
    : QDialog(parent) {
    setObjectName(nazwa);
    setWindowTitle(tytul);
    resize(560, 320);
    Memo = tekstDoCzytania(this, nazwaTekstu, dostepnaNazwa);
    ButtonZamknij = new QPushButton(QStringLiteral("Zamknij"), this);
    ButtonZamknij->setObjectName(QStringLiteral("ButtonZamknij"));
    ButtonZamknij->setDefault(true);
    connect(ButtonZamknij, &QPushButton::clicked, this, &QDialog::reject);
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(Memo);
    uklad->addWidget(ButtonZamknij, 0, Qt::AlignRight);
}

void OknoTekstu::pokaz(const QStringList& linie) {
    Memo->setPlainText(linie.join(u'\n'));
}

void OknoTekstu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Memo->moveCursor(QTextCursor::Start);
    Memo->setFocus();
}
