#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAccessibleWidget>

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
}

void LiniaKomunikatu::ustaw(const QString& text) {
    setText(text);
    if (text.isEmpty())
        return;
    QAccessibleEvent pokazana(this, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&pokazana);
}
