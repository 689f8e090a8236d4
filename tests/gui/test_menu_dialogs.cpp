// The settings dialogs driven as an operator would: "Porta..." (devices the
// system lists, COM numbers mapped to them or to a path typed in, a relative
// path refused), "Uscite" over the real network outputs on the loopback,
// "Controllo..." and "Bersagli AIS...": what cannot be used is said and keeps
// the dialog open, what can is handed over once. The menu "Opzioni": each
// entry switches its option in the panel and hands the options over to be
// kept; its dialogs refuse what cannot be used, saying why. The menu
// "Registrazione", over the real recorder and replay on a fake port:
// recording on and off, a log replayed with its progress to the end, a log
// with a damaged line sent only when the operator says so, a log that cannot
// be sent at all.

#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTcpSocket>
#include <QUdpSocket>

#include "finestra.h"
#include "gui/ais_dialog.h"
#include "gui/control_dialog.h"
#include "gui/options_menu.h"
#include "gui/outputs_dialog.h"
#include "gui/port_dialog.h"
#include "gui/recording_menu.h"
#include "log/recorder.h"
#include "log/replay.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

// Replaces the text of a field as the operator does: select all, type.
void type(QWidget* field, const QString& text) {
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, lines[i]);
    }
}

QString click(const QWidget& dialog, const char* button) {
    return said_after([&] { QTest::mouseClick(in<QPushButton>(dialog, button), Qt::LeftButton); });
}

const std::vector<SerialDevice> present = {
    {"/dev/ttyACM0", "ttyACM0", "u-blox GNSS receiver", "u-blox AG", ""},
    {"/dev/ttyUSB0", "ttyUSB0", "FT232R USB UART", "FTDI", "A10K3XYZ"},
};

TEST(Porta, TheOperatorMapsComNumbersToDevicesAndBack) {
    std::map<int, std::string> in_use{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/gone"}, {4, "/dev/ttyS3"}};
    std::vector<PortSettings> kept;
    PortDialog dialog{[] { return present; }, [&in_use](int n) { return in_use[n]; },
                      [&](const PortSettings& s) {
                          kept.push_back(s);
                          for (const auto& [n, device] : s.devices) in_use[n] = device;
                          return std::string();
                      }};
    const auto com = [&dialog](int n) { return in<QComboBox>(dialog, ("com" + std::to_string(n)).c_str()); };
    dialog.open_on({.devices = {{3, "/dev/gone"}, {4, "/dev/ttyUSB0"}}});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    expect_whole_titles(dialog);
    auto* devices = in<QTreeWidget>(dialog, "dispositivi");
    ASSERT_EQ(devices->topLevelItemCount(), 2);
    EXPECT_EQ(devices->topLevelItem(1)->text(3), q("A10K3XYZ"));
    EXPECT_EQ(com(3)->currentText(), q("/dev/gone")) << "a device unplugged now stays as it was";
    EXPECT_TRUE(com(4)->currentText().startsWith(q("/dev/ttyUSB0 — FT232R USB UART, FTDI")));

    com(1)->setCurrentIndex(1);            // the u-blox receiver
    type(com(2)->lineEdit(), q("/dev/gps0"));  // a link of its own
    com(3)->setCurrentIndex(0);            // back to /dev/ttyS2
    type(com(4)->lineEdit(), q("dev/rel"));
    EXPECT_TRUE(click(dialog, "ok").startsWith(q("COM 4: vuole un percorso completo")));
    EXPECT_TRUE(kept.empty() && dialog.isVisible());
    type(com(4)->lineEdit(), q("ttyUSB1"));  // a bare name is looked for under /dev
    EXPECT_EQ(click(dialog, "ok"), QString());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept, (std::vector<PortSettings>{{.devices = {{1, "/dev/ttyACM0"}, {2, "/dev/gps0"}, {4, "ttyUSB1"}}}}));
    EXPECT_EQ(in<QLabel>(dialog, "com1_in_uso")->text(), q("/dev/ttyACM0"));
    EXPECT_EQ(port_tooltip(1, "/dev/ttyUSB0", present),
              q("COM 1: /dev/ttyUSB0 — FT232R USB UART, FTDI, n. di serie A10K3XYZ"));
}

TEST(Uscite, TheOperatorSwitchesTheOutputsOnAndSeesTheirClients) {
    NetworkOutputs network;
    std::vector<OutputSettings> kept;
    OutputsDialog dialog{network, [&](const OutputSettings& s) { return kept.push_back(s), network.apply(s); }};
    dialog.open_on_settings();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    expect_whole_titles(dialog);
    EXPECT_EQ(in<QSpinBox>(dialog, "tcp_porta")->value(), 10110);
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress::LocalHost));
    const QString target = QString("127.0.0.1:%1").arg(receiver.localPort());
    QTest::mouseClick(in<QCheckBox>(dialog, "tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QSpinBox>(dialog, "tcp_porta"), q("0"));
    QTest::mouseClick(in<QCheckBox>(dialog, "udp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QPlainTextEdit>(dialog, "udp_destinazioni"), target + q("\nplotter senza porta"));
    const QString said = click(dialog, "ok");
    EXPECT_TRUE(said.startsWith(q("UDP: manca :PORTA"))) << said.toStdString();
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when all was done";
    ASSERT_EQ(kept.size(), 1u);
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
    EXPECT_TRUE(in<QLabel>(dialog, "tcp_stato")->text().contains(q(": 1 client collegati (al massimo 64)")));
    auto* clients = in<QTreeWidget>(dialog, "tcp_client");
    ASSERT_EQ(clients->topLevelItemCount(), 1);
    EXPECT_EQ(clients->topLevelItem(0)->text(0), QString("127.0.0.1:%1").arg(client.localPort()));
    EXPECT_EQ(in<QTreeWidget>(dialog, "udp_stato")->topLevelItem(0)->text(1), q("1"));

    // the bad line taken away: Applica applies and keeps the dialog; Annulla
    // closes it, and changes nothing
    type(in<QPlainTextEdit>(dialog, "udp_destinazioni"), target);
    EXPECT_EQ(click(dialog, "applica"), QString());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(kept.back().udp_targets, std::vector<std::string>{target.toStdString()});
    dialog.open_on_settings();
    QTest::mouseClick(in<QCheckBox>(dialog, "tcp_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept.size(), 2u);
    EXPECT_TRUE(network.tcp().listening());
}

TEST(Controllo, TheOperatorSwitchesTheInterfaceOnAndSeesWhyNot) {
    std::vector<ControlSettings> kept;
    std::string refusal = "interfaccia di controllo non attiva su [::1]:0: indirizzo non disponibile";
    ControlDialog dialog([&](const ControlSettings& s) { return kept.push_back(s), refusal; },
                         [] { return std::string("Spenta."); });
    dialog.open_on(ControlSettings{});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(in<QSpinBox>(dialog, "controllo_porta")->value(), 8080);
    EXPECT_EQ(in<QLabel>(dialog, "controllo_stato")->text(), q("Spenta."));
    QTest::mouseClick(in<QCheckBox>(dialog, "controllo_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    type(in<QLineEdit>(dialog, "controllo_indirizzo"), q("[::1]"));
    type(in<QSpinBox>(dialog, "controllo_porta"), q("0"));
    EXPECT_EQ(click(dialog, "ok").toStdString(), refusal);
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when it was done";
    refusal.clear();
    QTest::mouseClick(in<QPushButton>(dialog, "ok"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(kept, (std::vector<ControlSettings>(2, ControlSettings{true, "::1", 0})))
        << "the brackets are not the address's";
}

// Each refusal is said under the table with the vehicle's number and the
// cell at fault selected; the program's own refusal too.
TEST(BersagliAis, TheDialogRefusesWhatCannotBeSentAndHandsOverTheRest) {
    QMainWindow window;
    AisSettings current;
    current.mezzi[1].name = "Alfa";
    std::vector<AisSettings> changes;
    std::string program_says = "l'MMSI è già di un altro";
    add_ais_entry(*window.menuBar()->addMenu(q("&Opzioni")), [&] { return current; }, [&](const AisSettings& s) {
        changes.push_back(s);
        return std::exchange(program_says, "");
    });
    const struct {
        int column;
        const char* text;
        const char* said;  // under the table after OK; "" when closed
        int at_fault;      // the column selected, -1: any
    } rows[] = {
        {0, "12a", "Mezzo 3: l'MMSI ha nove cifre", 0},
        {0, "247000003", "Mezzo 3: la classe AIS è A o B, non \"C\"", 1},
        {1, "b", "Mezzo 3: il tipo di nave AIS va da 0 (non disponibile) a 99, non \"300\"", 3},
        {3, "37", "Mezzo 3: il nome AIS ha al massimo 20 caratteri", 2},
        {2, "Libeccio è bello", "l'MMSI è già di un altro", -1},
        {2, "Libeccio è bello", "", -1},
    };
    when_modal([&](QWidget* dialog) {
        auto* table = in<QTableWidget>(*dialog, "ais_mezzi");
        EXPECT_EQ(table->item(1, 2)->text(), q("Alfa"));
        in<QCheckBox>(*dialog, "ais_attivi")->setChecked(true);
        table->item(3, 1)->setText(q("C"));
        table->item(3, 2)->setText(q("Un nome lungo più di venti"));
        table->item(3, 3)->setText(q("300"));
        for (const auto& row : rows) {
            table->item(3, row.column)->setText(q(row.text));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            const std::string said = in<QLabel>(*dialog, "problema")->text().toStdString();
            EXPECT_EQ(said.rfind(row.said, 0), 0u) << row.text << ": " << said;
            EXPECT_TRUE(row.at_fault < 0 || table->currentColumn() == row.at_fault) << row.text << ": column";
            if (dialog->isHidden()) return;
        }
        dialog->close();  // still open after the last row: said above, not waited for
    });
    in<QAction>(window, "opzione_ais")->trigger();
    ASSERT_EQ(changes.size(), 2u) << "the program's refusal kept the dialog open";
    EXPECT_EQ(changes[1].mezzi[3], (AisIdentity{247000003, AisClass::b, "Libeccio è bello", 37, "", {}}));
    EXPECT_TRUE(changes[1].attivi);
    EXPECT_EQ(changes[1].mezzi[1].name, "Alfa");
}

// ---- Opzioni ----

struct Menu {
    testing::Rig rig;
    QMainWindow window;
    std::vector<OpzioniRicevitore> kept;
    std::string problem;
    OptionsMenu menu{rig.form, *window.menuBar(), [this](const OpzioniRicevitore& o) {
                         kept.push_back(o);
                         return problem;
                     }};
    QAction& action(const char* name) { return *window.findChild<QAction*>(QString::fromLatin1(name)); }
};

TEST(MenuOpzioni, EachEntrySwitchesItsOptionAndHandsItOverToBeKept) {
    Menu m;
    const std::pair<const char*, bool OpzioniRicevitore::*> rows[] = {
        {"opzione_utc", &OpzioniRicevitore::utc},
        {"opzione_moto_reale", &OpzioniRicevitore::moto_reale},
        {"opzione_frasi_complete", &OpzioniRicevitore::frasi_complete},
        {"opzione_senza_fix", &OpzioniRicevitore::senza_fix},
    };
    for (const auto& [name, option] : rows) {
        for (const bool on : {true, false}) {
            m.action(name).trigger();
            EXPECT_EQ(m.rig.transmitter.receiver().*option, on) << name;
            EXPECT_EQ(m.kept.back(), m.rig.transmitter.receiver()) << name;
            EXPECT_EQ(m.action(name).isChecked(), on) << name;
        }
    }
    OpzioniRicevitore lost = m.rig.transmitter.receiver();
    lost.senza_fix = true;  // as SIGUSR1 does
    m.rig.transmitter.set_receiver(lost);
    m.menu.refresh();
    EXPECT_TRUE(m.action("opzione_senza_fix").isChecked());
    m.problem = "impossibile salvare vadrel.ini";
    m.action("opzione_utc").trigger();
    EXPECT_TRUE(m.rig.transmitter.receiver().utc) << "the option holds for this run all the same";
    ASSERT_EQ(m.rig.shell.messages.size(), 1u);
    EXPECT_NE(m.rig.shell.messages[0].find(m.problem), std::string::npos);
}

// "Ricevitore moderno": the three options of a receiver of today in one
// step, the others as they were, kept as any other entry.
TEST(MenuOpzioni, ModernReceiverTurnsOnTheThreeAtOnce) {
    Menu m;
    OpzioniRicevitore expected = m.rig.transmitter.receiver();
    expected.quota = 120;
    m.rig.transmitter.set_receiver(expected);
    m.action("opzione_ricevitore_moderno").trigger();
    expected.utc = expected.moto_reale = expected.frasi_complete = true;
    EXPECT_EQ(m.rig.transmitter.receiver(), expected);
    EXPECT_EQ(m.kept, std::vector<OpzioniRicevitore>{expected});
    EXPECT_TRUE(m.action("opzione_moto_reale").isChecked());
}

// "Cielo e ricevitore...": what cannot be used is refused with the command
// line's reason; what can is handed over whole.
TEST(MenuOpzioni, TheSkyDialogTakesWhatTheCommandLineTakes) {
    Menu m;
    QString refused;
    when_modal([&refused](QWidget* dialog) {
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        in<QCheckBox>(*dialog, "satelliti")->setChecked(true);
        in<QDoubleSpinBox>(*dialog, "maschera")->setValue(15);
        in<QComboBox>(*dialog, "frequenza")->setCurrentText(q("10"));
        in<QComboBox>(*dialog, "talker")->setCurrentText(q("GN"));
        in<QLineEdit>(*dialog, "ostacoli")->setText(q("200-340:40 ovest"));
        ok->click();
        refused = in<QLabel>(*dialog, "problema")->text();
        in<QLineEdit>(*dialog, "ostacoli")->setText(q("200-340:40  350-10:20"));
        in<QLineEdit>(*dialog, "elenco_frasi")->setText(q("rmc,gsv"));
        ok->click();
        dialog->close();  // refused again: said below, not waited for
    });
    m.action("opzione_cielo").trigger();
    EXPECT_TRUE(refused.contains(q("un ostacolo si scrive"))) << refused.toStdString();
    const Cielo expected{true, 15, {{200, 340, 40}, {350, 10, 20}}, 0, 10, Talker::gn,
                         {SentenceKind::rmc, SentenceKind::gsv}};
    EXPECT_EQ(m.rig.transmitter.receiver().cielo, expected);
    EXPECT_EQ(m.kept, std::vector<OpzioniRicevitore>{m.rig.transmitter.receiver()}) << "handed over once";
}

TEST(MenuOpzioni, TheFaultsDialogTakesOnlyRatesThatCanBeUsed) {
    Menu m;
    QString refused;
    when_modal([&refused](QWidget* dialog) {
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        in<QDoubleSpinBox>(*dialog, "perdita")->setValue(0.2);
        in<QDoubleSpinBox>(*dialog, "checksum")->setValue(0.6);
        in<QDoubleSpinBox>(*dialog, "tronca")->setValue(0.5);
        in<QLineEdit>(*dialog, "seme")->setText(q("18446744073709551615"));
        ok->click();
        refused = in<QLabel>(*dialog, "problema")->text();
        in<QDoubleSpinBox>(*dialog, "tronca")->setValue(0.4);
        ok->click();
        dialog->close();  // refused again: said below, not waited for
    });
    m.action("opzione_guasti").trigger();
    EXPECT_TRUE(refused.contains(q("non possono superare 1"))) << refused.toStdString();
    const Guasti expected{true, 0.2, 0.6, 0.4, 18446744073709551615ULL};
    EXPECT_EQ(m.rig.transmitter.receiver().guasti, expected);
    EXPECT_TRUE(m.action("opzione_guasti").isChecked());

    m.action("opzione_guasti").trigger();  // off: the rates stay for the next time
    EXPECT_EQ(m.kept.back().guasti, (Guasti{false, 0.2, 0.6, 0.4, 18446744073709551615ULL}));

    when_modal([](QWidget* dialog) { dialog->close(); });  // cancelled: nothing changes
    m.action("opzione_guasti").trigger();
    EXPECT_FALSE(m.rig.transmitter.receiver().guasti.attivi);
    EXPECT_FALSE(m.action("opzione_guasti").isChecked());
    EXPECT_EQ(m.kept.size(), 2u);
}

// ---- Registrazione ----

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
                             [this](QWidget*, const QString&, const QString&, bool) { return chosen; },
                             [] { return false; },
                             [this] { tracks.clear(); },
                             [this] {
                                 return RecordingActions::Files{recorder.recording() ? recorder.path() : "",
                                                                replay.running() ? replay.path() : "", tracks};
                             }},
            &window);
        replay.on_tick = [this](const std::string&, const Delivery&) { menu->refresh(); };
        replay.on_finished = [this](const std::string&) { menu->refresh(); };
    }
    QAction* action(const char* name) { return in<QAction>(window, name); }
    // The file the file dialog gives, in the folder; made with `bytes`, if any.
    void choose(const char* name, const char* bytes = nullptr) {
        if (bytes != nullptr) folder.put(name, bytes);
        chosen = QString::fromStdString(folder.at(name));
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
    choose("tracce.gpx");
    said_after([this] { action("esporta_gpx")->trigger(); });
    EXPECT_EQ(said.text(), QStringLiteral("Esporta GPX"));
    EXPECT_EQ(said.toolTip(), QStringLiteral("Tracce GPX in ") + chosen);
    choose("giro.nmea");
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
    choose("giro.nmea", "# 2026-12-06T10:00:00.000Z\n$A*41\r\n# 2026-12-06T10:00:01.000Z\n$B*42\r\n");
    action("riproduci")->trigger();
    ASSERT_TRUE(menu->replay_dialog().isVisible());
    in<QCheckBox>(menu->replay_dialog(), "massima")->setChecked(true);
    QTest::mouseClick(in<QPushButton>(menu->replay_dialog(), "avvia"), Qt::LeftButton);
    EXPECT_FALSE(action("riproduci")->isEnabled());
    QTRY_VERIFY(!replay.running());
    EXPECT_EQ(port.written, (std::vector<std::string>{"$A*41\r\n", "$B*42\r\n"}));
    EXPECT_EQ(in<QProgressBar>(menu->replay_dialog(), "avanzamento")->value(), 1000);
    EXPECT_TRUE(action("riproduci")->isEnabled());
    EXPECT_TRUE(in<QPushButton>(menu->replay_dialog(), "avvia")->isEnabled());
}

TEST_F(Registrazione, DamagedLinesGoOnlyWhenTheOperatorSaysSo) {
    choose("rotto.nmea", "$GPZDA,100000,06,12,2026,00,00*4A\r\n$GPGSV*00\r\n");
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
    choose("vuoto.nmea", "");
    const QString said = said_after([this] { action("riproduci")->trigger(); });
    EXPECT_TRUE(said.contains(QStringLiteral("è vuoto"))) << said.toStdString();
    EXPECT_TRUE(port.written.empty());
}

// A large log: its reading shows how far it is once it takes more than half
// a second, and "Annulla" stops it with nothing said; so does the end of the program.
TEST_F(Registrazione, TheReadingOfALargeLogStopsWhenAsked) {
    choose("grande.nmea", "");
    ASSERT_EQ(::truncate(folder.at("grande.nmea").c_str(), 16LL << 30), 0);  // a hole, no room taken
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
