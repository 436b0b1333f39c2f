#include "eksport/ui/FormEksportPostep.h"

#include "sesja/SesjaWyjscie.h"

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
    eksport.dziennik = dziennikDoEtykiety();
    eksport.postep = postepDoPaska();
    eksport.przerwac = [this] { return m_anulowano.load(); };
    // A stop also ends a loudness measurement in hand.
    eksport.przerwanie = &m_anulowano;
    Wynik wynik;
    wykonaj([&] { wynik = SesjaWyjscie::wykonaj(eksport); });
    eksport.dziennik = {};
    eksport.postep = {};
    eksport.przerwac = {};
    eksport.przerwanie = nullptr;
    return wynik;
}
