#pragma once
// formAbout: the about box. Built anew at each opening, destroyed on closing.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace vadrel::gui {

class formAbout : public QDialog {
    Q_OBJECT
public:
    explicit formAbout(QWidget* parent = nullptr);

    // Client area and places in twips.
    static constexpr int client_width = 5415;
    static constexpr int client_height = 3210;

private:
    QPlainTextEdit* about_text;
    QPushButton* close_button;
};

}  // namespace vadrel::gui
