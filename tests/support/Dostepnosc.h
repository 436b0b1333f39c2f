#pragma once
// For widget tests: accessibility switched on as when an assistive
// technology is connected. Until then Qt's widgets send no accessibility
// events and an installed update handler hears nothing. Only the tests of
// windows include this (it needs Qt's platform interface).

#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/qpa/qplatformaccessibility.h>
#include <QtGui/qpa/qplatformintegration.h>

// False when the platform offers no accessibility at all.
inline bool ustawDostepnosc(bool wlaczona) {
    QPlatformIntegration* platforma = QGuiApplicationPrivate::platformIntegration();
    QPlatformAccessibility* dostepnosc = platforma ? platforma->accessibility() : nullptr;
    if (!dostepnosc)
        return false;
    dostepnosc->setActive(wlaczona);
    return true;
}
