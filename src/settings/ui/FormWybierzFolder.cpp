#include "settings/ui/FormWybierzFolder.h"

#include "base/Errors.h"
#include "settings/ui/FormUstawienia.h"
#include "settings/ui/Kontrolki.h"
#include "settings/ui/ListaDyskow.h"
#include "widgets/Komunikaty.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/Ulatwienia.h"

#include <QDir>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>
#include <utility>

// The folders of one volume: of the entries beside the volume's mount
// point only the mount point itself is kept, so the tree has the volume's
// root as its single top row and everything below it.
class FolderyWoluminu : public QSortFilterProxyModel {
public:
    FolderyWoluminu(QFileSystemModel* model, QObject* parent)
        : QSortFilterProxyModel(parent), m_model(model) {
        setSourceModel(model);
    }

    // The index above the volume's root, to be the tree's root index.
    QModelIndex ustawWolumin(const QString& punkt) {
        const QModelIndex korzen = m_model->index(punkt);
        m_punkt = m_model->filePath(korzen);
        m_nadKorzeniem = korzen.parent();
        invalidateFilter();
        return mapFromSource(m_nadKorzeniem);
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        if (parent != m_nadKorzeniem)
            return true;
        return m_model->filePath(m_model->index(row, 0, parent)) == m_punkt;
    }

private:
    QFileSystemModel* m_model;
    QString m_punkt;
    QPersistentModelIndex m_nadKorzeniem;
};

TFormWybierzFolder::TFormWybierzFolder(QWidget* parent, const Komunikaty& komunikaty,
                                       std::function<ListaWoluminow()> woluminy,
                                       TFormUstawienia* ustawienia)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_komunikaty(komunikaty), m_woluminy(std::move(woluminy)), m_ustawienia(ustawienia),
      m_folder(QDir::currentPath()) {
    setObjectName(QStringLiteral("FormWybierzFolder"));
    setWindowTitle(QStringLiteral("Wybierz folder"));

    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_model->setReadOnly(true);
    m_foldery = new FolderyWoluminu(m_model, this);

    DriveComboBox1 = new ListaDyskow;
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DirectoryListBox1 = new QTreeView;
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setModel(m_foldery);
    for (int column = 1; column < m_model->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    DirectoryListBox1->setHeaderHidden(true);
    DirectoryListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DirectoryListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    DirectoryListBox1->setMinimumSize(320, 280);
    ButtonOK = przyciskBezDomyslnego(QStringLiteral("OK"), "ButtonOK");
    ButtonAnuluj = przyciskBezDomyslnego(QStringLiteral("Anuluj"), "ButtonAnuluj");
    Label1 = etykietaKontrolki(QStringLiteral("Wybierz &dysk"), DriveComboBox1, "Label1");
    Label2 = etykietaKontrolki(QStringLiteral("Wybierz &folder"), DirectoryListBox1, "Label2");

    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(Label1);
    uklad->addWidget(DriveComboBox1);
    uklad->addWidget(Label2);
    uklad->addWidget(DirectoryListBox1);
    uklad->addLayout(przyciskiZPrawej(ButtonOK, ButtonAnuluj));
    uklad->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, ButtonOK);
    setTabOrder(ButtonOK, ButtonAnuluj);

    mowWybor(DriveComboBox1, QStringLiteral("Dysk"));
    // A drive chosen in the open list (mouse or keys) is taken at once; one
    // chosen with the arrow keys on the closed list only when Enter is
    // pressed or the focus leaves the list, so that stepping over the drives
    // does not read each one's folders (eventFilter).
    DriveComboBox1->installEventFilter(this);
    connect(DriveComboBox1, &QComboBox::activated, this, [this] {
        if (std::exchange(m_dyskKlawiszem, false)) {
            m_dyskCzeka = true;
            return;
        }
        m_komunikaty.guard([this] { wybierzDysk(DriveComboBox1->punktMontowania()); });
    });
    // Double-click or Enter opens the folder.
    connect(
        DirectoryListBox1, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
            m_komunikaty.guard([&] {
                otworzFolder(m_model->filePath(m_foldery->mapToSource(index)));
                oglos(this, QStringLiteral("Otwarto folder ") + QDir::toNativeSeparators(m_folder));
            });
        });
    connect(ButtonOK, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonOKClick(); }); });
    connect(ButtonAnuluj, &QPushButton::clicked, this,
            [this] { m_komunikaty.guard([this] { ButtonAnulujClick(); }); });
}

bool TFormWybierzFolder::eventFilter(QObject* watched, QEvent* event) {
    if (watched != DriveComboBox1)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress && !DriveComboBox1->view()->isVisible()) {
        const auto* e = static_cast<QKeyEvent*>(event);
        const int key = e->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            wezDysk();
            return true;
        }
        // An arrow, Home, End or a letter on the closed list: a change is only
        // a step. Alt+Down opens the list.
        static const QList<int> kroki{Qt::Key_Up,       Qt::Key_Down, Qt::Key_PageUp,
                                      Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End};
        m_dyskKlawiszem = !(e->modifiers() & Qt::AltModifier) &&
                          (kroki.contains(key) || !e->text().trimmed().isEmpty());
    } else if (event->type() == QEvent::KeyRelease) {
        m_dyskKlawiszem = false;
    } else if (event->type() == QEvent::FocusOut) {
        wezDysk();
    }
    return QDialog::eventFilter(watched, event);
}

void TFormWybierzFolder::wezDysk() {
    if (!std::exchange(m_dyskCzeka, false))
        return;
    m_komunikaty.guard([this] {
        wybierzDysk(DriveComboBox1->punktMontowania());
        oglos(this, QStringLiteral("Otwarto dysk ") + DriveComboBox1->currentText());
    });
}

void TFormWybierzFolder::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        m_komunikaty.guard([this] { FormActivate(); });
}

void TFormWybierzFolder::FormActivate() {
    m_dyskCzeka = false;
    m_dyskKlawiszem = false;
    DriveComboBox1->wypelnij(ListaDyskow::bezZamrazania(m_woluminy));
    // The drive of the last use, while it is still mounted; otherwise the
    // one holding the current folder.
    if (!DriveComboBox1->wybierz(m_punkt)) {
        if (DriveComboBox1->wybierzZawierajacy(m_folder))
            pokazWolumin(DriveComboBox1->punktMontowania());
        else
            pokazWolumin(QString()); // no volume: an empty tree
    }
    DriveComboBox1->setFocus();
}

void TFormWybierzFolder::wybierzDysk(const QString& punkt) {
    if (punkt.isEmpty())
        return;
    if (!DriveComboBox1->wybierz(punkt))
        return;
    pokazWolumin(punkt);
    otworzFolder(punkt);
}

void TFormWybierzFolder::otworzFolder(const QString& path) {
    if (!QDir::setCurrent(path))
        throw EInOutError(QStringLiteral("Nie można otworzyć folderu %1").arg(path));
    m_folder = QDir::cleanPath(QDir(path).absolutePath());
    pokazFolder();
}

void TFormWybierzFolder::pokazWolumin(const QString& punkt) {
    m_punkt = punkt;
    if (!punkt.isEmpty())
        m_model->setRootPath(punkt);
    DirectoryListBox1->setRootIndex(m_foldery->ustawWolumin(punkt));
    pokazFolder();
}

QModelIndex TFormWybierzFolder::indeksFolderu(const QString& path) const {
    return m_foldery->mapFromSource(m_model->index(path));
}

void TFormWybierzFolder::pokazFolder() {
    const QModelIndex index = indeksFolderu(m_folder);
    if (!index.isValid())
        return;
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        DirectoryListBox1->expand(above);
    DirectoryListBox1->expand(index);
    DirectoryListBox1->setCurrentIndex(index);
    DirectoryListBox1->scrollTo(index);
}

// OK takes the folder highlighted in the tree, opened or not.
void TFormWybierzFolder::ButtonOKClick() {
    wezDysk();
    const QModelIndex wskazany = DirectoryListBox1->currentIndex();
    if (wskazany.isValid())
        otworzFolder(m_model->filePath(m_foldery->mapToSource(wskazany)));
    if (windowTitle() == folderMagazynu() && m_ustawienia) {
        m_ustawienia->EditMagazyn->setText(QDir::toNativeSeparators(m_folder));
        // Focus there when the settings dialog is back.
        m_ustawienia->EditMagazyn->setFocus();
    }
    accept();
}

void TFormWybierzFolder::ButtonAnulujClick() {
    reject();
}
