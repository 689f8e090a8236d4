#include "about_window.h"

#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/main_window.h"
#include "panel/panel_form.h"
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
    grey.setColor(QPalette::Window, QColor(PanelForm::background.red, PanelForm::background.green,
                                           PanelForm::background.blue));
    grey.setColor(QPalette::Button, grey.color(QPalette::Window));
    setPalette(grey);
    setAutoFillBackground(true);
    setFont(about_font(8.0));

    // Creation order is the tab order: close_button first, about_text second.
    close_button = new QPushButton(QStringLiteral("Chiudi"), this);
    close_button->setObjectName(QStringLiteral("Command1"));
    close_button->setFont(about_font(9.75));
    close_button->setGeometry(pixel_rect({3720, 2640, 1572, 372}));
    close_button->setAutoDefault(true);
    close_button->setDefault(true);
    connect(close_button, &QPushButton::clicked, this, &QDialog::accept);

    about_text = new QPlainTextEdit(this);
    about_text->setObjectName(QStringLiteral("Text1"));
    about_text->setGeometry(pixel_rect({120, 120, 5172, 2412}));
    about_text->setReadOnly(true);
    about_text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    about_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    QPalette yellow = about_text->palette();
    yellow.setColor(QPalette::Base, QColor(255, 255, 128));
    yellow.setColor(QPalette::Text, Qt::black);
    about_text->setPalette(yellow);

    setTabOrder(close_button, about_text);

    // Load: the text goes in with one assignment. The widget keeps lines
    // apart with its own separator, so CR LF becomes a line break.
    about_text->setPlainText(QString::fromStdString(about_box_text()).replace(QStringLiteral("\r\n"),
                                                                      QStringLiteral("\n")));
    close_button->setFocus(Qt::OtherFocusReason);
}

}  // namespace vadrel::gui
