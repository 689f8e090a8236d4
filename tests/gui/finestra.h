#pragma once
// The main window on the panel of a test rig, shown and active, for the
// window's tests.

#include <gtest/gtest.h>

#include <QString>
#include <QTest>

#include "gui/main_window.h"
#include "support/fakes.h"

namespace vadrel::gui {

inline QString q(const char* text) { return QString::fromUtf8(text); }

class Finestra : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
    }
    template <typename W = QWidget>
    W* find(const char* name) {
        W* w = window.findChild<W*>(q(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    TextBox& box(const char* name) { return *static_cast<TextBox*>(rig.form.find(name)); }

    testing::Rig rig;
    MainWindow window{rig.form};
};

}  // namespace vadrel::gui
