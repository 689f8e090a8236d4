#pragma once
// "Strade" (from the map window): street tiles on or off and the address of
// the tile server, with {z}, {x} and {y}. An address that cannot be used is
// refused with its reason and the dialog stays; a taken one is applied
// through `change`, which keeps it in vadrel.ini and says why not ("" when kept).

#include <QDialog>
#include <functional>
#include <string>

#include "config/tile_settings.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace vadrel::gui {

class TileDialog : public QDialog {
    Q_OBJECT
public:
    using Change = std::function<std::string(const TileSettings&)>;
    explicit TileDialog(Change change, QWidget* parent = nullptr);
    void open_on(const TileSettings& in_force);
    TileSettings settings() const;

private:
    bool apply();

    Change change_;
    QCheckBox* on_;
    QLineEdit* address_;
    QLabel* problem_;
};

}  // namespace vadrel::gui
