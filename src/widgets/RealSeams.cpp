#include "widgets/Seams.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QProcess>
#include <QStandardPaths>
#include <memory>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <unistd.h>
#endif

namespace {

QMessageBox::Icon toQt(Seams::Icon icon) {
    switch (icon) {
    case Seams::Icon::Information:
        return QMessageBox::Information;
    case Seams::Icon::Warning:
        return QMessageBox::Warning;
    case Seams::Icon::Critical:
        return QMessageBox::Critical;
    case Seams::Icon::Question:
        return QMessageBox::Question;
    case Seams::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

void prepare(QFileDialog& dialog, const Seams::FileDialog& options) {
    dialog.setWindowTitle(options.title);
    dialog.setNameFilter(options.filter);
    if (!options.folder.isEmpty())
        dialog.setDirectory(options.folder);
    if (!options.fileName.isEmpty())
        dialog.selectFile(options.fileName);
    dialog.setDefaultSuffix(options.defaultSuffix);
    dialog.setOption(QFileDialog::ReadOnly, false);
}

} // namespace

QMessageBox::StandardButton RealSeams::message(QWidget* owner, Icon icon, const QString& caption,
                                               const QString& text,
                                               QMessageBox::StandardButtons buttons,
                                               QMessageBox::StandardButton defaultButton,
                                               QMessageBox::StandardButton escapeButton) {
    // Texts keep their CR LF line breaks; the label wants plain LF.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(toQt(icon), caption, shown, buttons, owner);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    if (escapeButton != QMessageBox::NoButton)
        box.setEscapeButton(escapeButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QStringList RealSeams::openFiles(QWidget* owner, const FileDialog& options) {
    QFileDialog dialog(owner);
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(options.directory   ? QFileDialog::Directory
                       : options.multiple  ? QFileDialog::ExistingFiles
                       : options.mustExist ? QFileDialog::ExistingFile
                                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::ShowDirsOnly, options.directory);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString RealSeams::saveFile(QWidget* owner, const FileDialog& options) {
    QFileDialog dialog(owner);
    prepare(dialog, options);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

int RealSeams::execDialog(QDialog* dialog) {
    return dialog->exec();
}

void RealSeams::beep() {
    QApplication::beep();
}

// With someone waiting for the answer, the desktop's opener is watched to
// its end: it starts a browser, or fails when none is installed. As root no
// browser is tried at all: the common ones refuse to run so.
void RealSeams::openUrl(const QUrl& url, const std::function<void()>& failed) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (failed) {
        if (::geteuid() == 0) {
            failed();
            return;
        }
        const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (!opener.isEmpty()) {
            otworzPrzez(opener, url, failed);
            return;
        }
    }
#endif
    if (!QDesktopServices::openUrl(url) && failed)
        failed();
}

QProcess* otworzPrzez(const QString& opener, const QUrl& url, std::function<void()> failed) {
    auto* process = new QProcess(qApp);
    process->setProgram(opener);
    process->setArguments({url.isLocalFile() ? url.toLocalFile() : url.toString()});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    // A crash reports both an error and the end: the failure is told once.
    const auto zawiodl = [failed = std::move(failed), zgloszone = std::make_shared<bool>()] {
        if (!*zgloszone && failed) {
            *zgloszone = true;
            failed();
        }
    };
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, zawiodl](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             zawiodl();
                             process->deleteLater();
                         }
                     });
    QObject::connect(process, &QProcess::finished, process,
                     [process, zawiodl](int code, QProcess::ExitStatus status) {
                         if (status != QProcess::NormalExit || code != 0)
                             zawiodl();
                         process->deleteLater();
                     });
    process->start();
    return process;
}
