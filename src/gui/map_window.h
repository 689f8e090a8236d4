#pragma once
// The window of the map: its buttons ("Adatta", "Strade...", "Salva
// immagine...", "Disegna percorso") over the map itself (map_canvas.h).

#include <QWidget>
#include <functional>
#include <string>

#include "config/tile_settings.h"
#include "gui/map_canvas.h"
#include "panel/panel_form.h"
#include "routes/vehicle_routes.h"

class QLabel;
class QPushButton;

namespace vadrel::gui {

class TileDialog;

class MapWindow : public QWidget {
    Q_OBJECT
public:
    explicit MapWindow(PanelForm& form, QWidget* parent = nullptr);
    MapCanvas* canvas() const { return canvas_; }
    // After each tick; nothing while the window is hidden.
    void refresh();
    // The street tiles' settings in force, and who keeps a change of them
    // (in vadrel.ini; "" when kept, else why not).
    void set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep);
    // Writes the map as a PNG; "" when written, else why not, in Italian.
    QString save_image(const QString& path) const;
    // The routes on the map; "Disegna percorso" is there only with them.
    void set_routes(const VehicleRoutes* routes);
    // A line under the buttons for the operator.
    void set_note(const QString& text);

private:
    void ask_and_save();

    PanelForm& form_;
    MapCanvas* canvas_;
    QPushButton* draw_;
    QLabel* note_;
    QString last_path_;
    TileSettings tile_settings_;
    std::function<std::string(const TileSettings&)> keep_tiles_;
    TileDialog* tile_dialog_ = nullptr;
};

}  // namespace vadrel::gui
