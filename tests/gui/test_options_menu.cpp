// The menu "Opzioni" as an operator uses it: each entry switches its option
// in the panel and hands the options over to be kept; the faults' dialog
// refuses rates that cannot be used, saying why, and keeps those that can.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>

#include "app/program.h"
#include "gui/options_menu.h"
#include "finestra.h"
#include "support/scratch_folder.h"

namespace vadrel::gui {
namespace {

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
    QStringList refusals;
    when_modal([&refusals](QWidget* dialog) {
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        const auto text = [dialog](const char* name, const char* value) {
            dialog->findChild<QLineEdit*>(QString::fromLatin1(name))->setText(QString::fromUtf8(value));
        };
        dialog->findChild<QCheckBox*>(QStringLiteral("satelliti"))->setChecked(true);
        dialog->findChild<QDoubleSpinBox*>(QStringLiteral("maschera"))->setValue(15);
        dialog->findChild<QComboBox*>(QStringLiteral("frequenza"))->setCurrentText(QStringLiteral("10"));
        dialog->findChild<QComboBox*>(QStringLiteral("talker"))->setCurrentText(QStringLiteral("GN"));
        text("ostacoli", "200-340:40 ovest");
        ok->click();
        refusals << dialog->findChild<QLabel*>(QStringLiteral("problema"))->text();
        text("ostacoli", "200-340:40  350-10:20");
        text("elenco_frasi", "rmc,gsv");
        ok->click();
    });
    m.action("opzione_cielo").trigger();
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("un ostacolo si scrive"))) << refusals[0].toStdString();
    const Cielo expected{true, 15, {{200, 340, 40}, {350, 10, 20}}, 0, 10, Talker::gn,
                         {SentenceKind::rmc, SentenceKind::gsv}};
    EXPECT_EQ(m.rig.transmitter.receiver().cielo, expected);
    EXPECT_EQ(m.kept.back().cielo, expected);
}

TEST(MenuOpzioni, TheFaultsDialogTakesOnlyRatesThatCanBeUsed) {
    Menu m;
    QStringList refusals;
    when_modal([&refusals](QWidget* dialog) {
        const auto set = [dialog](const char* name, double value) {
            dialog->findChild<QDoubleSpinBox*>(QString::fromLatin1(name))->setValue(value);
        };
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        set("perdita", 0.2);
        set("checksum", 0.6);
        set("tronca", 0.5);
        dialog->findChild<QLineEdit*>(QStringLiteral("seme"))->setText(QStringLiteral("18446744073709551615"));
        ok->click();
        refusals << dialog->findChild<QLabel*>(QStringLiteral("problema"))->text();
        set("tronca", 0.4);
        ok->click();
    });
    m.action("opzione_guasti").trigger();
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("non possono superare 1"))) << refusals[0].toStdString();
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

// On the real program: the options come from vadrel.ini with the command line
// over them, and the file keeps what the menu changed beside its own choice
// that the command line overrode.
TEST(MenuOpzioni, OnTheProgramTheFileKeepsWhatTheMenuChanged) {
    testing::ScratchFolder folder;
    folder.put("vadrel.ini", "[ricevitore]\nutc=true\nsenza_fix=true\n");
    Options options;
    options.cartella = folder.path();
    options.com[2] = PortMapping{true, ""};
    options.senza_fix = false;
    OpzioniRicevitore expected;
    expected.utc = true;
    {
        testing::FakeShell shell;
        Program program(options, shell);
        QMainWindow window;
        OptionsMenu menu(program.form(), *window.menuBar(),
                         [&program](const OpzioniRicevitore& o) { return program.change_receiver(o); });
        program.start();
        EXPECT_EQ(program.receiver(), expected);
        window.findChild<QAction*>(QStringLiteral("opzione_moto_reale"))->trigger();
        EXPECT_TRUE(program.stop());
    }
    expected.moto_reale = true;
    expected.senza_fix = true;
    ProgramFolder place(folder.path());
    SettingsFile file(place);
    std::vector<std::string> problems;
    EXPECT_EQ(read_receiver_settings(file, problems), expected);
}

}  // namespace
}  // namespace vadrel::gui
