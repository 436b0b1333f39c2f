#pragma once
// Test stand-in for the dialogs: answers come from queues filled by the
// test, every message is recorded, and a modal dialog is "shown" by calling
// a handler that can work its controls.

#include "app/Seams.h"

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
    };

    // Queued answers; an empty queue answers Yes/OK for messages and
    // "cancelled" for file dialogs.
    QList<QMessageBox::StandardButton> answers;
    QList<QStringList> openAnswers;
    QList<QString> saveAnswers;
    // Called for every modal dialog; the default shows it, lets the test's
    // events run, and returns Rejected.
    std::function<int(QDialog*)> onExec;
    // When set, no program can show a page: every openUrl reports failure.
    bool noBrowser = false;

    QList<Message> messages;
    QList<FileDialog> openRequests;
    QList<FileDialog> saveRequests;
    QList<QDialog*> shown;
    QList<QUrl> urls;
    int beeps = 0;

    QMessageBox::StandardButton message(QWidget*, Icon icon, const QString& caption,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons) override {
        messages.append({icon, caption, text, buttons});
        if (!answers.isEmpty())
            return answers.takeFirst();
        if (buttons & QMessageBox::Yes)
            return QMessageBox::Yes;
        return QMessageBox::Ok;
    }
    QStringList openFiles(QWidget*, const FileDialog& options) override {
        openRequests.append(options);
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
