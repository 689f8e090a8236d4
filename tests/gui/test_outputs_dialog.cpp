// "Uscite" driven as an operator would, over the real network outputs on the
// loopback: switching them on, a target that is no address, a client that
// connects and shows up, OK and Annulla.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTcpSocket>
#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>
#include <QUdpSocket>

#include "gui/outputs_dialog.h"
#include "finestra.h"
#include "modal.h"
#include "support/fakes.h"

namespace vadrel::gui {
namespace {

class Uscite : public ::testing::Test {
protected:
    template <typename W>
    W* find(const char* name) {
        W* w = dialog.findChild<W*>(q(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    // Replaces the text of a field as the operator does: select all, type.
    void type(QWidget* field, const QString& text) {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        const QStringList lines = text.split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0) QTest::keyClick(field, Qt::Key_Return);
            QTest::keyClicks(field, lines[i]);
        }
    }
    QString click(const char* button) {
        return said_after([this, button] { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); });
    }

    NetworkOutputs network;
    std::vector<OutputSettings> kept;
    OutputsDialog dialog{network, [this](const OutputSettings& s) {
                             kept.push_back(s);
                             return network.apply(s);
                         }};
};

TEST_F(Uscite, TheOperatorSwitchesTheOutputsOnAndSeesTheirClients) {
    dialog.open_on_settings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(find<QCheckBox>("tcp_attivo")->isChecked());
    EXPECT_EQ(find<QLineEdit>("tcp_indirizzo")->text(), q("127.0.0.1"));
    EXPECT_EQ(find<QSpinBox>("tcp_porta")->value(), 10110);
    EXPECT_EQ(find<QLabel>("tcp_stato")->text(), q("Spento."));

    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost));
    QTest::mouseClick(find<QCheckBox>("tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(find<QSpinBox>("tcp_porta"), q("0"));
    QTest::mouseClick(find<QCheckBox>("udp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(find<QPlainTextEdit>("udp_destinazioni"),
         QString("127.0.0.1:%1\nplotter senza porta").arg(receiver.localPort()));
    const QString said = click("ok");
    EXPECT_TRUE(said.startsWith(q("UDP: manca :PORTA"))) << said.toStdString();
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when all was done";
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].udp_targets.size(), 2u);
    ASSERT_TRUE(network.tcp().listening()) << "the server went on beside the bad target";

    // a client connects; after the next tick the dialog shows it, and the target
    QTcpSocket client;
    const std::string at = network.tcp().address();
    client.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(std::stoi(at.substr(at.rfind(':') + 1))));
    ASSERT_TRUE(client.waitForConnected(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return network.tcp().client_count() == 1; }, 5000));
    testing::FakePort serial;
    OutputFanOut fan_out(serial);
    network.add_to(fan_out);
    fan_out.send("$GPRMC\r\n");
    dialog.refresh();
    EXPECT_TRUE(find<QLabel>("tcp_stato")->text().contains(q(": 1 client collegati (al massimo 64)")))
        << find<QLabel>("tcp_stato")->text().toStdString();
    auto* clients = find<QTreeWidget>("tcp_client");
    ASSERT_EQ(clients->topLevelItemCount(), 1);
    EXPECT_EQ(clients->topLevelItem(0)->text(0), QString("127.0.0.1:%1").arg(client.localPort()));
    auto* targets = find<QTreeWidget>("udp_stato");
    ASSERT_EQ(targets->topLevelItemCount(), 1);
    EXPECT_EQ(targets->topLevelItem(0)->text(1), q("1"));

    // the bad line taken away: Applica applies and keeps the dialog; Annulla
    // closes it, and changes nothing
    type(find<QPlainTextEdit>("udp_destinazioni"), QString("127.0.0.1:%1").arg(receiver.localPort()));
    EXPECT_EQ(click("applica"), QString());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(kept.back().udp_targets, std::vector<std::string>{"127.0.0.1:" + std::to_string(receiver.localPort())});
    dialog.open_on_settings();
    QTest::mouseClick(find<QCheckBox>("tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(network.tcp().listening());
}

// Every title of the tables shows whole, at the default font.
TEST_F(Uscite, NoColumnTitleIsCut) {
    dialog.open_on_settings();
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
