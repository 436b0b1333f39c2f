#include "widgets/Komunikaty.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"

bool Komunikaty::guard(const std::function<void()>& command) const {
    try {
        command();
        return true;
    } catch (const std::exception& e) {
        pokazBlad(errorMessage(e));
    } catch (...) {
        pokazBlad(QStringLiteral("Nieznany błąd"));
    }
    return false;
}

void Komunikaty::pokazBlad(const QString& text) const {
    m_seams.message(m_wlasciciel, Seams::Icon::Critical, tytulAplikacji(),
                    errorBoxText(nazwaDoPokazania(text)), QMessageBox::Ok);
}

QMessageBox::StandardButton Komunikaty::uwaga(const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton,
                                              QMessageBox::StandardButton escapeButton) const {
    return m_seams.message(m_wlasciciel, Seams::Icon::None, QStringLiteral("Uwaga"),
                           nazwaDoPokazania(text), buttons, defaultButton, escapeButton);
}
