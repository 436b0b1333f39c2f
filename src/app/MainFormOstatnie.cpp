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

// Eight items made once; those beyond the list are hidden.
void TMainForm::utworzMenuOstatnich() {
    m_Ostatnieprojekty1 = m_Plik1->addMenu(QStringLiteral("Os&tatnie projekty"));
    m_Ostatnieprojekty1->setObjectName(QStringLiteral("Ostatnieprojekty1"));
    for (int numer = 1; numer <= StanProgramu::kMaksOstatnich; ++numer) {
        QAction* a = m_Ostatnieprojekty1->addAction(QString());
        a->setObjectName(QStringLiteral("Ostatni%1").arg(numer));
        connect(a, &QAction::triggered, this,
                [this, numer] { guard([&] { OtworzOstatni(numer); }); });
    }
    // A project that is gone since is shown disabled the moment the menu opens.
    connect(m_Ostatnieprojekty1, &QMenu::aboutToShow, this, &TMainForm::odswiezOstatnie);
}

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

void TMainForm::OtworzOstatni(int numer) {
    const QString path = m_sesja->ostatni(numer);
    if (!path.isEmpty())
        OtworzProjekt(path);
}

void TMainForm::przywrocGeometrie() {
    if (!m_sesja->stan().Geometria.isEmpty())
        restoreGeometry(QByteArray::fromBase64(m_sesja->stan().Geometria.toLatin1()));
}

void TMainForm::zapamietajGeometrie() {
    m_sesja->zapamietajGeometrie(QString::fromLatin1(saveGeometry().toBase64()));
}
