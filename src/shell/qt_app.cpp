#include "shell/qt_app.h"

#include "shell/qt_form1.h"

namespace tsunagi {

App::App(Store store, Module1 module1, UserInterface& ui)
    : store_(std::move(store)), module1_(std::move(module1)), ui_(ui) {}

Form1* App::showMainWindow() {
    auto* window = new Form1(*this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    main_ = window;
    return window;
}

void App::showInputForm() {
    // The input form comes with the editor; until a form is there, the main window stays.
}

}  // namespace tsunagi
