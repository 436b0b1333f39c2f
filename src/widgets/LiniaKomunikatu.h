#pragma once
// A line of text that a screen reader speaks whenever the program sets it:
// the status line of the main window, and the hidden announcer every
// window says its results through (ogloszenie()). To assistive technology
// it is a notification named with its text, and every setting tells it that
// the notification has appeared, which is what a screen reader announces (a
// plain label changing its text is only read when the user asks for it).
//
// A text set while no shown window of the program is active (a dialog has
// just closed and its parent is not yet active again) waits for a window's
// activation, at most limitCzekaniaMs: a screen reader drops what it is told
// just before it reads the newly active window.

#include <QLabel>
#include <QStringList>
#include <functional>

class QAccessibleEvent;

class QTimer;

class LiniaKomunikatu : public QLabel {
    Q_OBJECT
public:
    explicit LiniaKomunikatu(QWidget* parent = nullptr);
    // Shows the text and has it spoken, also when it is the same text
    // again (a repeated command is answered again). An empty text only
    // clears the line.
    void ustaw(const QString& text);

    // Whether what is said now is heard: a shown window of the program is
    // active. On platforms without a window manager (offscreen, minimal)
    // windows are not activated again after a dialog, so nothing waits.
    static std::function<bool()> slyszalne;
    static int limitCzekaniaMs;

private:
    void powiedz(const QString& text);
    // Says what waited, in order, when it can be heard or has waited long
    // enough (`juz`).
    void powiedzZalegle(bool juz);

    QStringList m_zalegle;
    QTimer* m_czekanie = nullptr;
    QMetaObject::Connection m_aktywacja;

    // Each text said is a notification of its own that keeps it while the
    // next kGlosy - 1 are said: a screen reader reads a notification's text
    // when it comes to the event, seconds later when it is busy, and would
    // otherwise read the line's newer text twice and lose the older one.
    static constexpr int kGlosy = 8;
    QList<LiniaKomunikatu*> m_glosy;
    int m_nastepny = 0;
};

// The hidden announcer of `okno`'s window, made on first use (object name
// "Ogloszenie"). A screen reader hears what it says alone: to assistive
// technology a hidden line stands outside its window, because a
// notification inside a dialog is read after the dialog's title, its
// description and the controls around it, seconds of speech before the
// result.
LiniaKomunikatu* ogloszenie(QWidget* okno);

// Has a screen reader say `tekst` at once, through `okno`'s announcer:
// a command's result, a progress line asked for, why a key did nothing.
void oglos(QWidget* okno, const QString& tekst);

// What the program says goes to a screen reader before the focus and
// states it changes in the same turn of the event loop, and before the
// focused item of a window that has just become active: a screen reader
// reads a newly focused item (a whole row of the list: seconds of speech)
// and says what it is told later only after that. The result of a command
// given in a dialog is known only once the dialog has closed and its parent
// is active again, so after a window's activation the wait goes on until a
// result is said, at most limitMs (the window's title, read first, is
// being spoken meanwhile).
namespace PierwszenstwoOgloszen {
// Installs the order on platforms with a window manager (offscreen windows
// are active at once and nobody listens).
void zainstaluj();
// A window has become active: its focus waits for a result.
void wstrzymaj();
// Takes one event on its way to assistive technology: passes it on
// (`dalej`), or holds a focus or state change until the turn ends.
void przyjmij(QAccessibleEvent* event);
// Sends what waits, in its order, and ends the wait.
void wypusc();
bool wstrzymane();
// Where events go on; by default to the platform's bridge.
extern std::function<void(QAccessibleEvent*)> dalej;
extern int limitMs;
} // namespace PierwszenstwoOgloszen
