#include "widgets/Ulatwienia.h"

#include "widgets/LiniaKomunikatu.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>

namespace {

// Hands a line edit a focus-in without the Tab reason, which is what makes
// it select its text; everything else of the focus change stays as it is.
class FokusBezZaznaczenia : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::FocusIn || !qobject_cast<QLineEdit*>(watched))
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
            reason != Qt::ShortcutFocusReason)
            return false;
        auto* pole = static_cast<QLineEdit*>(watched);
        QFocusEvent bezPowodu(QEvent::FocusIn, Qt::OtherFocusReason);
        QCoreApplication::sendEvent(pole, &bezPowodu);
        if (!pole->hasSelectedText())
            pole->end(false);
        return true;
    }
};

class GlosWyboru : public QObject {
public:
    GlosWyboru(QComboBox* lista, const QString& co) : QObject(lista), m_lista(lista), m_co(co) {
        connect(lista, &QComboBox::currentIndexChanged, this, &GlosWyboru::zmieniono);
        lista->installEventFilter(this);
        odswiez();
    }

    bool eventFilter(QObject*, QEvent* event) override {
        // Filled while its signals were blocked: the description catches up
        // when the box is reached.
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::Show)
            odswiez();
        return false;
    }

private:
    QString wybor() const {
        return m_lista->currentIndex() < 0 ? QStringLiteral("nie wybrano") : m_lista->currentText();
    }
    void odswiez() {
        if (m_lista->accessibleDescription() != wybor())
            m_lista->setAccessibleDescription(wybor());
    }
    void zmieniono() {
        odswiez();
        if (!m_lista->hasFocus() || m_lista->view()->isVisible())
            return; // the open list says its rows itself
        if (!m_mowa) {
            m_mowa = new LiniaKomunikatu(m_lista->window());
            m_mowa->setObjectName(m_lista->objectName() + QStringLiteral("Wybor"));
            m_mowa->hide();
        }
        m_mowa->ustaw(m_co + QStringLiteral(": ") + wybor());
    }

    QComboBox* m_lista;
    QString m_co;
    LiniaKomunikatu* m_mowa = nullptr;
};

} // namespace

void bezZaznaczaniaNaFokus() {
    static FokusBezZaznaczenia* filtr = nullptr;
    if (filtr || !qApp)
        return;
    filtr = new FokusBezZaznaczenia(qApp);
    qApp->installEventFilter(filtr);
}

void mowWybor(QComboBox* lista, const QString& co) {
    new GlosWyboru(lista, co);
}
