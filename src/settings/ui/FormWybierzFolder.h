#pragma once
// The folder chooser: a drive list bound to a folder tree of the chosen
// volume. Its caption tells what the folder is for; the opener sets it
// before showing the chooser. It is hidden, not destroyed, between uses, so
// it shows the drive and folder left from its last use. Choosing a drive or
// opening a folder makes it the program's working directory.

#include "card/Volumes.h"

#include <QDialog>
#include <functional>

class Komunikaty;
class ListaDyskow;
class QFileSystemModel;
class QLabel;
class QModelIndex;
class QPushButton;
class QTreeView;
class TFormUstawienia;
class FolderyWoluminu;

class TFormWybierzFolder : public QDialog {
    Q_OBJECT
public:
    // `woluminy` gives the volumes of the drive list; OK under the caption
    // folderMagazynu() puts the folder into the store folder field of
    // `ustawienia`.
    TFormWybierzFolder(QWidget* parent, const Komunikaty& komunikaty,
                       std::function<ListaWoluminow()> woluminy, TFormUstawienia* ustawienia);

    // The caption under which OK puts the folder into the settings dialog.
    static QString folderMagazynu() { return QStringLiteral("Folder magazynu"); }

    QLabel* Label1 = nullptr;
    ListaDyskow* DriveComboBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QTreeView* DirectoryListBox1 = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonAnuluj = nullptr;

    // The current folder: the one opened last, or the chosen drive's root.
    const QString& folder() const { return m_folder; }
    // The tree's index of a folder; invalid while the tree does not show it.
    QModelIndex indeksFolderu(const QString& path) const;

    // Chooses the volume mounted at `punkt`; its root becomes the current folder.
    void wybierzDysk(const QString& punkt);
    // Makes `path` the current folder and the working directory.
    void otworzFolder(const QString& path);

    void FormActivate();
    void ButtonOKClick();
    void ButtonAnulujClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Roots the tree at the volume mounted at `punkt`.
    void pokazWolumin(const QString& punkt);
    // Shows `m_folder` in the tree: its branch open, its row current.
    void pokazFolder();
    // The drive stepped to on the closed list becomes the tree's volume.
    void wezDysk();

    const Komunikaty& m_komunikaty;
    std::function<ListaWoluminow()> m_woluminy;
    TFormUstawienia* m_ustawienia;
    QFileSystemModel* m_model = nullptr;
    FolderyWoluminu* m_foldery = nullptr;
    QString m_punkt;              // the volume the tree shows
    QString m_folder;             // the current folder
    bool m_dyskKlawiszem = false; // a key on the closed drive list is being handled
    bool m_dyskCzeka = false;     // a drive stepped to is not yet shown
};
