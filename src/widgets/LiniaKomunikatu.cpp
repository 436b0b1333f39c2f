#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>

namespace {

class DostepnaLinia : public QAccessibleWidget {
public:
    explicit DostepnaLinia(LiniaKomunikatu* linia)
        : QAccessibleWidget(linia, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    // A hidden line belongs to no window as a screen reader sees it, so
    // that what it says comes without the window's texts read again.
    QAccessibleInterface* parent() const override {
        if (widget()->isHidden() && qApp)
            return QAccessible::queryAccessibleInterface(qApp);
        return QAccessibleWidget::parent();
    }
};

QAccessibleInterface* fabryka(const QString&, QObject* object) {
    if (auto* linia = qobject_cast<LiniaKomunikatu*>(object))
        return new DostepnaLinia(linia);
    return nullptr;
}

} // namespace

LiniaKomunikatu::LiniaKomunikatu(QWidget* parent) : QLabel(parent) {
    static const bool zainstalowana = [] {
        QAccessible::installFactory(fabryka);
        return true;
    }();
    Q_UNUSED(zainstalowana);
    setTextFormat(Qt::PlainText);
}

void LiniaKomunikatu::ustaw(const QString& text) {
    setText(text);
    if (text.isEmpty())
        return;
    if (m_glosy.size() < kGlosy) {
        auto* glos = new LiniaKomunikatu(this);
        glos->setObjectName(objectName() + QStringLiteral("Glos"));
        glos->hide();
        m_glosy.append(glos);
    }
    LiniaKomunikatu* glos = m_glosy.at(m_nastepny);
    m_nastepny = (m_nastepny + 1) % kGlosy;
    glos->setText(text);
    QAccessibleEvent pokazana(glos, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&pokazana);
}

LiniaKomunikatu* ogloszenie(QWidget* okno) {
    QWidget* w = okno->window();
    const QString nazwa = QStringLiteral("Ogloszenie");
    auto* linia = w->findChild<LiniaKomunikatu*>(nazwa, Qt::FindDirectChildrenOnly);
    if (!linia) {
        linia = new LiniaKomunikatu(w);
        linia->setObjectName(nazwa);
        linia->hide();
    }
    return linia;
}

void oglos(QWidget* okno, const QString& tekst) {
    ogloszenie(okno)->ustaw(tekst);
}
