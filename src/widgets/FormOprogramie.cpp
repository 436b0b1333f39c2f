#include "widgets/FormOprogramie.h"

#include "widgets/RamkaTekstu.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QTextOption>

TFormOprogramie::TFormOprogramie(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormOprogramie"));
    zbudujRamkeTekstu(this, Memo1, Button1, QStringLiteral("O programie"),
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
