#include "app/MainForm.h"

#include "app/ListaProjektu.h"
#include "app/RozmowaOkna.h"
#include "base/DataDirs.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "merge/ui/FormScalaniePlikow.h"
#include "project/ModelProjektu.h"
#include "widgets/FormBlad.h"
#include "widgets/FormOprogramie.h"
#include "widgets/FormPomoc.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/Seams.h"
#include "widgets/Ulatwienia.h"

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
#include <QUndoStack>
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

TMainForm::TMainForm(const Uslugi& uslugi, QWidget* parent)
    : QMainWindow(parent), m_uslugi(uslugi), m_seams(uslugi.seams),
      m_komunikaty(uslugi.seams, this),
      m_rozmowa(std::make_unique<RozmowaOkna>(*this, m_komunikaty)) {
    wlaczUlatwienia();
    setObjectName(QStringLiteral("MainForm"));
    resize(675, 449);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    utworzListe();
    m_sesja = std::make_unique<Sesja>(*m_rozmowa, *m_rozmowa, uslugi.store, *m_projekt, *m_historia,
                                      UslugiSesji{uslugi.wolneMiejsce, uslugi.kopiowanieNaKarte,
                                                  uslugi.wysuwanieKarty, uslugi.programDir,
                                                  uslugi.folderOryginalow});
    m_sesja->przyZmianieOstatnich([this] { odswiezOstatnie(); });
    m_sesja->przyPokazaniuKsiazekNaKarcie([this] { Ksiazkinakarcie1Click(); });
    utworzMenu();
    polaczHistorie();
    ustawTytul();
    // A screen reader hears the status line's text whenever it is set, and
    // reads it with the window's status bar on request.
    m_StatusBar1 = new LiniaKomunikatu(this);
    m_StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->addWidget(m_StatusBar1, 1);
    ogloszenie(this);
    statusBar()->setSizeGripEnabled(false);
    utworzOdtwarzacz();
    FormCreate();
}

// The rows and the selection go with the window's children: no command
// needs enabling any more while they do.
TMainForm::~TMainForm() {
    m_ListView1->selectionModel()->disconnect(this);
    m_projekt->disconnect(this);
    m_historia->stos().disconnect(this);
}

// The project starts empty and unchanged.
void TMainForm::FormCreate() {
    guard([this] { OdczytajKonfiguracje(); });
    m_sesja->odczytajStan();
    przywrocGeometrie();
    odswiezOstatnie();
    Aktywuj();
}

void TMainForm::utworzOkna() {
    utworzFormUstawZakladke();
    utworzFormUstawienia();
    utworzFormWybierzFolder();
    utworzFormScalaniePlikow();
    m_FormOprogramie = new TFormOprogramie(this);
    m_FormBlad = new TFormBlad(this);
}

// The list shows the project model: one row per entry, "L.p." moved in
// front of the file name, which is the model's first column.
void TMainForm::utworzListe() {
    m_projekt = new ModelProjektu(this);
    m_historia = new HistoriaProjektu(*m_projekt, this);
    m_ListView1 = new ListaProjektu(*m_projekt, this);
    m_ListView1->setObjectName(QStringLiteral("ListView1"));
    m_ListView1->setAccessibleName(QStringLiteral("Lista plików projektu"));
    m_ListView1->setRootIsDecorated(false);
    m_ListView1->setUniformRowHeights(true);
    m_ListView1->setItemsExpandable(false);
    m_ListView1->setAllColumnsShowFocus(true);
    m_ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ListView1->setItemDelegate(new GridDelegate(m_ListView1));
    QHeaderView* header = m_ListView1->header();
    header->moveSection(header->visualIndex(ModelProjektu::KolLp), 0);
    header->setStretchLastSection(true);
    header->setMinimumSectionSize(40);
    header->setSectionResizeMode(ModelProjektu::KolLp, QHeaderView::Fixed);
    m_ListView1->setColumnWidth(ModelProjektu::KolLp, 40);
    m_ListView1->setColumnWidth(ModelProjektu::KolNazwa, 350);
    m_ListView1->setColumnWidth(ModelProjektu::KolPoczatek, 70);
    m_ListView1->setColumnWidth(ModelProjektu::KolDlugosc, 70);
    // "nazwa pliku" never narrower than 150.
    connect(header, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section == ModelProjektu::KolNazwa && size < 150)
            m_ListView1->setColumnWidth(ModelProjektu::KolNazwa, 150);
    });
    m_ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_PopupMenu1->popup(m_ListView1->viewport()->mapToGlobal(pos));
    });
    // The commands follow the rows and the selection, whatever changes them.
    connect(m_projekt, &QAbstractItemModel::rowsInserted, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::rowsRemoved, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::modelReset, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::layoutChanged, this, &TMainForm::Aktywuj);
    connect(m_projekt, &QAbstractItemModel::rowsMoved, this, &TMainForm::Aktywuj);
    connect(m_ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TMainForm::ListView1SelectItem);
    m_ListView1->installEventFilter(this);
    setCentralWidget(m_ListView1);
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

    m_Plik1 = menu("Plik1", QStringLiteral("&Plik"));
    m_Nowyprojekt1 = item(m_Plik1, "Nowyprojekt1", QStringLiteral("&Nowy projekt"),
                          QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::Nowyprojekt1Click);
    m_OtworzProjekt1 = item(m_Plik1, "OtworzProjekt1", QStringLiteral("&Otwórz projekt"),
                            QKeySequence(Qt::CTRL | Qt::Key_O), &TMainForm::OtworzProjekt1Click);
    m_Dodajfolder1 = item(m_Plik1, "Dodajfolder1", QStringLiteral("Dodaj &folder..."),
                          QKeySequence(Qt::CTRL | Qt::Key_F5), &TMainForm::Dodajfolder1Click);
    m_Importujksiazke1 =
        item(m_Plik1, "Importujksiazke1", QStringLiteral("&Importuj książkę..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &TMainForm::Importujksiazke1Click);
    m_Zapiszprojekt1 = item(m_Plik1, "Zapiszprojekt1", QStringLiteral("&Zapisz projekt"),
                            QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::Zapiszprojekt1Click);
    m_Zapiszprojektjako1 =
        item(m_Plik1, "Zapiszprojektjako1", QStringLiteral("Zapisz projekt &jako..."), none,
             &TMainForm::Zapiszprojektjako1Click);
    m_Scalajpliki1 = item(m_Plik1, "Scalajpliki1", QStringLiteral("&Scalaj pliki..."),
                          QKeySequence(Qt::Key_F12), &TMainForm::Scalajpliki1Click);
    m_Eksportujksiazke1 =
        item(m_Plik1, "Eksportujksiazke1", QStringLiteral("&Eksportuj książkę..."),
             QKeySequence(Qt::CTRL | Qt::Key_E), &TMainForm::Eksportujksiazke1Click);
    m_Kopiujnakart1 = m_Plik1->addMenu(QStringLiteral("&Kopiuj na kartę"));
    m_Kopiujnakart1->setObjectName(QStringLiteral("Kopiujnakart1"));
    m_Plikaudio1 = item(m_Kopiujnakart1, "Plikaudio1", QStringLiteral("Plik &audio..."),
                        QKeySequence(Qt::CTRL | Qt::Key_K), &TMainForm::Plikaudio1Click);
    m_Plikzakadki1 = item(m_Kopiujnakart1, "Plikzakadki1", QStringLiteral("Plik &zakładki..."),
                          QKeySequence(Qt::CTRL | Qt::Key_L), &TMainForm::Plikzakadki1Click);
    m_Kopiujnakart1->addSeparator();
    m_SprawdzKsiazke1 =
        item(m_Kopiujnakart1, "SprawdzKsiazke1", QStringLiteral("&Sprawdź książkę na karcie..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), &TMainForm::SprawdzKsiazke1Click);
    m_WysunKarte1 =
        item(m_Kopiujnakart1, "WysunKarte1", QStringLiteral("&Wysuń kartę"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), &TMainForm::WysunKarte1Click);
    m_Wolnemiejscenakarcie1 =
        item(m_Plik1, "Wolnemiejscenakarcie1", QStringLiteral("&Wolne miejsce na karcie"),
             QKeySequence(Qt::Key_F4), &TMainForm::Wolnemiejscenakarcie1Click);
    utworzMenuOstatnich();
    m_Zamknij1 =
        item(m_Plik1, "Zamknij1", QStringLiteral("Za&mknij"), none, &TMainForm::Zamknij1Click);

    m_Edycja2 = menu("Edycja2", QStringLiteral("&Edycja"));
    m_Dodaj2 = item(m_Edycja2, "Dodaj2", QStringLiteral("&Dodaj..."), QKeySequence(Qt::Key_F5),
                    &TMainForm::Dodaj2Click);
    m_Wstaw2 = item(m_Edycja2, "Wstaw2", QStringLiteral("&Wstaw..."),
                    QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    m_Usu1 = item(m_Edycja2, "Usu1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                  &TMainForm::Usu1Click);
    m_Edycja2->addSeparator();
    m_PrzesunWGore1 = item(m_Edycja2, "PrzesunWGore1", QStringLiteral("Przesuń w &górę"),
                           QKeySequence(Qt::ALT | Qt::Key_Up), &TMainForm::PrzesunWGore1Click);
    m_PrzesunWDol1 = item(m_Edycja2, "PrzesunWDol1", QStringLiteral("Przesuń w dó&ł"),
                          QKeySequence(Qt::ALT | Qt::Key_Down), &TMainForm::PrzesunWDol1Click);
    m_Edycja2->addSeparator();
    // The captions name the step (polaczHistorie).
    m_Cofnij1 = item(m_Edycja2, "Cofnij1", QStringLiteral("&Cofnij"),
                     QKeySequence(Qt::CTRL | Qt::Key_Z), &TMainForm::Cofnij1Click);
    m_Ponow1 = item(m_Edycja2, "Ponow1", QStringLiteral("&Ponów"),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TMainForm::Ponow1Click);
    m_Ponow1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

    m_Odtwarzacz1 = menu("Odtwarzacz1", QStringLiteral("&Odtwarzacz"));
    m_OdtworZzakladke1 =
        item(m_Odtwarzacz1, "OdtworZzakladke1", QStringLiteral("Odtwórz &zakładke"), none,
             &TMainForm::OdtworZzakladke1Click);
    m_Odtwrzplik1 = item(m_Odtwarzacz1, "Odtwrzplik1", QStringLiteral("Odtwórz &plik"), none,
                         &TMainForm::Odtwrzplik1Click);
    m_Stop1 = item(m_Odtwarzacz1, "Stop1", QStringLiteral("&Stop"), none, &TMainForm::Stop1Click);
    m_Pauza1 = item(m_Odtwarzacz1, "Pauza1", QStringLiteral("P&auza"),
                    QKeySequence(Qt::CTRL | Qt::Key_D), &TMainForm::Pauza1Click);

    m_Narzdzia1 = menu("Narzdzia1", QStringLiteral("&Narzędzia"));
    m_Ustawienia1 = item(m_Narzdzia1, "Ustawienia1", QStringLiteral("&Ustawienia..."), none,
                         &TMainForm::Ustawienia1Click);
    m_Wstawodcinki1 = item(m_Narzdzia1, "Wstawodcinki1", QStringLiteral("Wstaw &odcinki"), none,
                           &TMainForm::Wstawodcinki1Click);
    m_Wykryjzakadki1 = item(m_Narzdzia1, "Wykryjzakadki1", QStringLiteral("&Wykryj zakładki"), none,
                            &TMainForm::Wykryjzakadki1Click);
    m_Przegladzakladek1 =
        item(m_Narzdzia1, "Przegladzakladek1", QStringLiteral("P&rzegląd zakładek..."),
             QKeySequence(Qt::CTRL | Qt::Key_R), &TMainForm::Przegladzakladek1Click);
    m_Dopasujdoprzerw1 =
        item(m_Narzdzia1, "Dopasujdoprzerw1", QStringLiteral("&Dopasuj zakładki do przerw"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), &TMainForm::Dopasujdoprzerw1Click);
    m_Podsumowanieksiazki1 =
        item(m_Narzdzia1, "Podsumowanieksiazki1", QStringLiteral("&Podsumowanie książki"),
             QKeySequence(Qt::CTRL | Qt::Key_I), &TMainForm::Podsumowanieksiazki1Click);
    m_Glosnosc1 = item(m_Narzdzia1, "Glosnosc1", QStringLiteral("&Głośność"),
                       QKeySequence(Qt::CTRL | Qt::Key_G), &TMainForm::Glosnosc1Click);
    m_Ksiazkinakarcie1 =
        item(m_Narzdzia1, "Ksiazkinakarcie1", QStringLiteral("&Książki na karcie..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F4), &TMainForm::Ksiazkinakarcie1Click);

    m_Pomoc1 = menu("Pomoc1", QStringLiteral("Pomo&c"));
    m_Oprogramie1 = item(m_Pomoc1, "Oprogramie1", QStringLiteral("&O programie..."), none,
                         &TMainForm::Oprogramie1Click);
    m_StronaWww1 = item(m_Pomoc1, "StronaWww1", adresWww(), none, &TMainForm::StronaWww1Click);
    m_Pomoc2 = item(m_Pomoc1, "Pomoc2", QStringLiteral("&Pomoc..."), QKeySequence(Qt::Key_F1),
                    &TMainForm::Pomoc2Click);

    // The context menu. F5, Shift+F5 and F8 are shown here but taken by the
    // main menu's items, which run the same operations, so a key never runs
    // an operation twice. F2 exists only here and acts in the list.
    m_PopupMenu1 = new QMenu(this);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_Dodaj1 = item(m_PopupMenu1, "Dodaj1", QStringLiteral("&Dodaj"), QKeySequence(Qt::Key_F5),
                    &TMainForm::Dodaj2Click);
    m_PopupMenu1->addAction(m_Dodajfolder1); // the same command in both menus
    m_Usun1 = item(m_PopupMenu1, "Usun1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                   &TMainForm::Usu1Click);
    m_Wstaw1 = item(m_PopupMenu1, "Wstaw1", QStringLiteral("&Wstaw plik"),
                    QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    m_UstawZakladke1 = item(m_PopupMenu1, "UstawZakladke1", QStringLiteral("Ustaw &zakładkę"),
                            QKeySequence(Qt::Key_F2), &TMainForm::UstawZakladke1Click);
    m_OdtowrzZakladke1 = item(m_PopupMenu1, "OdtowrzZakladke1", QStringLiteral("Odtwórz z&akładke"),
                              none, &TMainForm::OdtworZzakladke1Click);
    for (QAction* odtworz : {m_OdtworZzakladke1, m_OdtowrzZakladke1})
        slyszaneJako(odtworz, {{QStringLiteral("zakładke"), QStringLiteral("zakładkę")}});
    m_OdtworzPlik1 = item(m_PopupMenu1, "OdtworzPlik1", QStringLiteral("Odtwórz &plik"), none,
                          &TMainForm::Odtwrzplik1Click);
    // Moving is the same command in both menus.
    m_PopupMenu1->addSeparator();
    m_PopupMenu1->addAction(m_PrzesunWGore1);
    m_PopupMenu1->addAction(m_PrzesunWDol1);
    for (QAction* shared : {m_Dodaj1, m_Usun1, m_Wstaw1})
        shared->setShortcutContext(Qt::WidgetShortcut); // only while the menu itself has focus
    m_UstawZakladke1->setShortcutContext(Qt::WindowShortcut);
    addAction(m_UstawZakladke1);
    mowPowodyNieczynnych(this, [this](const QAction* akcja) { return powodNieczynnego(akcja); });
}

// ---- command enabling -----------------------------------------------------------

void TMainForm::Aktywuj() {
    const bool rows = m_projekt->rowCount() > 0;
    for (QAction* a : {m_Zapiszprojekt1, m_Zapiszprojektjako1, m_Scalajpliki1, m_Eksportujksiazke1,
                       m_Usu1, m_Wykryjzakadki1, m_Podsumowanieksiazki1, m_Glosnosc1,
                       m_Przegladzakladek1, m_Dopasujdoprzerw1})
        a->setEnabled(rows);
    m_Odtwarzacz1->menuAction()->setEnabled(rows);
    m_Stop1->setEnabled(rows);
    m_Pauza1->setEnabled(rows && m_pauza);
    AktywujOdtwarzacz();
    AktywujEdycje();
}

void TMainForm::AktywujOdtwarzacz() {
    const bool menu = m_Odtwarzacz1->menuAction()->isEnabled();
    const bool selected = zaznaczonyWiersz() >= 0;
    m_Odtwrzplik1->setEnabled(menu && selected);
    m_OdtworZzakladke1->setEnabled(menu && selected);
}

// What a command's key says while the command cannot act.
QString TMainForm::powodNieczynnego(const QAction* akcja) const {
    const QString polecenie = QString(akcja->text()).remove(u'&').remove(QStringLiteral("..."));
    const auto powod = [&](const QString& dlaczego) {
        return polecenie + QStringLiteral(": ") + dlaczego;
    };
    if (akcja == m_Cofnij1)
        return powod(QStringLiteral("nie ma czego cofnąć."));
    if (akcja == m_Ponow1)
        return powod(QStringLiteral("nie ma czego ponowić."));
    if (akcja == m_Pauza1)
        return powod(QStringLiteral("nic nie jest odtwarzane."));
    if (m_projekt->rowCount() == 0)
        return powod(QStringLiteral("lista plików jest pusta. Pliki dodaje klawisz F5."));
    const QList<int> wiersze = zaznaczoneWiersze();
    if (wiersze.isEmpty())
        return powod(QStringLiteral("nie zaznaczono pliku."));
    if (akcja == m_PrzesunWGore1)
        return powod(QStringLiteral("zaznaczenie jest już na początku listy."));
    if (akcja == m_PrzesunWDol1)
        return powod(QStringLiteral("zaznaczenie jest już na końcu listy."));
    return powod(QStringLiteral("teraz niedostępne."));
}

void TMainForm::ListView1SelectItem() {
    AktywujOdtwarzacz();
    AktywujEdycje();
}

void TMainForm::ustawPauze(bool enabled) {
    m_pauza = enabled;
    m_Pauza1->setEnabled(enabled && m_Odtwarzacz1->menuAction()->isEnabled());
}

// ---- errors and messages ----------------------------------------------------------

void TMainForm::pokazFormBlad(const QString& header, const QStringList& lines) {
    m_FormBlad->Memo1->clear();
    m_FormBlad->Memo1->setPlainText(
        nazwaDoPokazania((QStringList{header} + lines).join(QLatin1Char('\n'))));
    m_seams.execDialog(m_FormBlad);
}

// ---- the project list --------------------------------------------------------------

int TMainForm::zaznaczonyWiersz() const {
    int row = -1;
    for (const QItemSelectionRange& range : m_ListView1->selectionModel()->selection()) {
        if (row < 0 || range.top() < row)
            row = range.top();
    }
    return row;
}

void TMainForm::fokusNaLiscie(int row) {
    const int n = m_projekt->rowCount();
    if (n > 0 && row >= 0) {
        const QModelIndex index = m_projekt->index(std::min(row, n - 1), ModelProjektu::KolNazwa);
        m_ListView1->setCurrentIndex(index);
        m_ListView1->scrollTo(index);
    } else if (n > 0 && !m_ListView1->currentIndex().isValid()) {
        // The current row follows the selection, which stays as it is.
        const int selected = zaznaczonyWiersz();
        m_ListView1->selectionModel()->setCurrentIndex(
            m_projekt->index(std::max(selected, 0), ModelProjektu::KolNazwa),
            selected < 0 ? QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows
                         : QItemSelectionModel::NoUpdate);
    }
    m_ListView1->setFocus(Qt::OtherFocusReason);
}

QString TMainForm::tekstStatusu() const {
    return m_StatusBar1->text();
}

void TMainForm::ustawStatus(const QString& text) {
    m_StatusBar1->ustaw(text);
}

void TMainForm::oglos(const QString& text) {
    ::oglos(this, text);
}

// ---- window events -------------------------------------------------------------------

void TMainForm::closeEvent(QCloseEvent* event) {
    // A running merge is stopped cleanly (if the user agrees) before the
    // program may end; otherwise the window stays.
    if (m_FormScalaniePlikow && !m_FormScalaniePlikow->zakonczScalanie()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!guard([&] { FormClose(event); }))
        event->ignore(); // a failed save keeps the window and the project
    if (event->isAccepted())
        zapamietajGeometrie();
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        fokusNaLiscie();
}

// The list's current row, read once the list itself has been announced.
void TMainForm::zglosBiezacyWiersz() {
    zglosBiezacaKomorke(m_ListView1);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_ListView1 && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(this, &TMainForm::zglosBiezacyWiersz, Qt::QueuedConnection);
    if (watched == m_ListView1 && event->type() == QEvent::KeyPress) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        // Shift+F10 opens the context menu at the current row, as the Menu key does.
        if (key == Qt::Key_F10 && keyEvent->modifiers() == Qt::ShiftModifier) {
            const QRect r = m_ListView1->visualRect(m_ListView1->currentIndex());
            m_PopupMenu1->popup(
                m_ListView1->viewport()->mapToGlobal(r.isValid() ? r.center() : QPoint()));
            return true;
        }
        // Ctrl+Space (and Ctrl with the arrows) belongs to the list: it builds
        // a scattered selection there, so only the plain keys act here.
        const bool plain =
            !(keyEvent->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        if (plain && (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter ||
                      key == Qt::Key_Escape)) {
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
    m_sesja->kopiujKsiazke();
}
void TMainForm::Wolnemiejscenakarcie1Click() {
    m_sesja->zmierzKarte();
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
    m_seams.execDialog(m_FormOprogramie);
}

void TMainForm::StronaWww1Click() {
    m_seams.openUrl(QUrl(adresWww()), {});
}

// The help page is looked up in the working directory first (the folder
// chooser changes it), then beside the program and in the data folders.
void TMainForm::Pomoc2Click() {
    QString path = sciezkaPomocy(m_uslugi.programDir);
    if (path.isEmpty())
        path = QDir(m_uslugi.programDir).absoluteFilePath(QStringLiteral("pomoc.html"));
    otworzPomoc(path);
}

void TMainForm::otworzPomoc(const QString& path) {
    m_seams.openUrl(QUrl::fromLocalFile(path), [okno = QPointer<TMainForm>(this), path] {
        if (okno)
            okno->pokazPomocWOknie(path);
    });
}

void TMainForm::pokazPomocWOknie(const QString& path) {
    if (!m_FormPomoc)
        m_FormPomoc = new TFormPomoc(this);
    m_FormPomoc->pokaz(path);
}
