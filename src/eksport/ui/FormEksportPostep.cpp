#include "eksport/ui/FormEksportPostep.h"

#include <QLabel>
#include <QProgressBar>

TFormEksportPostep::TFormEksportPostep(QWidget* owner)
    : OknoPostepu(owner, QStringLiteral("FormEksportPostep"), QStringLiteral("Eksport książki"),
                  QStringLiteral("Postęp eksportu"), QStringLiteral("Przerywanie eksportu…")) {}

TFormEksportPostep::Wynik TFormEksportPostep::eksportuj(EksportKsiazki& eksport) {
    constexpr int kSkala = 1000;
    ProgressBar1->setRange(0, kSkala);
    ProgressBar1->setValue(0);
    LabelPlik->setText(QStringLiteral("Eksport książki"));
    eksport.dziennik = [this](const QString& linia) {
        QMetaObject::invokeMethod(
            this,
            [this, linia] {
                if (!m_anulowano)
                    LabelPlik->setText(linia);
            },
            Qt::QueuedConnection);
    };
    eksport.postep = [this](std::int64_t zrobione, std::int64_t razem) {
        const int wartosc = razem > 0 ? int(zrobione * kSkala / razem) : 0;
        QMetaObject::invokeMethod(
            this, [this, wartosc] { ProgressBar1->setValue(wartosc); }, Qt::QueuedConnection);
    };
    eksport.przerwac = [this] { return m_anulowano.load(); };
    Wynik wynik;
    wykonaj([&] {
        try {
            eksport.wykonaj();
            wynik.udane = true;
        } catch (const EPrzerwanyEksport&) {
            wynik.przerwano = true;
        } catch (const std::exception& e) {
            wynik.blad = errorMessage(e);
        }
    });
    eksport.dziennik = {};
    eksport.postep = {};
    eksport.przerwac = {};
    return wynik;
}
