#pragma once
// What the window's tests share: the main window on the panel of a test rig,
// shown and active; modal windows answered from inside their event loop; a
// map's plane; the tables' titles.

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <memory>

#include "gui/main_window.h"
#include "gui/map_projection.h"
#include "support/fakes.h"

namespace vadrel::gui {

inline QString q(const char* text) { return QString::fromUtf8(text); }

// The child of `parent` called `name`; a failure of the test when none is.
template <typename W = QWidget>
W* in(const QObject& parent, const char* name) {
    W* w = parent.findChild<W*>(q(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

class Finestra : public ::testing::Test {
protected:
    void SetUp() override {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
    }
    TextBox& box(const char* name) { return *static_cast<TextBox*>(rig.form.find(name)); }

    testing::Rig rig;
    MainWindow window{rig.form};
};

// Runs `act` on the modal window once it is up, looking every 10 ms from
// inside the event loop the modal window runs; gives up after five seconds.
inline void when_modal(std::function<void(QWidget*)> act, int tries = 500) {
    QTimer::singleShot(10, qApp, [act = std::move(act), tries]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
        } else if (tries > 0) {
            when_modal(std::move(act), tries - 1);
        }
    });
}

// Does `act` and closes the modal window it brings up; returns what that
// window said if it was a message box, "" if none came up (and leaves alone
// a modal window that comes up later, a later test's).
inline QString said_after(const std::function<void()>& act) {
    const auto said = std::make_shared<QString>();
    const auto over = std::make_shared<bool>(false);
    when_modal([said, over](QWidget* modal) {
        if (*over) return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) *said = box->text();
        modal->close();
    });
    act();
    *over = true;
    return *said;
}

// A viewport of `size` on `centre` at the given scale.
inline MapProjection view(GeoPoint centre, double metres_per_pixel, QSizeF size = {200, 100}) {
    MapProjection map;
    map.set_viewport(size);
    map.set_view(centre, metres_per_pixel);
    return map;
}

// Every title of the dialog's tables shows whole, at the default font.
inline void expect_whole_titles(const QWidget& dialog) {
    for (const QTreeWidget* table : dialog.findChildren<QTreeWidget*>()) {
        for (int column = 0; column < table->columnCount(); ++column)
            EXPECT_GE(table->header()->sectionSize(column), table->header()->sectionSizeHint(column))
                << table->objectName().toStdString() << " " << table->headerItem()->text(column).toStdString();
    }
}

}  // namespace vadrel::gui
