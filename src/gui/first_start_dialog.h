#pragma once
// What a first start asks, beside the panel: which receiver to simulate
// (the classic one's speed and course are always zero, which surprises
// whoever does not know it), and, when the panel's port did not open (a
// computer without serial ports), a virtual port in its place. It takes neither the keyboard nor the
// program's time: the classic receiver runs until the operator answers.

#include <QDialog>
#include <functional>
#include <string>

#include "model/receiver_options.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vadrel::gui {

class FirstStartDialog : public QDialog {
    Q_OBJECT
public:
    // The receiver chosen: classic or modern.
    using Answer = std::function<void(ReceiverKind)>;
    // Makes COM `port` a virtual port: its path, or why not (in Italian).
    struct Made {
        std::string path;
        std::string problem;
    };
    using MakePort = std::function<Made()>;

    // Made hidden: the caller shows it beside the panel. Either part is left
    // out when its function is empty. `port` names the
    // COM the virtual port would be, `why` why it did not open.
    FirstStartDialog(QWidget& panel, Answer answer, MakePort make_port, int port, const std::string& why);

private:
    QWidget* receiver_part(Answer answer);
    QWidget* port_part(MakePort make_port, int port, const std::string& why);
    void answered(QWidget& part);

    QLineEdit* path_ = nullptr;
};

}  // namespace vadrel::gui
