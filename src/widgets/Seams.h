#pragma once
// Everything through which the program asks the user something or reaches
// outside: file dialogs, message boxes, modal dialogs, the system alert and
// the desktop's "open this" service. The real program uses RealSeams;
// tests install their own implementation and answer for the user.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QDialog;
class QProcess;
class QWidget;

class Seams {
public:
    enum class Icon { None, Information, Warning, Critical, Question };

    struct FileDialog {
        QString title;
        QString folder;                // starting folder
        QString fileName;              // name shown in the name box
        QString filter;                // Qt filter text, e.g. "xml (*.xml)"
        QString defaultSuffix;         // appended to a name typed without an extension
        bool multiple = false;         // open: several files may be chosen
        bool directory = false;        // open: one existing folder, not files
        bool mustExist = true;         // open: the chosen files must exist
        bool confirmOverwrite = false; // save: ask before replacing a file
    };

    virtual ~Seams() = default;

    // A message box owned by `owner`; returns the button pressed.
    // `defaultButton` is the one Enter presses; `escapeButton` the one Esc
    // and the title bar's close box press. Without them the box chooses
    // itself (Esc then means No in a Yes/No question).
    virtual QMessageBox::StandardButton
    message(QWidget* owner, Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
            QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) = 0;
    // An open dialog; the chosen paths, empty when cancelled.
    virtual QStringList openFiles(QWidget* owner, const FileDialog& options) = 0;
    // A save dialog; the chosen path, empty when cancelled.
    virtual QString saveFile(QWidget* owner, const FileDialog& options) = 0;
    // Shows one of the program's own dialogs modally; returns its result.
    virtual int execDialog(QDialog* dialog) = 0;
    // The system's default alert sound.
    virtual void beep() = 0;
    // Opens a document or web page with its associated program. `failed`
    // (may be empty) runs on this thread when no program could show it:
    // at once, or later when the program gives up.
    virtual void openUrl(const QUrl& url, const std::function<void()>& failed) = 0;
};

// The real dialogs and services.
class RealSeams : public Seams {
public:
    QMessageBox::StandardButton
    message(QWidget* owner, Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
            QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) override;
    QStringList openFiles(QWidget* owner, const FileDialog& options) override;
    QString saveFile(QWidget* owner, const FileDialog& options) override;
    int execDialog(QDialog* dialog) override;
    void beep() override;
    void openUrl(const QUrl& url, const std::function<void()>& failed) override;
};

// Starts `opener` (the desktop's xdg-open) for `url` and watches it: `failed`
// runs when it cannot be started or ends with an error, as it does when no
// program for the page is installed or the browser refuses to start. The
// process deletes itself when it has ended; a browser it started lives on.
QProcess* otworzPrzez(const QString& opener, const QUrl& url, std::function<void()> failed);
