#include "shell/qt_app.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressDialog>

#include "editor/qt_form2.h"
#include "platform/card_folder.h"
#include "shell/qt_form1.h"

namespace tsunagi {

App::App(Store store, Module1 module1, UserInterface& ui)
    : cardRoots(defaultCardRoots()),
      store_(std::move(store)),
      module1_(std::move(module1)),
      ui_(ui) {}

CommandContext App::commandContext() {
    return {store_, ui_, module1_.programFolder, module1_.XlsFilterPart, cardRoots};
}

ImportProgress App::importProgress(QWidget* parent) {
    auto dialog = std::make_shared<QProgressDialog>(parent);
    dialog->setWindowTitle(kAppTitle);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setCancelButtonText("中止");
    dialog->setRange(0, 0);  // the number of cards is not known before the end
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->hide();
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    return [dialog, started](const std::string& file, long cards) {
        dialog->setLabelText(QString("%1\n%2 件読み込みました")
                                 .arg(QFileInfo(QString::fromStdString(file)).fileName())
                                 .arg(cards));
        if (!dialog->isVisible() && started->elapsed() > 500) dialog->show();
        QCoreApplication::processEvents();
        return !dialog->wasCanceled();
    };
}

Form1* App::showMainWindow() {
    auto* window = new Form1(*this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    main_ = window;
    return window;
}

void App::showInputForm(std::optional<std::int64_t> id) {
    module1_.SelectedId = id;
    auto* form = new Form2(*this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form_ = form;
    if (main_) main_->close();
}

void App::inputFormDone() {
    module1_.ListRefreshPending = true;
    module1_.SelectedId.reset();
    // The main window comes first, so the program never stands without a window.
    showMainWindow();
}

}  // namespace tsunagi
