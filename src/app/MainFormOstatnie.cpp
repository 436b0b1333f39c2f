// What the main window remembers between runs: the recent projects in
// "Plik", the folders of the file dialogs, its own place and size. All of
// it is kept beside the settings (settings/StanProgramu.h); a failure to
// store it never stops the command that changed it.

#include "app/MainForm.h"

#include "base/Paths.h"
#include "widgets/Seams.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

// "&1 /home/ola/Książki/Pan Tadeusz.xml": the digit is the item's key.
void TMainForm::odswiezOstatnie() {
    const QStringList& ostatnie = m_sesja->stan().OstatnieProjekty;
    const QList<QAction*> pozycje = m_Ostatnieprojekty1->actions();
    for (int i = 0; i < pozycje.size(); ++i) {
        QAction* a = pozycje.at(i);
        const QString path = ostatnie.value(i);
        QString tekst = path;
        tekst.replace(QLatin1Char('&'), QStringLiteral("&&"));
        a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(tekst));
        a->setVisible(!path.isEmpty());
        a->setEnabled(!path.isEmpty() && QFileInfo(path).isFile());
    }
    m_Ostatnieprojekty1->menuAction()->setEnabled(!ostatnie.isEmpty());
}

void TMainForm::przywrocGeometrie() {
    if (!m_sesja->stan().Geometria.isEmpty())
        restoreGeometry(QByteArray::fromBase64(m_sesja->stan().Geometria.toLatin1()));
}

void TMainForm::zapamietajGeometrie() {
    m_sesja->zapamietajGeometrie(QString::fromLatin1(saveGeometry().toBase64()));
}
