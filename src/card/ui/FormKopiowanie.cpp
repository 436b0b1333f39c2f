#include "card/ui/FormKopiowanie.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>

TFormKopiowanie::TFormKopiowanie(QWidget* owner)
    : OknoPostepu(owner, QStringLiteral("FormKopiowanie"), QStringLiteral("Kopiowanie na kartę"),
                  QStringLiteral("Postęp kopiowania"), QStringLiteral("Przerywanie kopiowania…")) {
    ProgressBar1->setRange(0, 1000); // thousandths, so books over 2 GiB fit
    ProgressBar1->setFormat(QStringLiteral("%p%"));
}

void TFormKopiowanie::pokaz(const QString& nazwa, int numer, int razem, std::int64_t bajty,
                            std::int64_t wszystkie) {
    if (m_anulowano)
        return;
    const QLocale locale;
    const QString tekst =
        QStringLiteral("Kopiowanie pliku %1 (%2 z %3)\nSkopiowano %4 z %5 bajtów")
            .arg(nazwa)
            .arg(numer)
            .arg(razem)
            .arg(locale.toString(qlonglong(bajty)), locale.toString(qlonglong(wszystkie)));
    if (LabelPlik->text() != tekst)
        LabelPlik->setText(tekst);
    const int promile = wszystkie > 0 ? static_cast<int>(bajty * 1000 / wszystkie) : 1000;
    if (ProgressBar1->value() != promile)
        ProgressBar1->setValue(promile);
}

TFormKopiowanie::Wynik TFormKopiowanie::kopiuj(const QStringList& pliki, const QString& korzen,
                                               const QStringList& zamien,
                                               const KopiowanieNaKarte& kopiowanie) {
    Wynik wynik;
    m_anulowano = false;
    if (!pliki.isEmpty())
        pokaz(QFileInfo(pliki.first()).fileName(), 1, int(pliki.size()), 0,
              QFileInfo(pliki.first()).size());

    // The worker reads the arguments, which stay as they are while the
    // window is up, and writes only `wynik`, read here after it has ended.
    wykonaj([&] {
        QElapsedTimer odPokazania;
        for (int i = 0; i < pliki.size() && !m_anulowano; ++i) {
            const QString nazwa = QFileInfo(pliki.at(i)).fileName();
            ObslugaKopiowania obsluga;
            obsluga.postep = [&](std::int64_t bajty, std::int64_t wszystkie) {
                // Each file's start and end, and between them a few updates a
                // second: enough to follow, little work for the window.
                if (bajty == 0 || bajty == wszystkie || !odPokazania.isValid() ||
                    odPokazania.elapsed() >= 100) {
                    odPokazania.start();
                    QMetaObject::invokeMethod(
                        this,
                        [this, nazwa, i, n = int(pliki.size()), bajty, wszystkie] {
                            pokaz(nazwa, i + 1, n, bajty, wszystkie);
                        },
                        Qt::QueuedConnection);
                }
                return !m_anulowano;
            };
            obsluga.czyZamienic = [&zamien](const QString& cel) { return zamien.contains(cel); };
            const RaportKopiowania raport = kopiowanie(pliki.at(i), korzen, obsluga);
            if (raport.wynik == WynikKopiowania::Anulowano)
                break;
            wynik.raporty.append(raport);
        }
    });
    // Only a stop leaves files unattempted.
    wynik.przerwano = wynik.raporty.size() < pliki.size();
    return wynik;
}
