#include "import/ui/FormImport.h"

#include "base/Czas.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "import/ImportKsiazki.h"
#include "widgets/Komunikaty.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/OknoPostepu.h"
#include "widgets/Seams.h"
#include "widgets/Ulatwienia.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <atomic>
#include <exception>

namespace {

constexpr int kDomyslneKbps = 64;
const int kPrzeplywnosci[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192};

// The name of a project file made of a book's title: no folder separators,
// no control characters, no leading dot (a hidden file).
QString nazwaZTytulu(QString tytul) {
    for (QChar& c : tytul) {
        if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control)
            c = u' ';
    }
    tytul = tytul.simplified();
    while (tytul.startsWith(u'.'))
        tytul.remove(0, 1);
    return tytul.left(120).trimmed();
}

// A project file for what was read from `zrodla`, in `folder` (else beside
// the sources), named after the book, whose file and folder do not exist.
// It touches the disk: run it off the window's thread.
QString wolnyProjekt(const QStringList& zrodla, const ZnalezioneRozdzialy& z, QString folder) {
    const QFileInfo pierwsze(zrodla.value(0));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QFileInfo(pierwsze.absoluteFilePath()).absolutePath();
    // Without a title: a DAISY book's folder says more than its ncc.html
    // or OPF file; a cue sheet or audio file is named by itself.
    QString nazwa = nazwaZTytulu(z.tytul);
    if (nazwa.isEmpty()) {
        const QString rozszerzenie = pierwsze.suffix().toLower();
        const bool spis = rozszerzenie == u"opf" || rozszerzenie == u"html" ||
                          rozszerzenie == u"htm" || rozszerzenie == u"ncx";
        if (pierwsze.isDir())
            nazwa = nazwaZTytulu(pierwsze.fileName());
        else if (spis)
            nazwa = nazwaZTytulu(QFileInfo(pierwsze.absolutePath()).fileName());
        else
            nazwa = nazwaZTytulu(pierwsze.completeBaseName());
    }
    if (nazwa.isEmpty())
        nazwa = QStringLiteral("Książka");
    const QString baza = QDir(folder).filePath(nazwa);
    for (int i = 1; i < 100; ++i) {
        const QString p = i == 1 ? baza : QStringLiteral("%1 (%2)").arg(baza).arg(i);
        const QString plik = ImportKsiazki::plikDla(p);
        if (!QFileInfo::exists(plik) && !QFileInfo(plik).isSymLink() &&
            !QFileInfo::exists(ImportKsiazki::folderDla(p)))
            return QDir::toNativeSeparators(plik);
    }
    return QDir::toNativeSeparators(ImportKsiazki::plikDla(baza));
}

// "Rozdział 3: Tytuł, poziom 2, długość 0:12:04".
QString liniaRozdzialu(int numer, const RozdzialZrodla& r, bool poziomy) {
    QString linia = QStringLiteral("Rozdział %1: %2").arg(numer).arg(r.tytul);
    if (poziomy)
        linia += QStringLiteral(", poziom %1").arg(std::max(r.poziom, 1));
    return linia + QStringLiteral(", długość ") + czasGodzinowy(r.dlugoscUs / 1000);
}

// The progress window of the writing: the step the import is at, the
// share of the audio done with the time left, and a stop.
class PostepImportu : public OknoPostepu {
public:
    explicit PostepImportu(QWidget* owner)
        : OknoPostepu(owner, QStringLiteral("FormPostepImportu"), QStringLiteral("Import książki"),
                      QStringLiteral("Postęp importu"), QStringLiteral("Przerywanie importu…")) {
        ProgressBar1->setRange(0, 1000);
        ProgressBar1->setFormat(QStringLiteral("%p%"));
        LabelPlik->setText(QStringLiteral("Przygotowanie importu…"));
    }

    // Writes the project; rethrows here what the import threw.
    void zapisz(ImportKsiazki& zadanie, const QString& plik) {
        zadanie.dziennik = dziennikDoEtykiety();
        zadanie.postep = postepDoPaska();
        zadanie.przerwac = [this] { return m_anulowano.load(); };
        std::exception_ptr blad;
        wykonaj([&] {
            try {
                zadanie.zapisz(plik);
            } catch (...) {
                blad = std::current_exception();
            }
        });
        zadanie.dziennik = nullptr;
        zadanie.postep = nullptr;
        zadanie.przerwac = nullptr;
        if (blad)
            std::rethrow_exception(blad);
    }
};

} // namespace

// One reading of the sources; the worker holds it while it reads, the
// window while it shows it.
struct TFormImport::Czytanie {
    QStringList zrodla;
    QString folderProjektow;
    std::atomic_bool stop{false};
    std::unique_ptr<ImportKsiazki> zadanie;
    QString blad;       // why it could not be read
    QString propozycja; // a free project file
};

TFormImport::TFormImport(QWidget* owner, const Komunikaty& komunikaty, const QString& folder,
                         const QString& folderProjektow)
    : QDialog(owner), m_komunikaty(komunikaty), m_folder(folder),
      m_folderProjektow(folderProjektow) {
    setObjectName(QStringLiteral("FormImport"));
    setWindowTitle(QStringLiteral("Importuj książkę"));
    setAccessibleName(windowTitle());
    setMinimumSize(600, 440);

    EditZrodlo = new QLineEdit(this);
    EditZrodlo->setObjectName(QStringLiteral("EditZrodlo"));
    EditZrodlo->setAccessibleName(QStringLiteral("Źródło"));
    EditZrodlo->setReadOnly(true);
    EditZrodlo->setPlaceholderText(QStringLiteral("nie wybrano"));
    ButtonPliki = przycisk(this, "ButtonPliki", QStringLiteral("&Pliki..."),
                           QStringLiteral("Wybierz pliki książki"));
    ButtonFolder = przycisk(this, "ButtonFolder", QStringLiteral("F&older..."),
                            QStringLiteral("Wybierz folder książki"));

    LabelZnalezione = new QLabel(QStringLiteral("Wybierz pliki lub folder książki."), this);
    LabelZnalezione->setObjectName(QStringLiteral("LabelZnalezione"));
    LabelZnalezione->setTextFormat(Qt::PlainText);
    LabelZnalezione->setWordWrap(true);
    BarCzytanie = new QProgressBar(this);
    BarCzytanie->setObjectName(QStringLiteral("BarCzytanie"));
    BarCzytanie->setAccessibleName(QStringLiteral("Czytanie źródła"));
    BarCzytanie->setRange(0, 0); // busy: how long a reading takes is not known
    BarCzytanie->setVisible(false);

    auto* etykietaListy = new QLabel(QStringLiteral("&Znalezione rozdziały:"), this);
    ListRozdzialy = new QListWidget(this);
    ListRozdzialy->setObjectName(QStringLiteral("ListRozdzialy"));
    ListRozdzialy->setAccessibleName(QStringLiteral("Znalezione rozdziały"));
    ListRozdzialy->setSelectionMode(QAbstractItemView::SingleSelection);
    ListRozdzialy->setWordWrap(true);
    ListRozdzialy->installEventFilter(this);
    etykietaListy->setBuddy(ListRozdzialy);

    ComboKbps = new QComboBox(this);
    ComboKbps->setObjectName(QStringLiteral("ComboKbps"));
    ComboKbps->setAccessibleName(QStringLiteral("Przepływność"));
    for (const int kbps : kPrzeplywnosci)
        ComboKbps->addItem(QStringLiteral("%1 kb/s").arg(kbps), kbps);
    ComboKbps->setCurrentIndex(ComboKbps->findData(kDomyslneKbps));
    ComboKanaly = new QComboBox(this);
    ComboKanaly->setObjectName(QStringLiteral("ComboKanaly"));
    ComboKanaly->setAccessibleName(QStringLiteral("Kanały"));
    ComboKanaly->addItem(QStringLiteral("mono"), 1);
    ComboKanaly->addItem(QStringLiteral("stereo"), 2);
    mowWybor(ComboKbps, QStringLiteral("Przepływność"));
    mowWybor(ComboKanaly, QStringLiteral("Kanały"));
    LabelKodowanie = new QLabel(this);
    LabelKodowanie->setObjectName(QStringLiteral("LabelKodowanie"));
    LabelKodowanie->setWordWrap(true);

    EditProjekt = new QLineEdit(this);
    EditProjekt->setObjectName(QStringLiteral("EditProjekt"));
    EditProjekt->setAccessibleName(QStringLiteral("Plik nowego projektu"));
    ButtonProjekt = przycisk(this, "ButtonProjekt", QStringLiteral("Z&mień..."),
                             QStringLiteral("Wybierz plik nowego projektu"));
    ButtonImportuj = przycisk(this, "ButtonImportuj", QStringLiteral("&Importuj"),
                              QStringLiteral("Importuj książkę jako nowy projekt"));
    ButtonZamknij =
        przycisk(this, "ButtonZamknij", QStringLiteral("&Zamknij"), QStringLiteral("Zamknij"));

    auto* zrodlo = new QHBoxLayout;
    zrodlo->addWidget(EditZrodlo, 1);
    zrodlo->addWidget(ButtonPliki);
    zrodlo->addWidget(ButtonFolder);
    auto* projekt = new QHBoxLayout;
    projekt->addWidget(EditProjekt, 1);
    projekt->addWidget(ButtonProjekt);
    auto* pola = new QFormLayout;
    const auto pole = [&](const QString& tekst, QWidget* kontrolka, QLayout* uklad) {
        auto* etykieta = new QLabel(tekst, this);
        etykieta->setBuddy(kontrolka);
        if (uklad)
            pola->addRow(etykieta, uklad);
        else
            pola->addRow(etykieta, kontrolka);
    };
    pole(QStringLiteral("Ź&ródło:"), EditZrodlo, zrodlo);
    pole(QStringLiteral("&Przepływność MP3:"), ComboKbps, nullptr);
    pole(QStringLiteral("&Kanały:"), ComboKanaly, nullptr);
    pola->addRow(LabelKodowanie);
    pole(QStringLiteral("Plik &nowego projektu:"), EditProjekt, projekt);
    auto* przyciski = new QHBoxLayout;
    przyciski->addStretch(1);
    przyciski->addWidget(ButtonImportuj);
    przyciski->addWidget(ButtonZamknij);
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(LabelZnalezione);
    uklad->addWidget(BarCzytanie);
    uklad->addWidget(etykietaListy);
    uklad->addWidget(ListRozdzialy, 1);
    uklad->addLayout(pola);
    uklad->addLayout(przyciski);

    const auto polecenie = [this](void (TFormImport::*metoda)()) {
        return [this, metoda] { m_komunikaty.guard([&] { (this->*metoda)(); }); };
    };
    connect(ButtonPliki, &QPushButton::clicked, this, polecenie(&TFormImport::wybierzPliki));
    connect(ButtonFolder, &QPushButton::clicked, this, polecenie(&TFormImport::wybierzFolder));
    connect(ButtonProjekt, &QPushButton::clicked, this, polecenie(&TFormImport::wybierzProjekt));
    connect(ButtonImportuj, &QPushButton::clicked, this, polecenie(&TFormImport::importuj));
    connect(ButtonZamknij, &QPushButton::clicked, this, &QDialog::reject);
    connect(EditProjekt, &QLineEdit::textChanged, this, &TFormImport::aktywuj);
    connect(EditProjekt, &QLineEdit::textEdited, this, [this] { m_projektWybrany = true; });
    aktywuj();
    ButtonPliki->setFocus();
}

TFormImport::~TFormImport() {
    if (m_czytanie)
        m_czytanie->stop = true;
}

void TFormImport::reject() {
    // A reading going on is let go: it ends on its own and is dropped.
    if (m_czytanie)
        m_czytanie->stop = true;
    QDialog::reject();
}

bool TFormImport::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ListRozdzialy && event->type() == QEvent::FocusIn)
        QMetaObject::invokeMethod(
            this, [this] { zglosBiezacaKomorke(ListRozdzialy, 0); }, Qt::QueuedConnection);
    return QDialog::eventFilter(watched, event);
}

void TFormImport::wybierzPliki() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Importuj książkę: wybierz pliki");
    dialog.folder = m_folder;
    dialog.multiple = true;
    QStringList wzorce{QStringLiteral("ncc.html"), QStringLiteral("*.opf"), QStringLiteral("*.cue"),
                       QStringLiteral("*.m4b")};
    for (const QString& r : rozszerzeniaDzwieku())
        wzorce << QStringLiteral("*.") + r;
    wzorce.removeDuplicates();
    dialog.filter = QStringLiteral("Książki i pliki dźwiękowe (%1);;Wszystkie pliki (*)")
                        .arg(wzorce.join(u' '));
    const QStringList wybrane = m_komunikaty.seams().openFiles(this, dialog);
    if (!wybrane.isEmpty())
        wczytaj(wybrane);
}

void TFormImport::wybierzFolder() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Importuj książkę: wybierz folder");
    dialog.folder = m_folder;
    dialog.directory = true;
    const QStringList wybrane = m_komunikaty.seams().openFiles(this, dialog);
    if (!wybrane.isEmpty())
        wczytaj(wybrane.mid(0, 1));
}

void TFormImport::wybierzProjekt() {
    Seams::FileDialog dialog;
    dialog.title = QStringLiteral("Plik nowego projektu");
    const QFileInfo teraz(EditProjekt->text());
    dialog.folder = teraz.absolutePath();
    dialog.fileName = teraz.fileName();
    dialog.filter = QStringLiteral("xml (*.xml)");
    dialog.defaultSuffix = QStringLiteral("xml");
    // The import itself refuses an existing file: no question to replace it.
    dialog.confirmOverwrite = false;
    const QString wybrany = m_komunikaty.seams().saveFile(this, dialog);
    if (!wybrany.isEmpty()) {
        EditProjekt->setText(QDir::toNativeSeparators(wybrany));
        m_projektWybrany = true;
    }
}

void TFormImport::wczytaj(const QStringList& zrodla) {
    if (m_czytanie)
        m_czytanie->stop = true;
    auto czytanie = std::make_shared<Czytanie>();
    czytanie->zrodla = zrodla;
    czytanie->folderProjektow = m_folderProjektow;
    m_czytanie = czytanie;
    m_czyta = true;
    m_folder = QFileInfo(zrodla.first()).absolutePath();
    QStringList nazwy;
    for (const QString& z : zrodla)
        nazwy << QDir::toNativeSeparators(z);
    EditZrodlo->setText(nazwy.join(QStringLiteral("; ")));
    ListRozdzialy->clear();
    LabelZnalezione->setText(QStringLiteral("Czytanie źródła…"));
    BarCzytanie->setVisible(true);
    aktywuj();
    oglos(this, LabelZnalezione->text());

    // Off the window's thread: a book of thousands of headings or a slow
    // mount takes its time; the window stays usable and can be closed.
    QThread* watek = QThread::create([czytanie] {
        try {
            czytanie->zadanie = std::make_unique<ImportKsiazki>(czytanie->zrodla);
            czytanie->zadanie->przerwanie = &czytanie->stop;
            czytanie->zadanie->czytaj();
            czytanie->propozycja = wolnyProjekt(czytanie->zrodla, czytanie->zadanie->znalezione(),
                                                czytanie->folderProjektow);
        } catch (const std::exception& e) {
            czytanie->zadanie.reset();
            czytanie->blad = errorMessage(e);
        }
    });
    connect(watek, &QThread::finished, watek, &QObject::deleteLater);
    connect(watek, &QThread::finished, this, [this, czytanie] { przeczytane(czytanie); });
    watek->start();
}

void TFormImport::przeczytane(const std::shared_ptr<Czytanie>& czytanie) {
    if (czytanie != m_czytanie || czytanie->stop)
        return; // a reading replaced by a newer one
    m_czyta = false;
    BarCzytanie->setVisible(false);
    if (!czytanie->zadanie) {
        m_czytanie.reset();
        LabelZnalezione->setText(QStringLiteral("Nie można zaimportować wybranego źródła."));
        aktywuj();
        m_komunikaty.uwaga(QStringLiteral("Nie można zaimportować książki. ") + czytanie->blad);
        ButtonPliki->setFocus();
        return;
    }
    ImportKsiazki& zadanie = *czytanie->zadanie;
    const ZnalezioneRozdzialy& z = zadanie.znalezione();
    const QStringList opis = linieZnalezionych(z);
    // The first two lines: the kind and title, the chapters and their length.
    const QString naglowek = opis.value(0) + QStringLiteral(". ") + opis.value(1);
    LabelZnalezione->setText(naglowek);
    const bool poziomy = z.maPoziomy();
    const auto dodaj = [this](const QString& tekst) {
        auto* linia = new QListWidgetItem(tekst, ListRozdzialy);
        linia->setData(Qt::AccessibleTextRole, tekst);
    };
    dodaj(naglowek);
    for (qsizetype i = 0; i < z.rozdzialy.size(); ++i)
        dodaj(liniaRozdzialu(int(i + 1), z.rozdzialy.at(i), poziomy));
    for (const QString& u : z.uwagi)
        dodaj(QStringLiteral("Uwaga: ") + u);
    ListRozdzialy->setCurrentRow(0);

    const FormatKodowania format = zadanie.format();
    ComboKanaly->setCurrentIndex(ComboKanaly->findData(format.kanaly));
    if (!m_projektWybrany)
        EditProjekt->setText(czytanie->propozycja);
    aktywuj();
    ListRozdzialy->setFocus();
    zglosBiezacaKomorke(ListRozdzialy, 0);
}

void TFormImport::aktywuj() {
    const bool gotowe = m_czytanie && !m_czyta && m_czytanie->zadanie;
    bool koduje = false;
    if (gotowe) {
        for (const PlikDzwieku& p : m_czytanie->zadanie->znalezione().pliki)
            koduje = koduje || !p.mp3;
    }
    ComboKbps->setEnabled(koduje);
    ComboKanaly->setEnabled(koduje);
    // The defaults the combo boxes start with, and the choice they show.
    const QString tekst =
        opisKodowania(gotowe ? m_czytanie->zadanie->znalezione() : ZnalezioneRozdzialy{},
                      FormatKodowania{0, 0, kDomyslneKbps});
    LabelKodowanie->setText(tekst);
    ComboKbps->setAccessibleDescription(tekst);
    ButtonImportuj->setEnabled(gotowe && !EditProjekt->text().trimmed().isEmpty());
}

void TFormImport::importuj() {
    if (!m_czytanie || m_czyta || !m_czytanie->zadanie)
        return;
    const QString plik = EditProjekt->text().trimmed();
    if (plik.isEmpty())
        return;
    ImportKsiazki& zadanie = *m_czytanie->zadanie;
    if (ComboKbps->isEnabled()) {
        zadanie.kodowanie.kbps = ComboKbps->currentData().toInt();
        zadanie.kodowanie.kanaly = ComboKanaly->currentData().toInt();
    }
    PostepImportu postep(this);
    try {
        postep.zapisz(zadanie, plik);
    } catch (const EIstniejacyCel& e) {
        m_komunikaty.uwaga(errorMessage(e));
        EditProjekt->setFocus();
        EditProjekt->selectAll();
        return;
    } catch (const EPrzerwanyImport&) {
        oglos(this, QStringLiteral("Import przerwany; niczego nie zapisano."));
        return;
    } catch (const std::exception& e) {
        m_komunikaty.uwaga(QStringLiteral("Import się nie udał; niczego nie zapisano. ") +
                           errorMessage(e));
        return;
    }
    m_projekt = zadanie.plikProjektu();
    accept();
}
