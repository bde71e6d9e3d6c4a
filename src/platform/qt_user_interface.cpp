#include "platform/qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "platform/app_info.h"
#include "platform/desktop_open.h"

namespace tsunagi {

namespace {

QStringList nameFilters(const std::vector<FileFilter>& filters) {
    QStringList list;
    for (const FileFilter& filter : filters) {
        QStringList patterns;
        for (const std::string& extension : filter.extensions)
            patterns << "*." + QString::fromStdString(extension);
        list << QString::fromStdString(filter.name) + " (" + patterns.join(' ') + ")";
    }
    return list;
}

}  // namespace

std::optional<SaveChoice> QtUserInterface::choose(const FileRequest& request, bool save) {
    QFileDialog dialog(parent_, QString::fromStdString(request.title),
                       QString::fromStdString(request.startFolder));
    dialog.setNameFilters(nameFilters(request.filters));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.selectFile(QString::fromStdString(request.proposedName));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    SaveChoice choice{dialog.selectedFiles().first().toStdString(), ""};
    qsizetype selected = nameFilters(request.filters).indexOf(dialog.selectedNameFilter());
    if (selected >= 0) choice.filter = request.filters[static_cast<size_t>(selected)].name;
    return choice;
}

std::optional<std::string> QtUserInterface::chooseFileToOpen(const FileRequest& request) {
    std::optional<SaveChoice> choice = choose(request, false);
    if (!choice) return std::nullopt;
    return choice->path;
}

std::optional<SaveChoice> QtUserInterface::chooseFileToSave(const FileRequest& request) {
    return choose(request, true);
}

void QtUserInterface::showMessage(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, shown, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtUserInterface::openWithDesktop(const std::string& pathOrUrl) {
    QString target = QString::fromStdString(pathOrUrl);
    bool web = target.startsWith("http://") || target.startsWith("https://");
    if (!web && !QFileInfo(target).isFile()) return false;
    // Not QDesktopServices: it reports success as soon as xdg-open has started, even when
    // xdg-open then finds nothing to open the page with.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    bool opened = openWithDesktopProgram("xdg-open", pathOrUrl);
    QApplication::restoreOverrideCursor();
    return opened;
}

}  // namespace tsunagi
