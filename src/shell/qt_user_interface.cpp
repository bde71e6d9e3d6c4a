#include "shell/qt_user_interface.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
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

namespace {

// The fields a column may be given, in the words the dialog shows.
const std::pair<const char*, const char*> kColumnFields[] = {
    {"name", "名前（姓と名を空白で区切る）"},
    {"family", "姓"},
    {"given", "名"},
    {"reading", "読み"},
    {"number", "電話番号"},
    {"home", "電話番号（自宅）"},
    {"mobile", "電話番号（携帯）"},
    {"work", "電話番号（会社）"},
    {"mail", "メール"},
    {"mobile-mail", "メール（携帯）"},
    {"company", "会社"},
    {"title", "役職"},
    {"address", "住所"},
    {"birthday", "誕生日"},
    {"note", "メモ"},
    {"keep", "そのまま残す（vCard 3.0・Google 用）"},
    {"skip", "読まない"}};

}  // namespace

std::optional<CsvAssignment> QtUserInterface::chooseColumns(const std::string& path,
                                                            const CsvColumnsPreview& preview) {
    QDialog dialog(parent_);
    dialog.setWindowTitle(kAppTitle);
    auto* intro = new QLabel(
        QString::fromStdString(path + "\nこのファイルの見出しからは、どの列が名前や電話番号か"
                                      "わかりません。各列の項目を選んでください。"),
        &dialog);
    intro->setWordWrap(true);
    auto* table = new QTableWidget(static_cast<int>(preview.headings.size()), 3, &dialog);
    table->setObjectName("columns");
    table->setHorizontalHeaderLabels({"見出し", "最初の値", "項目"});
    table->verticalHeader()->hide();
    for (size_t r = 0; r < preview.headings.size(); ++r) {
        int row = static_cast<int>(r);
        table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(preview.headings[r])));
        QStringList samples;
        for (const std::string& sample : preview.samples[r])
            samples << QString::fromStdString(sample);
        table->setItem(row, 1, new QTableWidgetItem(samples.join(" / ")));
        auto* fields = new QComboBox(table);
        for (const auto& [code, words] : kColumnFields) {
            fields->addItem(QString::fromUtf8(words), QString(code));
            if (preview.guesses[r] == code) fields->setCurrentIndex(fields->count() - 1);
        }
        table->setCellWidget(row, 2, fields);
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    // A file without a heading line: its first row is read as data too, as the program
    // guessed from its values; the columns are then named by position.
    auto* firstRowIsData =
        new QCheckBox("1 行目もデータとして読む（見出しの行がないファイル）", &dialog);
    firstRowIsData->setObjectName("firstRowIsData");
    firstRowIsData->setChecked(preview.firstRowIsData);
    auto showHeadings = [table, &preview](bool data) {
        for (size_t r = 0; r < preview.headings.size(); ++r) {
            std::string heading = data                          ? std::to_string(r + 1) + "列目"
                                  : r < preview.firstRow.size() ? preview.firstRow[r]
                                                                : preview.headings[r];
            table->item(static_cast<int>(r), 0)->setText(QString::fromStdString(heading));
        }
    };
    QObject::connect(firstRowIsData, &QCheckBox::toggled, &dialog, showHeadings);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText("この指定で読み込む");
    buttons->button(QDialogButtonBox::Cancel)->setText("読み込まない");
    // Nobody can be read without a column that names the person: the dialog stays and says so.
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&dialog, table, &preview] {
        for (size_t r = 0; r < preview.headings.size(); ++r) {
            auto* fields = qobject_cast<QComboBox*>(table->cellWidget(static_cast<int>(r), 2));
            QString field = fields->currentData().toString();
            if (field == "name" || field == "family" || field == "given" || field == "company") {
                dialog.accept();
                return;
            }
        }
        QMessageBox::information(&dialog, kAppTitle,
                                 "名前（または姓・名・会社名）の列を選んでください。");
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(intro);
    layout->addWidget(table);
    layout->addWidget(firstRowIsData);
    layout->addWidget(buttons);
    dialog.resize(std::max(640, table->horizontalHeader()->length() + 60), 420);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    CsvAssignment assignment;
    assignment.firstRowIsData = firstRowIsData->isChecked();
    for (size_t r = 0; r < preview.headings.size(); ++r) {
        auto* fields = qobject_cast<QComboBox*>(table->cellWidget(static_cast<int>(r), 2));
        // Without headings a column is named by its position, from 1.
        std::string heading = assignment.firstRowIsData     ? std::to_string(r + 1)
                              : r < preview.firstRow.size() ? preview.firstRow[r]
                                                            : preview.headings[r];
        assignment.push_back({heading, fields->currentData().toString().toStdString()});
    }
    return assignment;
}

void QtUserInterface::showStatus(const std::string& text) {
    // The main window of the moment: a fresh one comes back after each input form.
    auto* window = qobject_cast<QMainWindow*>(parent_);
    if (!window) window = qobject_cast<QMainWindow*>(QApplication::activeWindow());
    if (!window)
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* main = qobject_cast<QMainWindow*>(widget); main && main->isVisible())
                window = main;
    if (!window) return;
    // A long path is shortened before its file's name to fit the window, the file's name kept
    // whole where it fits; the whole text is the bar's tooltip.
    QStatusBar* bar = window->statusBar();
    const QFontMetrics& metrics = bar->fontMetrics();
    QString whole = QString::fromStdString(text);
    int room = std::max(80, bar->width() - 24);
    QString shown = whole;
    if (metrics.horizontalAdvance(whole) > room) {
        qsizetype slash = whole.lastIndexOf('/');
        QString tail = slash < 0 ? QString() : whole.mid(slash);
        int headRoom = room - metrics.horizontalAdvance(tail);
        shown = headRoom > metrics.horizontalAdvance("保存しました：…")
                    ? metrics.elidedText(whole.left(slash), Qt::ElideRight, headRoom) + tail
                    : metrics.elidedText(whole, Qt::ElideMiddle, room);
    }
    bar->setToolTip(whole);
    bar->showMessage(shown, 15000);
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
