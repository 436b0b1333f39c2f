#include "app/MainForm.h"

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
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QUndoStack>
#include <algorithm>

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
    m_lista = std::make_unique<SesjaLista>(
        *m_sesja, *m_rozmowa, *m_rozmowa, *m_projekt, *m_historia,
        UslugiListy{uslugi.wykrywanieTytulow, uslugi.miernikGlosnosci, uslugi.miernikScalania});
    m_wyjscie =
        std::make_unique<SesjaWyjscie>(*m_sesja, *m_lista, *m_rozmowa, *m_rozmowa, *m_projekt);
    m_sesja->przyZmianieOstatnich([this] { odswiezOstatnie(); });
    m_sesja->przyPokazaniuKsiazekNaKarcie([this] { Ksiazkinakarcie1Click(); });
    utworzMenu(*this);
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
    m_odtwarzanie = std::make_unique<OdtwarzanieOkna>(*this);
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

// The list shows the project model, one row per entry (ListaProjektu).
void TMainForm::utworzListe() {
    m_projekt = new ModelProjektu(this);
    m_historia = new HistoriaProjektu(*m_projekt, this);
    m_ListView1 = new ListaProjektu(*m_projekt, this);
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
            guard([&] { m_odtwarzanie->klawisz(key); });
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
