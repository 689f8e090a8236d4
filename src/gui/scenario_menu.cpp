#include "scenario_menu.h"

#include <QAction>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <memory>

namespace vadrel::gui {

namespace {

QString chosen_scenario(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Apri scenario"), QString(),
                                        QStringLiteral("Scenari (*.yaml *.yml *.json);;Tutti i file (*)"));
}

}  // namespace

ScenarioMenu::ScenarioMenu(QMenuBar& bar, ScenarioActions actions, QWidget* parent)
    : QObject(parent), actions_(std::move(actions)), parent_(parent) {
    if (!actions_.choose_file) actions_.choose_file = chosen_scenario;
    reader_.setMaxThreadCount(1);
    QMenu* menu = bar.addMenu(QStringLiteral("&File"));
    menu->setObjectName(QStringLiteral("menu_file"));
    open_ = menu->addAction(QStringLiteral("&Apri scenario..."));
    open_->setObjectName(QStringLiteral("menu_apri_scenario"));
    connect(open_, &QAction::triggered, this, &ScenarioMenu::choose);
}

ScenarioMenu::~ScenarioMenu() { reader_.waitForDone(); }

void ScenarioMenu::choose() {
    const QString path = actions_.choose_file(parent_);
    if (!path.isEmpty()) open_file(path.toStdString());
}

bool ScenarioMenu::open_file(const std::string& path) {
    if (reading_) {
        actions_.tell("Uno scenario è già in lettura: riprovare quando è finito.");
        return false;
    }
    reading_ = true;
    open_->setEnabled(false);
    reader_.start([this, path] {
        auto play = std::make_shared<ScenarioActions::Play>(actions_.read(path));
        // Back on the loop; dropped when the menu is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, play] {
                reading_ = false;
                open_->setEnabled(true);
                const std::string problem = (*play)();
                if (!problem.empty()) actions_.tell(problem);
                emit finished(QString::fromStdString(problem));
            },
            Qt::QueuedConnection);
    });
    return true;
}

}  // namespace vadrel::gui
