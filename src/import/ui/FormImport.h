#pragma once
// "Importuj książkę": the user picks the book's files or its folder, the
// window reads what they hold on a worker thread (a DAISY book with
// thousands of headings, a slow mount) and lists it before anything is
// written: the kind of source, the total length, and one line per chapter
// with the values' names, each an item to a screen reader. The encoding
// of what is not MP3 is chosen here (disabled when every chapter is MP3,
// which is only cut), and the new project's file. "Importuj" writes the
// project in a progress window with the time left and a stop; the window
// then closes accepted, and its opener opens projekt().
//
// An existing project file or folder is never written over: the import
// refuses it before it writes anything and the window asks for another
// name. A stopped or failed import leaves nothing behind.

#include <QDialog>
#include <QStringList>
#include <memory>

class ImportKsiazki;
class Komunikaty;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;

class TFormImport : public QDialog {
    Q_OBJECT
public:
    // `folder` is where the source dialogs start; the new project is
    // proposed in `folderProjektow` (beside the source when empty).
    TFormImport(QWidget* owner, const Komunikaty& komunikaty, const QString& folder,
                const QString& folderProjektow);
    ~TFormImport() override;

    // Reads `zrodla` on a worker thread; the list shows them when it ends.
    void wczytaj(const QStringList& zrodla);
    // Whether a reading is going on.
    bool czyta() const { return m_czyta; }
    // The commands of the buttons.
    void wybierzPliki();
    void wybierzFolder();
    void wybierzProjekt();
    void importuj();

    // The project written, after the window was accepted.
    QString projekt() const { return m_projekt; }

    QPushButton* ButtonPliki = nullptr;
    QPushButton* ButtonFolder = nullptr;
    QLineEdit* EditZrodlo = nullptr;
    QLabel* LabelZnalezione = nullptr;
    QProgressBar* BarCzytanie = nullptr;
    QListWidget* ListRozdzialy = nullptr;
    QComboBox* ComboKbps = nullptr;
    QComboBox* ComboKanaly = nullptr;
    QLabel* LabelKodowanie = nullptr;
    QLineEdit* EditProjekt = nullptr;
    QPushButton* ButtonProjekt = nullptr;
    QPushButton* ButtonImportuj = nullptr;
    QPushButton* ButtonZamknij = nullptr;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Czytanie;
    void przeczytane(const std::shared_ptr<Czytanie>& czytanie);
    void aktywuj();

    const Komunikaty& m_komunikaty;
    QString m_folder;
    QString m_folderProjektow;
    bool m_projektWybrany = false;        // the user named the project: a new reading keeps it
    std::shared_ptr<Czytanie> m_czytanie; // the last reading, done or going on
    bool m_czyta = false;
    QString m_projekt;
};
