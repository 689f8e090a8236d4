// "Porta..." driven as an operator would: the devices the system lists, a
// COM number mapped to one of them, another to a path typed in, a third put
// back to its default, a relative path refused; the tooltip of a button.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>

#include "gui/port_dialog.h"
#include "modal.h"

namespace vadrel::gui {
namespace {

const std::vector<SerialDevice> present = {
    {"/dev/ttyACM0", "ttyACM0", "u-blox GNSS receiver", "u-blox AG", ""},
    {"/dev/ttyUSB0", "ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XYZ"},
};

class Porta : public ::testing::Test {
protected:
    template <typename W>
    W* find(const QString& name) {
        W* w = dialog.findChild<W*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QComboBox* com(int number) { return find<QComboBox>(QStringLiteral("com%1").arg(number)); }
    void type(QComboBox* choice, const QString& text) {
        choice->lineEdit()->selectAll();
        QTest::keyClicks(choice->lineEdit(), text);
    }
    QString click_ok() {
        return said_after([this] { QTest::mouseClick(find<QPushButton>(QStringLiteral("ok")), Qt::LeftButton); });
    }

    std::map<int, std::string> in_use{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/gone"}, {4, "/dev/ttyS3"}};
    std::vector<PortSettings> kept;
    PortDialog dialog{[] { return present; }, [this](int n) { return in_use[n]; },
                      [this](const PortSettings& s) {
                          kept.push_back(s);
                          for (const auto& [n, device] : s.devices) in_use[n] = device;
                          return std::string();
                      }};
};

TEST_F(Porta, TheOperatorMapsComNumbersToDevicesAndBack) {
    PortSettings saved;
    saved.devices = {{3, "/dev/gone"}, {4, "/dev/ttyUSB0"}};
    dialog.open_on(saved);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* devices = find<QTreeWidget>(QStringLiteral("dispositivi"));
    ASSERT_EQ(devices->topLevelItemCount(), 2);
    EXPECT_EQ(devices->topLevelItem(1)->text(3), QStringLiteral("A10K3XYZ"));
    EXPECT_EQ(com(3)->currentText(), QStringLiteral("/dev/gone")) << "a device unplugged now stays as it was";
    EXPECT_TRUE(com(4)->currentText().startsWith(QStringLiteral("/dev/ttyUSB0 — FT232R USB UART, FTDI")));
    EXPECT_EQ(find<QLabel>(QStringLiteral("com3_in_uso"))->text(), QStringLiteral("/dev/gone"));

    com(1)->setCurrentIndex(1);                  // the u-blox receiver
    type(com(2), QStringLiteral("/dev/gps0"));   // a link of its own
    com(3)->setCurrentIndex(0);                  // back to /dev/ttyS2
    type(com(4), QStringLiteral("dev/rel"));
    EXPECT_TRUE(click_ok().startsWith(QStringLiteral("COM 4: vuole un percorso completo")));
    EXPECT_TRUE(kept.empty());
    EXPECT_TRUE(dialog.isVisible());

    type(com(4), QStringLiteral("ttyUSB1"));  // a bare name is looked for under /dev
    EXPECT_EQ(click_ok(), QString());
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(kept.size(), 1u);
    const std::map<int, std::string> wanted{{1, "/dev/ttyACM0"}, {2, "/dev/gps0"}, {4, "ttyUSB1"}};
    EXPECT_EQ(kept[0].devices, wanted);
    EXPECT_EQ(find<QLabel>(QStringLiteral("com1_in_uso"))->text(), QStringLiteral("/dev/ttyACM0"));

    EXPECT_EQ(port_tooltip(1, "/dev/ttyUSB0", present),
              QStringLiteral("COM 1: /dev/ttyUSB0 — FT232R USB UART, FTDI, n. di serie A10K3XYZ"));
    EXPECT_EQ(port_tooltip(2, "/dev/pts/4 (virtuale) (--com)", present),
              QStringLiteral("COM 2: /dev/pts/4 (virtuale) (--com)"));
}

// Every title of the tables shows whole, at the default font.
TEST_F(Porta, NoColumnTitleIsCut) {
    dialog.open_on({});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    for (const QTreeWidget* table : dialog.findChildren<QTreeWidget*>()) {
        const QHeaderView* header = table->header();
        for (int column = 0; column < table->columnCount(); ++column)
            EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column))
                << table->objectName().toStdString() << " " << table->headerItem()->text(column).toStdString();
    }
}

}  // namespace
}  // namespace vadrel::gui
