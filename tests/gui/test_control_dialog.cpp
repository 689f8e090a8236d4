// "Uscite > Controllo..." driven as an operator would: the settings in force
// shown, switched on at an IPv6 address typed in brackets, a refusal that
// keeps the dialog open, the status it shows.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "finestra.h"
#include "gui/control_dialog.h"
#include "modal.h"

namespace vadrel::gui {
namespace {

TEST(Controllo, TheOperatorSwitchesTheInterfaceOnAndSeesWhyNot) {
    std::vector<ControlSettings> kept;
    std::string refusal;
    ControlDialog dialog(
        [&](const ControlSettings& s) {
            kept.push_back(s);
            return refusal;
        },
        [] { return std::string("Spenta."); });
    dialog.open_on(ControlSettings{});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    const auto find = [&dialog](const char* name) { return dialog.findChild<QWidget*>(q(name)); };
    EXPECT_EQ(static_cast<QLineEdit*>(find("controllo_indirizzo"))->text(), q("127.0.0.1"));
    EXPECT_EQ(static_cast<QSpinBox*>(find("controllo_porta"))->value(), 8080);
    EXPECT_EQ(static_cast<QLabel*>(find("controllo_stato"))->text(), q("Spenta."));

    QTest::mouseClick(find("controllo_attivo"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::keyClick(find("controllo_indirizzo"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(find("controllo_indirizzo"), q("[::1]"));
    QTest::keyClick(find("controllo_porta"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(find("controllo_porta"), q("0"));
    refusal = "interfaccia di controllo non attiva su [::1]:0: indirizzo non disponibile";
    const QString said = said_after([&] { QTest::mouseClick(find("ok"), Qt::LeftButton); });
    EXPECT_EQ(said.toStdString(), refusal);
    EXPECT_TRUE(dialog.isVisible()) << "OK closes only when it was done";
    refusal.clear();
    QTest::mouseClick(find("ok"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    ASSERT_EQ(kept.size(), 2U);
    EXPECT_EQ(kept.back(), (ControlSettings{true, "::1", 0})) << "the brackets are not the address's";
}

}  // namespace
}  // namespace vadrel::gui
