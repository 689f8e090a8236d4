// "Registrazione" driven as an operator would, over the real recorder and
// replay on a fake port: recording on and off, a log replayed with its
// progress to the end, a log with a damaged line sent only when the
// operator says so, a log that cannot be sent at all.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include "gui/recording_menu.h"
#include "finestra.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "support/fakes.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

class Registrazione : public ::testing::Test {
protected:
    Registrazione() {
        port.force_open();
        fan_out.add(recorder);
        menu = std::make_unique<RecordingMenu>(
            *window.menuBar(),
            RecordingActions{[this](const std::string& p) { return recorder.start(p); }, [this] { recorder.stop(); },
                             [this] { return recorder.recording(); },
                             [this](const CheckedLog& log, double x, bool loop) { return replay.start(log, x, loop); },
                             [this] { replay.stop(); }, [this] { return replay.running(); },
                             [this] { return replay.progress(); },
                             [this](const std::string& p) { return tracks = p, std::string(); },
                             [this](QWidget*, const QString&, const QString&, bool) { return chosen; }, [] { return false; },
                             [this] { tracks.clear(); },
                             [this] {
                                 return RecordingActions::Files{recorder.recording() ? recorder.path() : "",
                                                                replay.running() ? replay.path() : "", tracks};
                             }},
            &window);
        replay.on_tick = [this](const std::string&, const Delivery&) { menu->refresh(); };
        replay.on_finished = [this](const std::string&) { menu->refresh(); };
    }
    QAction* action(const char* name) { return window.findChild<QAction*>(QString::fromUtf8(name)); }
    template <typename W>
    W* in_dialog(const char* name) {
        return menu->replay_dialog().findChild<W*>(QString::fromUtf8(name));
    }

    testing::ScratchFolder folder;
    testing::FakePort port;
    OutputFanOut fan_out{port};
    Recorder recorder;
    Replay replay{fan_out};
    QMainWindow window;
    std::unique_ptr<RecordingMenu> menu;
    QString chosen;
    std::string tracks;  // the GPX file being written
};

// Recording on and off, what runs said beside the transmission status with
// the files in the tooltip; a running GPX export stops from the menu.
TEST_F(Registrazione, RecordOnAndOffAndWhatRunsIsSaid) {
    QLabel& said = menu->activity_label();
    chosen = QStringLiteral("/dev/null");  // refused: said, and nothing records
    const QString refused = said_after([this] { action("registra")->trigger(); });
    EXPECT_TRUE(refused.contains(QStringLiteral("non è un file normale"))) << refused.toStdString();
    EXPECT_FALSE(action("registra")->isChecked());
    EXPECT_EQ(said.text(), QString());
    EXPECT_FALSE(action("ferma_gpx")->isEnabled());
    chosen = QString::fromStdString(folder.at("tracce.gpx"));
    said_after([this] { action("esporta_gpx")->trigger(); });
    EXPECT_EQ(said.text(), QStringLiteral("Esporta GPX"));
    EXPECT_EQ(said.toolTip(), QStringLiteral("Tracce GPX in ") + chosen);
    chosen = QString::fromStdString(folder.at("giro.nmea"));
    action("registra")->trigger();
    EXPECT_TRUE(recorder.recording() && action("registra")->isChecked());
    EXPECT_EQ(said.text(), QStringLiteral("Reg · GPX"));
    EXPECT_TRUE(said.toolTip().startsWith(QStringLiteral("Registrazione in ") + chosen + QLatin1Char('\n')));
    action("ferma_gpx")->trigger();
    EXPECT_TRUE(tracks.empty());
    EXPECT_EQ(said.text(), QStringLiteral("Registra"));
    EXPECT_FALSE(action("ferma_gpx")->isEnabled());
    action("registra")->trigger();
    EXPECT_FALSE(recorder.recording() || action("registra")->isChecked());
    EXPECT_EQ(said.text(), QString());
}

TEST_F(Registrazione, ALogPlaysToTheEndWithItsProgress) {
    folder.put("giro.nmea", "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:01.000Z\n$B*42\r\n");
    chosen = QString::fromStdString(folder.at("giro.nmea"));
    action("riproduci")->trigger();
    ASSERT_TRUE(menu->replay_dialog().isVisible());
    in_dialog<QCheckBox>("massima")->setChecked(true);
    QTest::mouseClick(in_dialog<QPushButton>("avvia"), Qt::LeftButton);
    EXPECT_FALSE(action("riproduci")->isEnabled());
    QTRY_VERIFY(!replay.running());
    EXPECT_EQ(port.written, (std::vector<std::string>{"$A*41\r\n", "$B*42\r\n"}));
    EXPECT_EQ(in_dialog<QProgressBar>("avanzamento")->value(), 1000);
    EXPECT_TRUE(action("riproduci")->isEnabled());
    EXPECT_TRUE(in_dialog<QPushButton>("avvia")->isEnabled());
}

TEST_F(Registrazione, DamagedLinesGoOnlyWhenTheOperatorSaysSo) {
    folder.put("rotto.nmea", "$GPZDA,100000,06,12,2026,00,00*4A\r\n$GPGSV*00\r\n");
    chosen = QString::fromStdString(folder.at("rotto.nmea"));
    for (const auto button : {QMessageBox::No, QMessageBox::Yes}) {
        QString said;
        when_modal([&](QWidget* box) {
            said = static_cast<QMessageBox*>(box)->text();
            static_cast<QMessageBox*>(box)->button(button)->click();
        });
        action("riproduci")->trigger();
        EXPECT_TRUE(said.contains(QStringLiteral("riga 2: checksum errato"))) << said.toStdString();
        EXPECT_EQ(menu->replay_dialog().isVisible(), button == QMessageBox::Yes);
    }
    folder.put("vuoto.nmea", "");
    chosen = QString::fromStdString(folder.at("vuoto.nmea"));
    const QString said = said_after([this] { action("riproduci")->trigger(); });
    EXPECT_TRUE(said.contains(QStringLiteral("è vuoto"))) << said.toStdString();
    EXPECT_TRUE(port.written.empty());
}

// A large log: its reading shows how far it is once it takes more than half
// a second, and "Annulla" stops it with nothing said; so does the end of the program.
TEST_F(Registrazione, TheReadingOfALargeLogStopsWhenAsked) {
    { std::ofstream(folder.at("grande.nmea")); }
    ASSERT_EQ(::truncate(folder.at("grande.nmea").c_str(), 16LL << 30), 0);  // a hole, no room taken
    chosen = QString::fromStdString(folder.at("grande.nmea"));
    QString shown;
    when_modal([&](QWidget* modal) {
        shown = modal->objectName();
        if (auto* progress = qobject_cast<QProgressDialog*>(modal)) progress->cancel();
    });
    const QString said = said_after([this] { action("riproduci")->trigger(); });
    EXPECT_EQ(shown, QStringLiteral("lettura_registro"));
    EXPECT_EQ(said, QString()) << "cancelled: nothing to say";
    EXPECT_FALSE(menu->replay_dialog().isVisible());
    const CheckResult ended = esamina_con_avanzamento(folder.at("grande.nmea"), &window, [] { return true; });
    EXPECT_TRUE(std::holds_alternative<CheckInterrupted>(ended));
}

}  // namespace
}  // namespace vadrel::gui
