#include "editor/input_form_window.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

#include "card/dialect.h"
#include "editor/twips.h"
#include "platform/error.h"

namespace tsunagi {

namespace {

struct Box {
    QWidget* widget;
    int left, top, width, height;  // twips
};

}  // namespace

Form2::Form2(FormHost& app) : app_(app) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle("入力フォーム");

    Label1 = new QLabel("名前", this);
    Label3 = new QLabel("電話番号", this);
    Label4 = new QLabel("E-MAIL", this);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QLineEdit** box : {&Text1, &Text3, &Text4, &Text5, &Text6, &Text7, &Text8})
        *box = new QLineEdit(this);
    for (QComboBox** box : {&Combo1, &Combo2, &Combo3, &Combo4, &Combo5, &Combo6}) {
        *box = new QComboBox(this);
        (*box)->installEventFilter(this);
        // The open list gets the keys: Tab must still move on from it.
        (*box)->view()->installEventFilter(this);
    }
    Command1 = new QPushButton("新規登録", this);
    Command2 = new QPushButton("更　新", this);
    Command3 = new QPushButton("削　除", this);
    Command4 = new QPushButton("閉じる", this);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);

    // Name and the six number and address boxes, then the six type boxes, then the buttons.
    QWidget* order[] = {Text1,  Text3,    Text4,    Text5,    Text6,   Text7,
                        Text8,  Combo1,   Combo2,   Combo3,   Combo4,  Combo5,
                        Combo6, Command1, Command2, Command3, Command4};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    layOut();
    Form_Load();
}

void Form2::layOut() {
    const Box boxes[] = {
        {Label1, 360, 120, 1095, 255},     {Text1, 1920, 120, 3375, 270},
        {Text3, 1920, 600, 3375, 270},     {Combo1, 5520, 600, 1335, 300},
        {Label3, 360, 960, 1215, 495},     {Text4, 1920, 960, 3375, 270},
        {Combo2, 5520, 960, 1335, 300},    {Text5, 1920, 1320, 3375, 270},
        {Combo3, 5520, 1320, 1335, 300},   {Text6, 1920, 1920, 3375, 270},
        {Combo4, 5520, 1920, 1335, 300},   {Label4, 360, 2280, 1095, 375},
        {Text7, 1920, 2280, 3375, 270},    {Combo5, 5520, 2280, 1335, 300},
        {Text8, 1920, 2640, 3375, 270},    {Combo6, 5520, 2640, 1335, 300},
        {Command1, 600, 3240, 1215, 375},  {Command2, 2160, 3240, 1215, 375},
        {Command3, 3720, 3240, 1215, 375}, {Command4, 5280, 3240, 1215, 375},
    };
    // Today's fonts need taller boxes than the design gave them; the whole form grows
    // downwards by the same factor, so nothing is cut off and nothing overlaps.
    double factor = 1.0;
    for (const Box& box : boxes)
        factor = std::max(factor, double(box.widget->sizeHint().height()) / twips(box.height));
    auto y = [factor](int value) { return int(twips(value) * factor + 0.5); };
    for (const Box& box : boxes) {
        int width = twips(box.width);
        if (qobject_cast<QLabel*>(box.widget) || qobject_cast<QPushButton*>(box.widget))
            width = std::max(width, box.widget->sizeHint().width());
        box.widget->setGeometry(twips(box.left), y(box.top), width, y(box.height));
    }
    const int separators[][3] = {{120, 480, 6820}, {135, 1755, 6835}, {120, 3040, 6820}};
    for (const auto& line : separators) {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::HLine);
        frame->setFrameShadow(QFrame::Sunken);
        frame->setGeometry(twips(line[0]), y(line[1]), twips(line[2] - line[0]), 2);
    }
    setFixedSize(twips(6990), y(3765));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form2::Form_Load() {
    if (!app_.selectedId())
        FillTypeLists();
    else
        LoadEntry();
}

void Form2::FillTypeLists() {
    for (QComboBox* box : {Combo1, Combo2, Combo3}) {
        box->clear();
        for (const TypeWord& type : kNumberTypes)
            box->addItem(QString::fromUtf8(type.word.data(), type.word.size()));
    }
    for (QComboBox* box : {Combo4, Combo5, Combo6}) {
        box->clear();
        for (const TypeWord& type : kMailTypes)
            box->addItem(QString::fromUtf8(type.word.data(), type.word.size()));
    }
    showContent(emptyForm());
}

void Form2::LoadEntry() {
    FillTypeLists();
    try {
        FormContent form = formContentOf(app_.store(), app_.selectedId());
        loadedName_ = form.name;
        showContent(form);
        if (!form.notice.empty()) notice_ = form.notice;
    } catch (const TsunagiError& error) {
        app_.showMessage(error.what());
    }
}

void Form2::showContent(const FormContent& form) {
    Text1->setText(QString::fromStdString(form.name));
    QLineEdit* numberBoxes[] = {Text3, Text4, Text5};
    QComboBox* numberTypes[] = {Combo1, Combo2, Combo3};
    QLineEdit* mailBoxes[] = {Text6, Text7, Text8};
    QComboBox* mailTypes[] = {Combo4, Combo5, Combo6};
    for (int i = 0; i < 3; ++i) {
        numberBoxes[i]->setText(QString::fromStdString(form.numbers[i].text));
        numberTypes[i]->setCurrentText(QString::fromStdString(form.numbers[i].type));
        mailBoxes[i]->setText(QString::fromStdString(form.mails[i].text));
        mailTypes[i]->setCurrentText(QString::fromStdString(form.mails[i].type));
    }
}

FormContent Form2::content() const {
    FormContent form;
    form.name = Text1->text().toStdString();
    const QLineEdit* numberBoxes[] = {Text3, Text4, Text5};
    const QComboBox* numberTypes[] = {Combo1, Combo2, Combo3};
    const QLineEdit* mailBoxes[] = {Text6, Text7, Text8};
    const QComboBox* mailTypes[] = {Combo4, Combo5, Combo6};
    for (int i = 0; i < 3; ++i) {
        form.numbers[i] = {numberBoxes[i]->text().toStdString(),
                           numberTypes[i]->currentText().toStdString()};
        form.mails[i] = {mailBoxes[i]->text().toStdString(),
                         mailTypes[i]->currentText().toStdString()};
    }
    return form;
}

bool Form2::storeWork(const std::function<void()>& work) {
    try {
        work();
        return true;
    } catch (const TsunagiError& error) {
        app_.showMessage(error.what());
        return false;
    }
}

std::optional<FormContent> Form2::checkedContent() {
    FormContent form = normalisedForm(content());
    std::vector<FieldProblem> problems = formProblems(form);
    if (problems.empty()) {
        // The phone keeps 8 characters of a name: said before anything is stored, where the
        // name was typed or changed here (today's phones get it whole).
        if (std::optional<std::string> kept = keptNameIfCut(form.name);
            kept && form.name != loadedName_ &&
            !app_.ask("名前は電話機に 8 文字までしか入らないため、「" + *kept +
                          "」として登録します。よろしいですか？",
                      "登録する", "名前を直す")) {
            Text1->setFocus();
            Text1->selectAll();
            return std::nullopt;
        }
        return form;
    }
    // Nothing is saved and nothing the user typed is lost: they see why and where.
    app_.showMessage(describeProblems(problems));
    QLineEdit* boxes[] = {Text1, Text3, Text4, Text5, Text6, Text7, Text8};
    boxes[problems.front().box]->setFocus();
    boxes[problems.front().box]->selectAll();
    return std::nullopt;
}

void Form2::Command1_Click() {
    std::optional<FormContent> form = checkedContent();
    if (!form) return;
    if (storeWork([&] { addEntry(app_.store(), *form); })) {
        app_.entriesChanged("新規登録");
        handBack();
    }
}

void Form2::Command2_Click() {
    std::optional<std::int64_t> id = app_.selectedId();
    if (!id) {
        app_.showMessage(kUpdateWithoutEntry);
        return;
    }
    std::optional<FormContent> form = checkedContent();
    if (!form) return;
    if (storeWork([&] {
            if (rewriteEntry(app_.store(), *id, *form))
                app_.entriesChanged("更新");
            else
                app_.showMessage(kEntryGone);
        }))
        handBack();
}

void Form2::Command3_Click() {
    std::optional<std::int64_t> id = app_.selectedId();
    if (!id) {
        app_.showMessage(kDeleteWithoutEntry);
        return;
    }
    if (storeWork([&] { removeEntry(app_.store(), *id); })) {
        app_.entriesChanged("削除");
        handBack();
    }
}

void Form2::Command4_Click() { handBack(); }

void Form2::handBack() {
    if (handedBack_) return;
    handedBack_ = true;
    app_.inputFormDone();
    close();
}

void Form2::closeEvent(QCloseEvent* event) {
    handBack();
    event->accept();
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (notice_.empty()) return;
    // After the form is up, so that the message stands over it.
    QTimer::singleShot(0, this, [this] {
        std::string notice = std::exchange(notice_, "");
        if (!notice.empty()) app_.showMessage(notice);
    });
}

void Form2::keyPressEvent(QKeyEvent* event) {
    // Keys that the focused box or an open list did not take. Esc leaves the form as "閉じる"
    // does; an open type list takes its own Esc and only closes.
    if (event->key() == Qt::Key_Escape) {
        Command4_Click();
        return;
    }
    // Enter presses the focused button, as in any dialog.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    // Tab and Shift+Tab on an open type list close it and move on in the tab order.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            for (QComboBox* box : {Combo1, Combo2, Combo3, Combo4, Combo5, Combo6}) {
                if (watched != box->view()) continue;
                box->hidePopup();
                box->setFocus(Qt::OtherFocusReason);
                focusNextPrevChild(key->key() == Qt::Key_Tab);
                return true;
            }
        }
    }
    // A type box opens its list as soon as it gets the focus, by Tab as by mouse.
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QComboBox*>(watched)) {
            auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason &&
                reason != Qt::ActiveWindowFocusReason)
                QTimer::singleShot(0, box, [box] {
                    if (box->hasFocus()) box->showPopup();
                });
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace tsunagi
