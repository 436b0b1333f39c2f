#include "audio/ui/FormDodawanie.h"

#include "audio/PamiecPomiarow.h"
#include "base/Paths.h"
#include "project/Otwieranie.h"

#include <QDir>
#include <QLabel>
#include <QProgressBar>

TFormDodawanie::TFormDodawanie(QWidget* owner)
    : OknoPostepu(owner, QStringLiteral("FormDodawanie"), QStringLiteral("Dodawanie folderu"),
                  QStringLiteral("Postęp dodawania"), QStringLiteral("Przerywanie dodawania…")) {}

std::optional<TFormDodawanie::Pliki> TFormDodawanie::zmierzFolder(const QString& folder) {
    ProgressBar1->setRange(0, 0); // busy until the files are counted
    LabelPlik->setText(QStringLiteral("Wyszukiwanie plików MP3 w folderze %1")
                           .arg(QDir::toNativeSeparators(folder)));
    Pliki wynik;
    // The worker writes only `wynik`, read here after it has ended; the
    // window's controls change on this thread.
    wykonaj([&] {
        PlikiFolderu pliki = przejrzyjFolder(folder, &m_anulowano);
        wynik.sciezki = std::move(pliki.sciezki);
        wynik.pominiete = std::move(pliki.pominiete);
        const int n = int(wynik.sciezki.size());
        for (int i = 0; i < n && !m_anulowano; ++i) {
            QMetaObject::invokeMethod(
                this,
                [this, i, n, nazwa = nazwaDoPokazania(ExNazwaPliku(wynik.sciezki.at(i)))] {
                    if (m_anulowano)
                        return;
                    LabelPlik->setText(QStringLiteral("Dodawanie pliku %1 (%2 z %3)")
                                           .arg(nazwa)
                                           .arg(i + 1)
                                           .arg(n));
                    ProgressBar1->setRange(0, n);
                    ProgressBar1->setValue(i);
                },
                Qt::QueuedConnection);
            const std::optional<Mp3Info> pomiar = zmierzPlikMp3(wynik.sciezki.at(i));
            wynik.dlugosci.append(pomiar ? std::optional(pomiar->lengthMs) : std::nullopt);
        }
    });
    if (m_anulowano)
        return std::nullopt;
    return wynik;
}
