#include "shell/version_box.h"

#include <QEvent>
#include <QFrame>
#include <QPainter>
#include <QPixmap>

#include "platform/program_name.h"
#include "shell/application.h"

namespace tsunagi {

std::string aboutCaption() { return std::string(kAppTitle) + "のﾊﾞｰｼﾞｮﾝ情報"; }

std::string aboutVersionLabel() { return "ﾊﾞｰｼﾞｮﾝ " + versionText(); }

std::string aboutDescription() {
    const std::string crlf = "\r\n";
    return "V401SHのﾒﾓﾘﾀﾞｲﾔﾙﾃﾞｰﾀを結合・補完するﾂｰﾙです。" + crlf +
           "Microsoft Data Access Components(MDAC)2.6以上" + crlf + "がインストールされている事" +
           crlf + "動作環境　          Windows2000/XP/98SE/ME" + crlf + "作者" +
           std::string(18, ' ') + kAuthor + " " + crlf;
}

QIcon programIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 70, 130));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(8, 1, 16, 30), 3, 3);
    painter.setBrush(QColor(170, 225, 255));
    painter.drawRect(QRectF(10, 4, 12, 10));
    painter.setBrush(QColor(230, 230, 230));
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            painter.drawRect(QRectF(10.5 + column * 4, 17 + row * 4, 3, 2.5));
    return QIcon(pixmap);
}

frmAbout::frmAbout(UserInterface& ui, QWidget* parent) : QDialog(parent), ui_(ui) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    picIcon = new QLabel(this);
    picIcon->setGeometry(twips(240), twips(240), twips(540), twips(540));
    picIcon->setPixmap(programIcon().pixmap(32, 32));
    lblTitle = new QLabel("ｱﾌﾟﾘｹｰｼｮﾝ ﾀｲﾄﾙ", this);
    lblTitle->setGeometry(twips(930), twips(240), twips(4005), twips(240));
    lblVersion = new QLabel("ﾊﾞｰｼﾞｮﾝ", this);
    lblVersion->setGeometry(twips(930), twips(540), twips(4005), twips(225));
    lblDescription = new QLabel(this);
    lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1 = new QLabel("ホームページ", this);
    Label2 = new QLabel(this);
    QFont linkFont("ＭＳ Ｐゴシック", 9);
    linkFont.setUnderline(true);
    Label2->setFont(linkFont);
    Label2->setStyleSheet("color: blue;");
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->installEventFilter(this);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setDefault(true);
    cmdOK->setAutoDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    Form_Load();

    // The description needs more room than its design size with today's fonts; everything
    // under it moves down by what it needs, so no line is cut off.
    QSize needed = lblDescription->sizeHint();
    int extraHeight = std::max(0, needed.height() - twips(884));
    int width = std::max(twips(5730), twips(930) + needed.width() + twips(240));
    lblDescription->setGeometry(twips(930), twips(870), std::max(twips(4125), needed.width()),
                                twips(884) + extraHeight);
    Label1->setGeometry(twips(916), twips(1800) + extraHeight, twips(1215), twips(229));
    Label2->setGeometry(twips(2400), twips(1800) + extraHeight,
                        std::max(twips(2415), Label2->sizeHint().width()), twips(255));
    auto* grey = new QFrame(this);
    grey->setFrameShape(QFrame::HLine);
    grey->setFrameShadow(QFrame::Sunken);
    grey->setGeometry(twips(120), twips(2160) + extraHeight, width - 2 * twips(120), 2);
    cmdOK->setGeometry((width - twips(1380)) / 2, twips(2400) + extraHeight, twips(1380),
                       twips(345));
    setFixedSize(width, twips(2865) + extraHeight);
}

void frmAbout::Form_Load() {
    setWindowTitle(QString::fromStdString(aboutCaption()));
    lblVersion->setText(QString::fromStdString(aboutVersionLabel()));
    lblTitle->setText(kAppTitle);
    QString description = QString::fromStdString(aboutDescription());
    description.replace("\r\n", "\n");
    lblDescription->setText(description);
    Label2->setText(kHomePage);
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::Label2_Click() { ui_.openWithDesktop(Label2->text().toStdString()); }

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label2 && event->type() == QEvent::MouseButtonRelease) {
        Label2_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tsunagi
