// "Opzioni" > "Bersagli AIS..." as an operator uses it: the vehicles'
// identities in a table, each refusal said under it with the vehicle's
// number and the cell at fault selected, the program's own refusal too;
// what is accepted is handed over once.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

#include "gui/ais_dialog.h"
#include "modal.h"

namespace vadrel::gui {
namespace {

TEST(BersagliAis, TheDialogRefusesWhatCannotBeSentAndHandsOverTheRest) {
    QMainWindow window;
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("&Opzioni"));
    AisSettings current;
    current.mezzi[1].name = "Alfa";
    std::vector<AisSettings> changes;
    std::string program_says = "l'MMSI è già di un altro";
    add_ais_entry(*menu, [&] { return current; }, [&](const AisSettings& s) {
        changes.push_back(s);
        return std::exchange(program_says, "");
    });
    const struct {
        int column;
        const char* text;
        const char* said;  // under the table after OK; "" when closed
    } rows[] = {
        {0, "12a", "Mezzo 3: l'MMSI ha nove cifre"},
        {0, "247000003", "Mezzo 3: la classe AIS è A o B, non \"C\""},
        {1, "b", "Mezzo 3: il tipo di nave AIS va da 0 (non disponibile) a 99, non \"300\""},
        {3, "37", "Mezzo 3: il nome AIS ha al massimo 20 caratteri"},
        {2, "Libeccio è bello", "l'MMSI è già di un altro"},
        {2, "Libeccio è bello", ""},
    };
    std::vector<std::pair<std::string, int>> seen;
    when_modal([&](QWidget* dialog) {
        auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("ais_mezzi"));
        EXPECT_EQ(table->item(1, 2)->text(), QStringLiteral("Alfa"));
        dialog->findChild<QCheckBox*>(QStringLiteral("ais_attivi"))->setChecked(true);
        table->item(3, 1)->setText(QStringLiteral("C"));
        table->item(3, 2)->setText(QStringLiteral("Un nome lungo più di venti"));
        table->item(3, 3)->setText(QStringLiteral("300"));
        QPushButton* ok = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
        for (const auto& row : rows) {
            table->item(3, row.column)->setText(QString::fromUtf8(row.text));
            ok->click();
            seen.emplace_back(dialog->findChild<QLabel*>(QStringLiteral("problema"))->text().toStdString(),
                              table->currentColumn());
            if (dialog->isHidden()) return;
        }
    });
    window.findChild<QAction*>(QStringLiteral("opzione_ais"))->trigger();
    ASSERT_EQ(seen.size(), std::size(rows));
    const int at_fault[] = {0, 1, 3, 2, -1, -1};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].first.rfind(rows[i].said, 0), 0u) << i << ": " << seen[i].first;
        if (at_fault[i] >= 0) {
            EXPECT_EQ(seen[i].second, at_fault[i]) << i;
        }
    }
    ASSERT_EQ(changes.size(), 2u) << "the program's refusal kept the dialog open";
    const AisIdentity expected{247000003, AisClass::b, "Libeccio è bello", 37, "", {}};
    EXPECT_EQ(changes[1].mezzi[3], expected);
    EXPECT_TRUE(changes[1].attivi);
    EXPECT_EQ(changes[1].mezzi[1].name, "Alfa");
}

}  // namespace
}  // namespace vadrel::gui
