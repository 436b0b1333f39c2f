#pragma once
// Test stand-in for the dialogs: answers come from queues filled by the
// test, every message is recorded, and a modal dialog is "shown" by calling
// a handler that can work its controls.

#include "widgets/Seams.h"

#include <QApplication>
#include <QDialog>
#include <QList>
#include <functional>

class FakeSeams : public Seams {
public:
    struct Message {
        Icon icon;
        QString caption;
        QString text;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QMessageBox::StandardButton escapeButton;
    };

    // An answer standing for Esc or the title bar's close box: the message
    // returns what a real message box returns then.
    static constexpr QMessageBox::StandardButton Esc = QMessageBox::Escape;

    // Queued answers; an empty queue answers Yes/OK for messages and
    // "cancelled" for file dialogs.
    QList<QMessageBox::StandardButton> answers;
    QList<QStringList> openAnswers;
    QList<QString> saveAnswers;
    // Called for every modal dialog; the default shows it, lets the test's
    // events run, and returns Rejected.
    std::function<int(QDialog*)> onExec;
    // Runs while an open dialog is up: what the user or the system does meanwhile.
    std::function<void()> whileOpening;
    // When set, no program can show a page: every openUrl reports failure.
    bool noBrowser = false;

    QList<Message> messages;
    QList<FileDialog> openRequests;
    QList<FileDialog> saveRequests;
    QList<QDialog*> shown;
    QList<QUrl> urls;
    int beeps = 0;

    QMessageBox::StandardButton
    message(QWidget*, Icon icon, const QString& caption, const QString& text,
            QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
            QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) override {
        messages.append({icon, caption, text, buttons, defaultButton, escapeButton});
        if (!answers.isEmpty()) {
            const QMessageBox::StandardButton answer = answers.takeFirst();
            return answer == Esc ? przyciskEsc(buttons, escapeButton) : answer;
        }
        if (buttons & QMessageBox::Yes)
            return QMessageBox::Yes;
        return QMessageBox::Ok;
    }
    // The button Esc presses in a QMessageBox: the one set, else Cancel,
    // the only button, the only rejecting one or the only "no"; with none
    // of these Esc does nothing (NoButton here).
    static QMessageBox::StandardButton przyciskEsc(QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton escape) {
        if (escape != QMessageBox::NoButton)
            return escape;
        if (buttons & QMessageBox::Cancel)
            return QMessageBox::Cancel;
        const auto jedyny = [&](QMessageBox::StandardButtons z) {
            const QMessageBox::StandardButtons w = buttons & z;
            const auto n = static_cast<quint32>(w.toInt());
            return n && !(n & (n - 1)) ? QMessageBox::StandardButton(n) : QMessageBox::NoButton;
        };
        for (QMessageBox::StandardButtons z : {buttons, QMessageBox::Close | QMessageBox::Abort,
                                               QMessageBox::No | QMessageBox::NoToAll}) {
            if (const auto b = jedyny(z))
                return b;
        }
        return QMessageBox::NoButton;
    }
    QStringList openFiles(QWidget*, const FileDialog& options) override {
        openRequests.append(options);
        if (whileOpening)
            whileOpening();
        return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
    }
    QString saveFile(QWidget*, const FileDialog& options) override {
        saveRequests.append(options);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    int execDialog(QDialog* dialog) override {
        shown.append(dialog);
        if (onExec)
            return onExec(dialog);
        dialog->show();
        QApplication::processEvents();
        dialog->hide();
        return QDialog::Rejected;
    }
    void beep() override { ++beeps; }
    void openUrl(const QUrl& url, const std::function<void()>& failed) override {
        urls.append(url);
        if (noBrowser && failed)
            failed();
    }

    // Texts of the recorded messages, for compact comparisons.
    QStringList texts() const {
        QStringList result;
        for (const Message& m : messages)
            result.append(m.text);
        return result;
    }
};
