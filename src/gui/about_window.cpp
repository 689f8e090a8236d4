#include "about_window.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/main_window.h"
#include "panel/form1.h"
#include "panel/about.h"

namespace vadrel::gui {

namespace {

QFont about_font(double points) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    return f;
}

}  // namespace

formAbout::formAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("formAbout"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(pixels(client_width), pixels(client_height));
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(Form1::background.red, Form1::background.green,
                                           Form1::background.blue));
    grey.setColor(QPalette::Button, grey.color(QPalette::Window));
    setPalette(grey);
    setAutoFillBackground(true);
    setFont(about_font(8.0));

    // Creation order is the tab order: Command1 first, Text1 second.
    Command1 = new QPushButton(QStringLiteral("Chiudi"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFont(about_font(9.75));
    Command1->setGeometry(pixel_rect({3720, 2640, 1572, 372}));
    Command1->setAutoDefault(true);
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(pixel_rect({120, 120, 5172, 2412}));
    Text1->setReadOnly(true);
    Text1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette yellow = Text1->palette();
    yellow.setColor(QPalette::Base, QColor(255, 255, 128));
    yellow.setColor(QPalette::Text, Qt::black);
    Text1->setPalette(yellow);

    setTabOrder(Command1, Text1);

    // Load: the text goes in with one assignment. The widget keeps lines
    // apart with its own separator, so CR LF becomes a line break.
    Text1->setPlainText(QString::fromStdString(testo_about()).replace(QStringLiteral("\r\n"),
                                                                      QStringLiteral("\n")));
    Command1->setFocus(Qt::OtherFocusReason);
}

}  // namespace vadrel::gui
