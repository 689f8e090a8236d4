#pragma once
// The Qt face of PanelForm. Every visible control of the panel model becomes a real
// widget at its place; clicks and keys go into the model with the toolkit's
// semantics, and after each of them the model is copied back into the
// widgets with their signals blocked. No rule of the panel lives here.

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "ais/identity.h"
#include "panel/panel_form.h"
#include "routes/vehicle_routes.h"
#include "config/tile_settings.h"
#include "gui/device_dots.h"

class QLabel;
class QLineEdit;
class QTranslator;
class QMenu;

namespace vadrel::gui {

class Monitor;
class TextBoxBinding;
class MapWindow;
class SkyView;
class FleetWindow;

// Pixels at 96 dpi from twips (15 twips to the pixel), rounded.
constexpr int pixels(int twips) { return (twips + 7) / 15; }
inline QRect pixel_rect(const Geometry& g) {
    return QRect(pixels(g.left), pixels(g.top), pixels(g.width), pixels(g.height));
}

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(PanelForm& form, QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Copies what the model can change into the widgets (after a tick, for example).
    void render();

    // The widget of a control of the model, or nullptr (hidden controls).
    QWidget* control_widget(const std::string& name) const;
    // Puts a label of the program's in the free room under "Stato
    // trasmissione", right of "Numero di mezzi mobili", in the panel's font.
    void place_beside_status(QLabel& label);

    // Runs when the window is asked to close, before it closes; the window
    // closes whatever it does.
    void set_on_close(std::function<void()> on_close) { on_close_ = std::move(on_close); }
    // What the map tells of a vehicle besides its motion (MapCanvas::identity).
    void set_vehicle_identity(std::function<QString(std::size_t)> identity) { identity_ = std::move(identity); }
    // The devices of the fleet for tracking servers the map draws (MapCanvas::tracked_devices).
    void set_tracked_devices(std::function<std::vector<DeviceDot>()> devices) { devices_ = std::move(devices); }

    // "Vai a posizione...": opens the dialog for the current vehicle and
    // returns; its OK moves the vehicle, its "Raggiungi" (with routes) drives
    // it there.
    void open_go_to();
    // The vehicles' routes: "Veicolo" > "Percorso..." and "Togli percorso",
    // and "Raggiungi" in "Vai a posizione", from now on.
    void set_routes(VehicleRoutes* routes);
    // "Percorso...": opens the dialog for the current vehicle and returns.
    void open_route();
    // "Raggiungi": vehicle n drives to the place (degrees) from where it is,
    // at its speed; a refusal in a message box.
    void reach(std::size_t n, double lat, double lon);
    // The AIS identity the map draws and tells for a vehicle (none while AIS is off).
    using AisOf = std::function<std::optional<AisIdentity>(std::size_t)>;
    void set_ais(AisOf ais);
    // "Mappa": shows the map window, made at its first opening.
    void open_map();
    // "Veicolo > Cielo": the sky of the current vehicle (SkyView).
    void open_sky();
    // The map's street tiles as kept, and who keeps a change of them; the
    // map takes them when it opens.
    void set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep);
    // The map window once opened, else nullptr.
    MapWindow* map_window() const { return map_; }
    SkyView* sky_view() const { return sky_; }
    // "Flotta": the table of every vehicle, made at its first opening.
    void open_fleet();
    // The fleet window once opened, else nullptr.
    FleetWindow* fleet_window() const { return fleet_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    QWidget* make_widget(Control& control, QWidget* container);
    // Runs one event in the model, then renders. A failure the model leaves
    // unhandled is shown in a message box instead of ending the program.
    void forward(const std::function<void()>& event);

    PanelForm& form_;
    std::map<std::string, QWidget*> widgets_;
    TextBoxBinding* text_boxes_ = nullptr;
    void build_menus();

    Monitor* monitor_ = nullptr;
    MapWindow* map_ = nullptr;
    TileSettings tile_settings_;
    std::function<std::string(const TileSettings&)> keep_tiles_;
    SkyView* sky_ = nullptr;
    FleetWindow* fleet_ = nullptr;
    VehicleRoutes* routes_ = nullptr;
    std::size_t routes_watch_ = 0;
    std::size_t keeping_watch_ = 0;
    // Says that a route is followed but not kept (not_kept_text).
    void tell_not_kept(std::size_t n, const std::string& why);
    QPointer<QMessageBox> not_kept_box_;
    AisOf ais_;
    // After a route given from the map: a word on the map when the vehicle stands still.
    void tell_if_standing(std::size_t n);
    QMenu* vehicle_menu_ = nullptr;
    QObject* help_key_ = nullptr;
    QTranslator* italian_ = nullptr;
    QTranslator* qt_italian_ = nullptr;
    std::function<void()> on_close_;
    std::function<QString(std::size_t)> identity_;
    std::function<std::vector<DeviceDot>()> devices_;
};

}  // namespace vadrel::gui
