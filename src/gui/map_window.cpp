#include "map_window.h"

#include <cerrno>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "gui/keys.h"
#include "gui/tile_dialog.h"
#include "os/qt_file_error.h"

namespace vadrel::gui {

MapWindow::MapWindow(PanelForm& form, QWidget* parent) : QWidget(parent, Qt::Window), form_(form) {
    setObjectName(QStringLiteral("finestra_mappa"));
    setWindowTitle(QStringLiteral("%1 - Mappa").arg(QString::fromUtf8(program_title)));
    // The map closes with the program, not the other way round.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto* fit_button = new QPushButton(QStringLiteral("&Adatta"), this);
    fit_button->setObjectName(QStringLiteral("adatta"));
    fit_button->setToolTip(QStringLiteral("Mostra tutti i mezzi e li segue"));
    auto* streets_button = new QPushButton(QStringLiteral("S&trade..."), this);
    streets_button->setObjectName(QStringLiteral("strade"));
    streets_button->setToolTip(QStringLiteral("Strade dalla rete sotto la mappa"));
    auto* save_button = new QPushButton(QStringLiteral("&Salva immagine..."), this);
    save_button->setObjectName(QStringLiteral("salva_immagine"));
    draw_ = new QPushButton(QStringLiteral("&Disegna percorso"), this);
    draw_->setObjectName(QStringLiteral("disegna_percorso"));
    draw_->setCheckable(true);
    draw_->setToolTip(QStringLiteral("Ogni clic sulla mappa aggiunge un punto al percorso del mezzo attuale; "
                                     "doppio clic o Invio: fine; Esc: annulla"));
    draw_->setVisible(false);
    note_ = new QLabel(QStringLiteral("Rotella: ingrandisce e riduce; trascinare: sposta"), this);
    note_->setObjectName(QStringLiteral("nota"));
    canvas_ = new MapCanvas(form, this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fit_button);
    buttons->addWidget(streets_button);
    buttons->addWidget(save_button);
    buttons->addWidget(draw_);
    buttons->addWidget(note_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(canvas_, 1);
    resize(640, 520);

    connect(fit_button, &QPushButton::clicked, canvas_, &MapCanvas::fit);
    connect(save_button, &QPushButton::clicked, this, &MapWindow::ask_and_save);
    connect(streets_button, &QPushButton::clicked, this, [this] {
        if (tile_dialog_ == nullptr) {
            tile_dialog_ = new TileDialog(
                [this](const TileSettings& wanted) {
                    tile_settings_ = wanted;
                    canvas_->set_tiles(wanted);
                    return keep_tiles_ ? keep_tiles_(wanted) : std::string();
                },
                this);
        }
        tile_dialog_->open_on(tile_settings_);
    });
    connect(draw_, &QPushButton::toggled, canvas_, [this](bool on) {
        if (on && !canvas_->drawing()) canvas_->start_drawing();
        if (!on && canvas_->drawing()) canvas_->finish_drawing();
    });
    connect(canvas_, &MapCanvas::drawing_changed, this, [this](bool on) {
        draw_->setChecked(on);
        note_->setText(on ? QStringLiteral("Clic: aggiunge un punto; doppio clic o Invio: fine; Esc: annulla")
                          : QStringLiteral("Rotella: ingrandisce e riduce; trascinare: sposta"));
    });
    close_on_escape(*this);

    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    last_path_ = QDir(QDir(pictures).exists() ? pictures : QDir::homePath()).filePath(QStringLiteral("mappa.png"));
}

void MapWindow::set_tiles(const TileSettings& settings, std::function<std::string(const TileSettings&)> keep) {
    tile_settings_ = settings;
    keep_tiles_ = std::move(keep);
    canvas_->set_tiles(settings);
}

void MapWindow::set_routes(const VehicleRoutes* routes) {
    canvas_->set_routes(routes);
    draw_->setVisible(routes != nullptr);
}

void MapWindow::set_note(const QString& text) { note_->setText(text); }

void MapWindow::refresh() {
    if (isVisible()) canvas_->refresh();
}

QString MapWindow::save_image(const QString& path) const {
    // Written beside and renamed over: a failed save leaves what was there.
    QSaveFile file(path);
    const auto reason = [&file](const char* what, int system_error) {
        return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(what),
                                             QString::fromStdString(file_reason(file.error(), system_error)));
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) return reason("il file non si può creare lì", errno);
    QImageWriter writer(&file, "png");
    errno = 0;
    if (!writer.write(canvas_->grab().toImage())) {
        const int error = errno;
        file.cancelWriting();
        return reason("la scrittura non è riuscita", error);
    }
    errno = 0;
    if (!file.commit()) return reason("la scrittura non è riuscita", errno);
    return {};
}

void MapWindow::ask_and_save() {
    QFileDialog dialog(this, QStringLiteral("Salva immagine della mappa"), last_path_,
                       QStringLiteral("Immagini PNG (*.png)"));
    dialog.setObjectName(QStringLiteral("salva_mappa"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("png"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    const QString path = dialog.selectedFiles().constFirst();
    const QString why = save_image(path);
    if (why.isEmpty()) {
        last_path_ = path;
        note_->setText(QStringLiteral("Immagine salvata: %1").arg(QDir::toNativeSeparators(path)));
    } else {
        form_.platform.shell.message_box(
            QStringLiteral("Impossibile salvare l'immagine %1: %2").arg(path, why).toStdString(), program_title);
    }
}

}  // namespace vadrel::gui
