// The progress bar of the long work's windows as a screen reader meets it:
// its value in words, F9, and nothing said unasked more often than every
// 30 seconds.

#include "support/Dostepnosc.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/PasekPostepu.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList powiedziane;

void sluchaj(QAccessibleEvent* event) {
    if (event->type() == QAccessible::ObjectShow)
        if (auto* linia = qobject_cast<LiniaKomunikatu*>(event->object()))
            powiedziane.append(linia->text());
}

} // namespace

class TestPasekPostepu : public QObject {
    Q_OBJECT

    qint64 m_teraz = 0;

private slots:
    void init() {
        powiedziane.clear();
        QVERIFY(ustawDostepnosc(true));
        QAccessible::installUpdateHandler(sluchaj);
    }
    void cleanup() {
        QAccessible::installUpdateHandler(nullptr);
        ustawDostepnosc(false);
    }

    void saysTheStateWhenAskedAndEvery30Seconds() {
        QDialog okno;
        auto* pasek = new PasekPostepu(&okno);
        pasek->ustawZegar([this] { return m_teraz; });
        pasek->setRange(0, 1000);
        okno.show();
        QApplication::setActiveWindow(&okno);
        QVERIFY(QTest::qWaitForWindowActive(&okno));
        QCOMPARE(pasek->LabelCzas->text(), QString());

        m_teraz = 1000;
        pasek->rozpocznij();
        m_teraz += 20'000;
        pasek->setValue(200);
        QVERIFY(powiedziane.isEmpty());
        m_teraz += 78'000;
        pasek->setValue(450);
        QCOMPARE(pasek->LabelCzas->text(), u"Upłynęło 1:38, zostało około 2 min"_s);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(pasek);
        QCOMPARE(iface->role(), QAccessible::ProgressBar);
        QCOMPARE(iface->text(QAccessible::Value), u"45%, zostało około 2 min"_s);
        QCOMPARE(iface->text(QAccessible::Description), iface->text(QAccessible::Value));
        // The bar's own moves are not handed on: a screen reader would speak them.
        QVERIFY(!iface->valueInterface());
        // Unasked once 30 s have passed; asked, at once.
        QCOMPARE(powiedziane, QStringList{u"45%, zostało około 2 min"_s});
        QTest::keyClick(&okno, Qt::Key_F9);
        QCOMPARE(powiedziane, QStringList(2, u"45%, zostało około 2 min"_s));
        powiedziane.removeFirst();
        // Unasked: only when 30 s have passed since anything was said.
        m_teraz += PasekPostepu::kOdstepMowy - 1;
        pasek->setValue(600);
        QCOMPARE(powiedziane.size(), 1);
        m_teraz += 1;
        pasek->setValue(610);
        QCOMPARE(powiedziane.size(), 2);
        QCOMPARE(powiedziane.last().left(4), u"61%,"_s);
        m_teraz += 5000;
        pasek->setValue(700);
        QCOMPARE(powiedziane.size(), 2);

        // Ended: the time stands, nothing is said any more.
        pasek->setValue(1000);
        pasek->zakoncz();
        m_teraz += 60'000;
        pasek->setValue(1000);
        QCOMPARE(powiedziane.size(), 2);
        QVERIFY(pasek->LabelCzas->text().startsWith(u"Upłynęło 2:"_s));
        QVERIFY(!pasek->LabelCzas->text().contains(u"zostało"_s));
    }
};

QTEST_MAIN(TestPasekPostepu)
#include "tstui_pasekpostepu.moc"
