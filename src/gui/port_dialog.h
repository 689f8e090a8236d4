#pragma once
// "Porta...": the serial devices the system has now (name, description,
// maker, serial number) and, for COM 1 to COM 4, the device each stands for:
// its default, one of those devices, or a path typed in (a link made by
// udev or socat, a device that is unplugged now). It shows and returns a
// plain PortSettings; applying and keeping them is the caller's.

#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "os/result.h"
#include "config/port_settings.h"
#include "serial/serial_devices.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace vadrel::gui {

class PortDialog : public QDialog {
    Q_OBJECT
public:
    using List = std::function<std::vector<SerialDevice>()>;
    // What COM N stands for in this run ("/dev/pts/4 (virtuale) (--com)").
    using InUse = std::function<std::string(int number)>;
    // Applies and keeps the settings; returns what could not be done.
    using Change = std::function<Result<>(const PortSettings&)>;
    PortDialog(List list, InUse in_use, Change change, QWidget* parent = nullptr);

    // The path of COM N when it is a virtual port, "" otherwise: shown with a
    // button that copies it.
    void set_virtual_path(std::function<std::string(int number)> path) { virtual_path_ = std::move(path); }

    // Lists the devices, shows these settings and opens the dialog.
    void open_on(const PortSettings& settings);
    // The settings the fields hold.
    PortSettings settings() const;

signals:
    // After the settings were applied (also when they could not all be kept).
    void changed();

private:
    void list_devices();
    void show_in_use();
    bool apply();

    List list_;
    InUse in_use_;
    Change change_;
    std::vector<SerialDevice> present_;
    QTreeWidget* devices_;
    std::array<QComboBox*, 4> choices_{};
    std::array<QLabel*, 4> in_use_labels_{};
    std::array<QPushButton*, 4> copy_buttons_{};
    std::function<std::string(int)> virtual_path_ = [](int) { return std::string(); };
};

// The tooltip of COM N's button: what it stands for now, with the
// description and maker of that device when the system lists it.
QString port_tooltip(int number, const std::string& in_use, const std::vector<SerialDevice>& present);

}  // namespace vadrel::gui
