#include "audio/ui/FormWykrywanie.h"

#include "base/Errors.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

TFormWykrywanie::TFormWykrywanie(QWidget* owner, const QString& tytul, const QString& czynnosc)
    : OknoPostepu(owner, QStringLiteral("FormWykrywanie"), tytul, QStringLiteral("Postęp"),
                  QStringLiteral("Przerywanie…")),
      m_czynnosc(czynnosc) {}

void TFormWykrywanie::pokaz(const QString& nazwa, int zrobione, int razem) {
    if (m_anulowano)
        return;
    LabelPlik->setText(
        QStringLiteral("%1: %2 (%3 z %4)").arg(m_czynnosc, nazwa).arg(zrobione + 1).arg(razem));
    ProgressBar1->setValue(zrobione);
}

TFormWykrywanie::Wynik TFormWykrywanie::wykryj(const QStringList& pliki, int przerwaMs,
                                               const WykrywanieTytulow& wykrywanie) {
    Wynik wynik;
    m_anulowano = false;
    ProgressBar1->setRange(0, int(pliki.size()));
    if (!pliki.isEmpty())
        pokaz(QFileInfo(pliki.first()).fileName(), 0, int(pliki.size()));

    // The worker reads the arguments, which stay as they are while the
    // window is up, and writes only `wynik`, read here after it has ended.
    wykonaj([&] {
        for (int i = 0; i < pliki.size() && !m_anulowano; ++i) {
            if (i > 0) {
                QMetaObject::invokeMethod(
                    this,
                    [this, nazwa = QFileInfo(pliki.at(i)).fileName(), i, n = int(pliki.size())] {
                        pokaz(nazwa, i, n);
                    },
                    Qt::QueuedConnection);
            }
            WynikPliku w;
            try {
                w.tytul = wykrywanie(pliki.at(i), przerwaMs, &m_anulowano);
            } catch (const std::exception& e) {
                w.blad = errorMessage(e);
            }
            if (m_anulowano)
                break;
            wynik.pliki.append(w);
        }
    });
    wynik.przerwano = wynik.pliki.size() < pliki.size();
    return wynik;
}
