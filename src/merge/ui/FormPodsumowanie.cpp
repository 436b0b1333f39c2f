#include "merge/ui/FormPodsumowanie.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

TFormPodsumowanie::TFormPodsumowanie(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormPodsumowanie"));
    setWindowTitle(QStringLiteral("Podsumowanie książki"));
    resize(560, 320);
    MemoPodsumowanie = new QPlainTextEdit(this);
    MemoPodsumowanie->setObjectName(QStringLiteral("MemoPodsumowanie"));
    MemoPodsumowanie->setAccessibleName(QStringLiteral("Podsumowanie książki"));
    MemoPodsumowanie->setReadOnly(true);
    MemoPodsumowanie->setTextInteractionFlags(Qt::TextSelectableByKeyboard |
                                              Qt::TextSelectableByMouse);
    MemoPodsumowanie->setTabChangesFocus(true);
    ButtonZamknij = new QPushButton(QStringLiteral("Zamknij"), this);
    ButtonZamknij->setObjectName(QStringLiteral("ButtonZamknij"));
    ButtonZamknij->setDefault(true);
    connect(ButtonZamknij, &QPushButton::clicked, this, &QDialog::reject);
    auto* uklad = new QVBoxLayout(this);
    uklad->addWidget(MemoPodsumowanie);
    uklad->addWidget(ButtonZamknij, 0, Qt::AlignRight);
}

void TFormPodsumowanie::pokaz(const QStringList& linie) {
    MemoPodsumowanie->setPlainText(linie.join(u'\n'));
}

void TFormPodsumowanie::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    MemoPodsumowanie->moveCursor(QTextCursor::Start);
    MemoPodsumowanie->setFocus();
}

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
