#include "audio/ui/FormPomiarGlosnosci.h"

#include "base/Errors.h"
#include "base/Watki.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <mutex>
#include <thread>
#include <vector>

TFormPomiarGlosnosci::TFormPomiarGlosnosci(QWidget* owner)
    : OknoPostepu(owner, QStringLiteral("FormPomiarGlosnosci"), QStringLiteral("Pomiar głośności"),
                  QStringLiteral("Postęp pomiaru głośności"),
                  QStringLiteral("Przerywanie pomiaru…")) {}

TFormPomiarGlosnosci::Wynik TFormPomiarGlosnosci::zmierz(const QStringList& pliki,
                                                         PamiecGlosnosci& pamiec,
                                                         const MiernikGlosnosci& miernik,
                                                         int watki) {
    Wynik wynik;
    QStringList doZmierzenia;
    pamiec.znane(pliki, doZmierzenia);
    const int n = int(doZmierzenia.size());
    if (n == 0)
        return wynik;

    ProgressBar1->setRange(0, n);
    ProgressBar1->setValue(0);
    const auto pokaz = [this, n](const QString& plik, int numer, int zrobione) {
        if (m_anulowano)
            return;
        LabelPlik->setText(QStringLiteral("Pomiar głośności: %1 (%2 z %3)")
                               .arg(QFileInfo(plik).fileName())
                               .arg(numer)
                               .arg(n));
        ProgressBar1->setValue(std::max(ProgressBar1->value(), zrobione));
    };
    pokaz(doZmierzenia.first(), 1, 0);

    // Each worker takes the next file not taken yet. They read the list,
    // which stays as it is while the window is up, store into `pamiec`
    // (safe across threads) and write `wynik` under the lock; it is read
    // here after all have ended.
    std::atomic_int nastepny = 0;
    std::atomic_int zrobione = 0;
    std::mutex blokada;
    const auto pracuj = [&] {
        for (;;) {
            const int i = nastepny++;
            if (i >= n || m_anulowano)
                return;
            const QString& plik = doZmierzenia.at(i);
            if (i > 0)
                QMetaObject::invokeMethod(
                    this, [pokaz, plik, i, z = zrobione.load()] { pokaz(plik, i + 1, z); },
                    Qt::QueuedConnection);
            std::optional<PomiarGlosnosci> pomiar;
            QString blad;
            try {
                pomiar = pamiec.zmierz(plik, miernik, &m_anulowano);
            } catch (const std::exception& e) {
                blad = errorMessage(e);
            } catch (...) {
                blad = QStringLiteral("nieznany błąd");
            }
            if (!pomiar && blad.isEmpty())
                return; // stopped within the file
            {
                const std::lock_guard lock(blokada);
                if (pomiar)
                    ++wynik.zmierzone;
                else
                    wynik.bledy.insert(plik, blad);
            }
            const int z = ++zrobione;
            QMetaObject::invokeMethod(
                this, [this, z] { ProgressBar1->setValue(std::max(ProgressBar1->value(), z)); },
                Qt::QueuedConnection);
        }
    };
    wykonaj([&] {
        std::vector<std::thread> pozostale;
        for (int w = 1; w < std::min(watki, n); ++w)
            pozostale.emplace_back([&pracuj] {
                obnizPriorytetWatku();
                pracuj();
            });
        pracuj();
        for (std::thread& t : pozostale)
            t.join();
    });
    wynik.przerwano = zrobione < n;
    return wynik;
}
