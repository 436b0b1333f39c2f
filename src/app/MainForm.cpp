#include "app/MainForm.h"

#include "app/FormBlad.h"
#include "app/FormPomoc.h"
#include "app/LiniaKomunikatu.h"
#include "app/Seams.h"
#include "base/DataDirs.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "merge/FormScalaniePlikow.h"
#include "project/ModelProjektu.h"

#include <QAccessible>
#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <algorithm>

namespace {

// Draws the grid lines of the report-style list.
class GridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

} // namespace

TMainForm::TMainForm(Seams& seams, SettingsStore& store, QString programDir, QWidget* parent)
    : QMainWindow(parent), m_seams(seams), m_store(store), m_programDir(std::move(programDir)) {
    setWindowTitle(tytulAplikacji());
    setObjectName(QStringLiteral("MainForm"));
    resize(675, 449);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    utworzListe();
    utworzMenu();
    // A screen reader hears the status line's text whenever it is set, and
    // reads it with the window's status bar on request.
    StatusBar1 = new LiniaKomunikatu(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(StatusBar1, 1);
    Ogloszenie = new LiniaKomunikatu(this);
    Ogloszenie->setObjectName(QStringLiteral("Ogloszenie"));
    Ogloszenie->hide();
    statusBar()->setSizeGripEnabled(false);
    utworzOdtwarzacz();
    FormCreate();
}

TMainForm::~TMainForm() = default;

// The project starts empty and unchanged.
void TMainForm::FormCreate() {
    guard([this] { OdczytajKonfiguracje(); });
    Aktywuj();
}

void TMainForm::utworzOkna() {
    utworzFormUstawZakladke();
    utworzFormUstawienia();
    utworzFormWybierzFolder();
    utworzFormScalaniePlikow();
    FormOprogramie = new TFormOprogramie(this);
    FormBlad = new TFormBlad(this);
}

// The list shows the project model: one row per entry, "L.p." moved in
// front of the file name, which is the model's first column.
void TMainForm::utworzListe() {
    m_projekt = new ModelProjektu(this);
    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("Lista plików projektu"));
    ListView1->setModel(m_projekt);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setItemsExpandable(false);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setItemDelegate(new GridDelegate(ListView1));
    QHeaderView* header = ListView1->header();
    header->moveSection(header->visualIndex(ModelProjektu::KolLp), 0);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(40);
    header->setSectionResizeMode(ModelProjektu::KolLp, QHeaderView::Fixed);
    ListView1->setColumnWidth(ModelProjektu::KolLp, 40);
    ListView1->setColumnWidth(ModelProjektu::KolNazwa, 350);
    ListView1->setColumnWidth(ModelProjektu::KolPoczatek, 70);
    ListView1->setColumnWidth(ModelProjektu::KolDlugosc, 70);
    // "nazwa pliku" never narrower than 150.
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == ModelProjektu::KolNazwa && size < 150)
            ListView1->setColumnWidth(ModelProjektu::KolNazwa, 150);
    });
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });
    // The commands follow the rows and the selection, whatever changes them.
    connect(m_projekt, &QAbstractItemModel::rowsInserted, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::rowsRemoved, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::modelReset, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::layoutChanged, this, &TMainForm::Aktywuj);
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TMainForm::ListView1SelectItem);
    ListView1->installEventFilter(this);
    setCentralWidget(ListView1);
}

void TMainForm::utworzMenu() {
    auto item = [this](QMenu* menu, const char* name, const QString& caption,
                       const QKeySequence& shortcut, void (TMainForm::*handler)()) {
        auto* action = new QAction(caption, this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        menu->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
        return action;
    };
    auto menu = [this](const char* name, const QString& caption) {
        QMenu* m = menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    const QKeySequence none;

    Plik1 = menu("Plik1", QStringLiteral("&Plik"));
    Nowyprojekt1 = item(Plik1, "Nowyprojekt1", QStringLiteral("&Nowy projekt"),
                        QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::Nowyprojekt1Click);
    OtworzProjekt1 = item(Plik1, "OtworzProjekt1", QStringLiteral("&Otwórz projekt"),
                          QKeySequence(Qt::CTRL | Qt::Key_O), &TMainForm::OtworzProjekt1Click);
    Zapiszprojekt1 = item(Plik1, "Zapiszprojekt1", QStringLiteral("&Zapisz projekt"),
                          QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::Zapiszprojekt1Click);
    Zapiszprojektjako1 =
        item(Plik1, "Zapiszprojektjako1", QStringLiteral("Zapisz projekt &jako..."), none,
             &TMainForm::Zapiszprojektjako1Click);
    Scalajpliki1 = item(Plik1, "Scalajpliki1", QStringLiteral("&Scalaj pliki..."),
                        QKeySequence(Qt::Key_F12), &TMainForm::Scalajpliki1Click);
    Kopiujnakart1 = Plik1->addMenu(QStringLiteral("&Kopiuj na kartę"));
    Kopiujnakart1->setObjectName(QStringLiteral("Kopiujnakart1"));
    Plikaudio1 = item(Kopiujnakart1, "Plikaudio1", QStringLiteral("Plik &audio..."),
                      QKeySequence(Qt::CTRL | Qt::Key_K), &TMainForm::Plikaudio1Click);
    Plikzakadki1 = item(Kopiujnakart1, "Plikzakadki1", QStringLiteral("Plik &zakładki..."),
                        QKeySequence(Qt::CTRL | Qt::Key_L), &TMainForm::Plikzakadki1Click);
    Wolnemiejscenakarcie1 =
        item(Plik1, "Wolnemiejscenakarcie1", QStringLiteral("&Wolne miejsce na karcie"),
             QKeySequence(Qt::Key_F4), &TMainForm::Wolnemiejscenakarcie1Click);
    Zamknij1 = item(Plik1, "Zamknij1", QStringLiteral("Za&mknij"), none, &TMainForm::Zamknij1Click);

    Edycja2 = menu("Edycja2", QStringLiteral("&Edycja"));
    Dodaj2 = item(Edycja2, "Dodaj2", QStringLiteral("&Dodaj..."), QKeySequence(Qt::Key_F5),
                  &TMainForm::Dodaj2Click);
    Wstaw2 = item(Edycja2, "Wstaw2", QStringLiteral("&Wstaw..."),
                  QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    Usu1 = item(Edycja2, "Usu1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                &TMainForm::Usu1Click);

    Odtwarzacz1 = menu("Odtwarzacz1", QStringLiteral("&Odtwarzacz"));
    OdtworZzakladke1 = item(Odtwarzacz1, "OdtworZzakladke1", QStringLiteral("Odtwórz &zakładke"),
                            none, &TMainForm::OdtworZzakladke1Click);
    Odtwrzplik1 = item(Odtwarzacz1, "Odtwrzplik1", QStringLiteral("Odtwórz &plik"), none,
                       &TMainForm::Odtwrzplik1Click);
    Stop1 = item(Odtwarzacz1, "Stop1", QStringLiteral("&Stop"), none, &TMainForm::Stop1Click);
    Pauza1 = item(Odtwarzacz1, "Pauza1", QStringLiteral("P&auza"),
                  QKeySequence(Qt::CTRL | Qt::Key_D), &TMainForm::Pauza1Click);

    Narzdzia1 = menu("Narzdzia1", QStringLiteral("&Narzędzia"));
    Ustawienia1 = item(Narzdzia1, "Ustawienia1", QStringLiteral("&Ustawienia..."), none,
                       &TMainForm::Ustawienia1Click);
    Wstawodcinki1 = item(Narzdzia1, "Wstawodcinki1", QStringLiteral("Wstaw &odcinki"), none,
                         &TMainForm::Wstawodcinki1Click);

    Pomoc1 = menu("Pomoc1", QStringLiteral("Pomo&c"));
    Oprogramie1 = item(Pomoc1, "Oprogramie1", QStringLiteral("&O programie..."), none,
                       &TMainForm::Oprogramie1Click);
    StronaWww1 = item(Pomoc1, "StronaWww1", adresWww(), none, &TMainForm::StronaWww1Click);
    Pomoc2 = item(Pomoc1, "Pomoc2", QStringLiteral("&Pomoc..."), QKeySequence(Qt::Key_F1),
                  &TMainForm::Pomoc2Click);

    // The context menu. F5, Shift+F5 and F8 are shown here but taken by the
    // main menu's items, which run the same operations, so a key never runs
    // an operation twice. F2 exists only here and acts in the list.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Dodaj1 = item(PopupMenu1, "Dodaj1", QStringLiteral("&Dodaj"), QKeySequence(Qt::Key_F5),
                  &TMainForm::Dodaj2Click);
    Usun1 = item(PopupMenu1, "Usun1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                 &TMainForm::Usu1Click);
    Wstaw1 = item(PopupMenu1, "Wstaw1", QStringLiteral("&Wstaw plik"),
                  QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    UstawZakladke1 = item(PopupMenu1, "UstawZakladke1", QStringLiteral("Ustaw &zakładkę"),
                          QKeySequence(Qt::Key_F2), &TMainForm::UstawZakladke1Click);
    OdtowrzZakladke1 = item(PopupMenu1, "OdtowrzZakladke1", QStringLiteral("Odtwórz z&akładke"),
                            none, &TMainForm::OdtworZzakladke1Click);
    OdtworzPlik1 = item(PopupMenu1, "OdtworzPlik1", QStringLiteral("Odtwórz &plik"), none,
                        &TMainForm::Odtwrzplik1Click);
    for (QAction* shared : {Dodaj1, Usun1, Wstaw1})
        shared->setShortcutContext(Qt::WidgetShortcut); // only while the menu itself has focus
    UstawZakladke1->setShortcutContext(Qt::WindowShortcut);
    addAction(UstawZakladke1);
}

// ---- command enabling -----------------------------------------------------------

void TMainForm::Aktywuj() {
    const bool rows = m_projekt->rowCount() > 0;
    for (QAction* a : {Zapiszprojekt1, Zapiszprojektjako1, Scalajpliki1, Usu1})
        a->setEnabled(rows);
    Odtwarzacz1->menuAction()->setEnabled(rows);
    Stop1->setEnabled(rows);
    Pauza1->setEnabled(rows && m_pauza);
    AktywujOdtwarzacz();
}

void TMainForm::AktywujOdtwarzacz() {
    const bool menu = Odtwarzacz1->menuAction()->isEnabled();
    const bool selected = zaznaczonyWiersz() >= 0;
    Odtwrzplik1->setEnabled(menu && selected);
    OdtworZzakladke1->setEnabled(menu && selected);
}

void TMainForm::ListView1SelectItem() {
    AktywujOdtwarzacz();
}

void TMainForm::ustawPauze(bool enabled) {
    m_pauza = enabled;
    Pauza1->setEnabled(enabled && Odtwarzacz1->menuAction()->isEnabled());
}

// ---- errors and messages ----------------------------------------------------------

bool TMainForm::guard(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        pokazBlad(errorMessage(e));
    } catch (...) {
        pokazBlad(QStringLiteral("Nieznany błąd"));
    }
    return false;
}

void TMainForm::pokazBlad(const QString& text) {
    m_seams.message(this, Seams::Icon::Critical, tytulAplikacji(), errorBoxText(text),
                    QMessageBox::Ok);
}

QMessageBox::StandardButton TMainForm::uwaga(const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton,
                                             QMessageBox::StandardButton escapeButton) {
    return m_seams.message(this, Seams::Icon::None, QStringLiteral("Uwaga"), text, buttons,
                           defaultButton, escapeButton);
}

void TMainForm::pokazFormBlad(const QString& header, const QStringList& lines) {
    FormBlad->Memo1->clear();
    FormBlad->Memo1->setPlainText((QStringList{header} + lines).join(QLatin1Char('\n')));
    m_seams.execDialog(FormBlad);
}

// ---- the project list --------------------------------------------------------------

int TMainForm::zaznaczonyWiersz() const {
    int row = -1;
    for (const QItemSelectionRange& range : ListView1->selectionModel()->selection()) {
        if (row < 0 || range.top() < row)
            row = range.top();
    }
    return row;
}

void TMainForm::fokusNaLiscie(int row) {
    const int n = m_projekt->rowCount();
    if (n > 0 && row >= 0) {
        const QModelIndex index = m_projekt->index(std::min(row, n - 1), ModelProjektu::KolNazwa);
        ListView1->setCurrentIndex(index);
        ListView1->scrollTo(index);
    } else if (n > 0 && !ListView1->currentIndex().isValid()) {
        // The current row follows the selection, which stays as it is.
        const int selected = zaznaczonyWiersz();
        ListView1->selectionModel()->setCurrentIndex(
            m_projekt->index(std::max(selected, 0), ModelProjektu::KolNazwa),
            selected < 0 ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                         : QItemSelectionModel::NoUpdate);
    }
    ListView1->setFocus(Qt::OtherFocusReason);
}

QString TMainForm::tekstStatusu() const {
    return StatusBar1->text();
}

void TMainForm::ustawStatus(const QString& text) {
    StatusBar1->ustaw(text);
}

void TMainForm::oglos(const QString& text) {
    Ogloszenie->ustaw(text);
}

// ---- window events -------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
    // A running merge is stopped cleanly (if the user agrees) before the
    // program may end; otherwise the window stays.
    if (FormScalaniePlikow && !FormScalaniePlikow->zakonczScalanie()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!guard([&] { FormClose(event); }))
        event->ignore(); // a failed save keeps the window and the project
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        fokusNaLiscie();
}

// A list that gets the focus is announced by itself, without its current
// row. Once that has been told, the row's cell is reported as focused too,
// so that a screen reader reads the row the user is on.
void TMainForm::zglosBiezacyWiersz() {
    const QModelIndex current = ListView1->currentIndex();
    if (!QAccessible::isActive() || !ListView1->hasFocus() || !current.isValid())
        return;
    QAccessibleInterface* lista = QAccessible::queryAccessibleInterface(ListView1);
    QAccessibleTableInterface* tabela = lista ? lista->tableInterface() : nullptr;
    QAccessibleInterface* komorka =
        tabela ? tabela->cellAt(current.row(), current.column()) : nullptr;
    if (!komorka)
        return;
    QAccessibleEvent fokus(ListView1, QAccessible::Focus);
    fokus.setChild(lista->indexOfChild(komorka));
    QAccessible::updateAccessibility(&fokus);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListView1 && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(this, &TMainForm::zglosBiezacyWiersz, Qt::QueuedConnection);
    if (watched == ListView1 && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        // Shift+F10 opens the context menu at the current row, as the Menu key does.
        if (key == Qt::Key_F10 && keyEvent->modifiers() == Qt::ShiftModifier) {
            const QRect r = ListView1->visualRect(ListView1->currentIndex());
            PopupMenu1->popup(
                ListView1->viewport()->mapToGlobal(r.isValid() ? r.center() : QPoint()));
            return true;
        }
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter ||
            key == Qt::Key_Escape) {
            guard([&] { ListView1KeyDown(key); });
        }
        // The key goes on to the list view as usual.
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- commands ----------------------------------------------------------------------------

void TMainForm::Nowyprojekt1Click() {
    NowyProjekt();
}
void TMainForm::OtworzProjekt1Click() {
    WczytajProjekt();
}
void TMainForm::Zapiszprojekt1Click() {
    ZapiszProjekt();
}
void TMainForm::Zapiszprojektjako1Click() {
    ZapiszProjektJako();
}
void TMainForm::Plikaudio1Click() {
    KopiujPlikAudio();
}
void TMainForm::Wolnemiejscenakarcie1Click() {
    WolneMiejsceNaKarcie();
}
void TMainForm::Dodaj2Click() {
    WstawDoListy();
}
void TMainForm::Wstaw2Click() {
    WstawPomiedzy();
}
void TMainForm::Odtwrzplik1Click() {
    OdtworzPlik();
}
void TMainForm::Stop1Click() {
    Stop();
}

void TMainForm::Usu1Click() {
    UsunzListy();
    Przenumeruj();
}

// "Zamknij" closes the main window like its close box, so a changed
// project is never dropped without the save question.
void TMainForm::Zamknij1Click() {
    close();
}

void TMainForm::Oprogramie1Click() {
    m_seams.execDialog(FormOprogramie);
}

void TMainForm::StronaWww1Click() {
    m_seams.openUrl(QUrl(adresWww()), {});
}

// The help page is looked up in the working directory first (the folder
// chooser changes it), then beside the program and in the data folders.
void TMainForm::Pomoc2Click() {
    QString path = sciezkaPomocy(m_programDir);
    if (path.isEmpty())
        path = QDir(m_programDir).absoluteFilePath(QStringLiteral("pomoc.html"));
    otworzPomoc(path);
}

void TMainForm::otworzPomoc(const QString& path) {
    m_seams.openUrl(QUrl::fromLocalFile(path), [okno = QPointer<TMainForm>(this), path] {
        if (okno)
            okno->pokazPomocWOknie(path);
    });
}

void TMainForm::pokazPomocWOknie(const QString& path) {
    if (!FormPomoc)
        FormPomoc = new TFormPomoc(this);
    FormPomoc->pokaz(path);
}
