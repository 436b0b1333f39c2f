#include "merge/ui/FormPodsumowanie.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>

TFormPodsumowanie::TFormPodsumowanie(QWidget* parent)
    : OknoTekstu(parent, QStringLiteral("FormPodsumowanie"), QStringLiteral("Podsumowanie książki"),
                 QStringLiteral("MemoPodsumowanie"), QStringLiteral("Podsumowanie książki")) {}

TFormBadanie::TFormBadanie(QWidget* owner)
    : OknoPostepu(owner, QStringLiteral("FormBadanie"), QStringLiteral("Podsumowanie książki"),
                  QStringLiteral("Postęp badania plików"), QStringLiteral("Przerywanie badania…")) {
}

std::optional<QList<PlikKsiazki>> TFormBadanie::zbadaj(const ListaPozycji& pozycje,
                                                       const MiernikMp3& miernik) {
    m_anulowano = false;
    ProgressBar1->setRange(0, int(pozycje.size()));
    ProgressBar1->setValue(0);
    LabelPlik->setText(QStringLiteral("Badanie plików książki"));
    QList<PlikKsiazki> pliki;
    // The worker reads the arguments, which stay as they are while the
    // window is up, and writes only `pliki`, read here after it has ended.
    wykonaj([&] {
        pliki = zbadajPliki(pozycje, miernik, &m_anulowano, [this, &pozycje](int i, int n) {
            QMetaObject::invokeMethod(
                this,
                [this, i, n, nazwa = pozycje.at(i).NazwaPliku] {
                    if (m_anulowano)
                        return;
                    LabelPlik->setText(
                        QStringLiteral("Badanie pliku %1 (%2 z %3)").arg(nazwa).arg(i + 1).arg(n));
                    ProgressBar1->setValue(i);
                },
                Qt::QueuedConnection);
        });
    });
    if (pliki.size() < pozycje.size())
        return std::nullopt;
    return pliki;
}
