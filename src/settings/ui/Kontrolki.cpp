#include "settings/ui/Kontrolki.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

QLabel* etykietaKontrolki(const QString& text, QWidget* control, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(control);
    control->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    return label;
}

QPushButton* przyciskBezDomyslnego(const QString& text, const char* name) {
    auto* button = new QPushButton(text);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QHBoxLayout* przyciskiZPrawej(QPushButton* pierwszy, QPushButton* drugi) {
    auto* przyciski = new QHBoxLayout;
    przyciski->addStretch();
    przyciski->addWidget(pierwszy);
    przyciski->addWidget(drugi);
    return przyciski;
}
