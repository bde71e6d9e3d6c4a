#include "shell/qt_user_interface.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>

#include "platform/desktop_open.h"
#include "platform/program_name.h"

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

std::optional<std::vector<std::string>> QtUserInterface::choose(const FileRequest& request,
                                                                bool save,
                                                                std::optional<FileKind>* kind) {
    QFileDialog dialog(parent_, QString::fromStdString(request.title),
                       QString::fromStdString(request.startFolder));
    dialog.setNameFilters(nameFilters(request.filters));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        // The save command asks itself, once the name has its extension.
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.selectFile(QString::fromStdString(request.proposedName));
        // The kind chosen last in this run is offered again.
        for (size_t i = 0; i < request.filters.size(); ++i)
            if (request.selectedKind && request.filters[i].kind == *request.selectedKind)
                dialog.selectNameFilter(nameFilters(request.filters)[static_cast<qsizetype>(i)]);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFiles);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles()) paths.push_back(file.toStdString());
    qsizetype selected = nameFilters(request.filters).indexOf(dialog.selectedNameFilter());
    if (kind && selected >= 0) *kind = request.filters[static_cast<size_t>(selected)].kind;
    return paths;
}

void QtUserInterface::showStatus(const std::string& text) {
    if (auto* window = qobject_cast<QMainWindow*>(parent_))
        window->statusBar()->showMessage(QString::fromStdString(text), 15000);
}

std::vector<std::string> QtUserInterface::chooseFilesToOpen(const FileRequest& request) {
    return choose(request, false, nullptr).value_or(std::vector<std::string>{});
}

std::optional<SaveChoice> QtUserInterface::chooseFileToSave(const FileRequest& request) {
    std::optional<FileKind> kind;
    std::optional<std::vector<std::string>> paths = choose(request, true, &kind);
    if (!paths) return std::nullopt;
    return SaveChoice{paths->front(), kind};
}

namespace {

// A message box wide enough for a window manager to show the program's name in its title bar,
// besides the bar's icon and buttons.
void keepTitleInSight(QMessageBox& box) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    int title = QFontMetrics(titleFont).horizontalAdvance(kAppTitle);
    // A spacer row in the box's own layout: a style sheet on its label would cut the text.
    if (auto* layout = qobject_cast<QGridLayout*>(box.layout()))
        layout->addItem(new QSpacerItem(title + 150, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                        layout->rowCount(), 0, 1, layout->columnCount());
}

}  // namespace

void QtUserInterface::showMessage(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::NoIcon, kAppTitle, shown, QMessageBox::Ok, parent_);
    keepTitleInSight(box);
    box.exec();
}

bool QtUserInterface::ask(const std::string& text, const std::string& yes, const std::string& no) {
    QMessageBox box(QMessageBox::Question, kAppTitle, QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    QPushButton* yesButton = box.addButton(QString::fromStdString(yes), QMessageBox::AcceptRole);
    QPushButton* noButton = box.addButton(QString::fromStdString(no), QMessageBox::RejectRole);
    box.setDefaultButton(noButton);
    keepTitleInSight(box);
    box.setEscapeButton(noButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

size_t QtUserInterface::choose(const std::string& text, const std::vector<std::string>& answers) {
    QMessageBox box(QMessageBox::Question, kAppTitle, QString::fromStdString(text),
                    QMessageBox::NoButton, parent_);
    std::vector<QPushButton*> buttons;
    for (const std::string& answer : answers)
        buttons.push_back(box.addButton(QString::fromStdString(answer), QMessageBox::ActionRole));
    box.setDefaultButton(buttons.back());
    box.setEscapeButton(buttons.back());
    keepTitleInSight(box);
    box.exec();
    auto chosen = std::find(buttons.begin(), buttons.end(), box.clickedButton());
    return chosen == buttons.end() ? answers.size() - 1 : size_t(chosen - buttons.begin());
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
