#include "program.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <exception>

#include "core/tick.h"
#include "panel/lifecycle.h"
#include "panel/wiring.h"
#include "platform/virtual_port.h"

namespace vadrel {

namespace {

std::string executable_folder() { return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(); }

}  // namespace

Program::Program(const Options& options, Shell& shell)
    : folder_(std::make_unique<ProgramFolder>(options.cartella ? *options.cartella : executable_folder())),
      table_(std::make_unique<TableFile>(*folder_)) {
    for (const auto& [numero, mapping] : options.com) {
        if (mapping.virtuale) {
            const VirtualSerialPort& porta = port_.use_virtual(numero, mapping.device);
            virtual_ports_.push_back("COM " + std::to_string(numero) + ": " + porta.slave_path());
        } else {
            port_.use_device(numero, mapping.device);
        }
    }
    form_ = std::make_unique<Form1>(Platform{port_, output_, clock_, shell, RegionalFormat::italian()});
    apply_start_options(*form_, options);
    collega_eventi(*form_);
    connect(&timer_, &SecondTimer::tick, this, &Program::tick);
}

Program::~Program() = default;

void Program::start() {
    Form_Load(*form_, *table_);
    // The help file is installed beside the executable: a folder of the
    // operator's own choosing (--cartella) without one still gets it. The
    // folder's own is named as Qt can open it, whatever the folder's name.
    const QString own = folder_->qt_path("vadrel.hlp");
    const QString beside = QCoreApplication::applicationDirPath() + "/vadrel.hlp";
    if (QFileInfo::exists(own)) {
        form_->file_help = own.toStdString();
    } else if (QFileInfo::exists(beside)) {
        form_->file_help = beside.toStdString();
    }
    report_port();
    timer_.start();
}

void Program::report_port() {
    const std::string& reason = form_->motivo_no_tx;
    if (reason == reported_reason_) return;
    reported_reason_ = reason;
    if (!reason.empty()) say("vadrel: porta No tx: " + reason);
}

bool Program::stop() {
    if (!stopped_) {
        stopped_ = true;
        timer_.stop();
        saved_ = Form_QueryUnload(*form_, *table_);
    }
    return saved_;
}

void Program::tick() {
    if (stopped_) return;
    try {
        Timer1_Timer(*form_);
    } catch (const std::exception& e) {
        // Every failure the tick knows of is handled inside it; anything else
        // is reported and the next second tries again, with the table intact.
        say(std::string("vadrel: errore durante il secondo di trasmissione: ") + e.what());
    }
    report_port();
    if (after_tick) after_tick();
    // Right after a tick, the save is as far as it can be from the next one:
    // a slow disk delays no sentence. Counted first, so a save that shows a
    // message while the ticks go on is not started again from inside it.
    if (++ticks_since_autosave_ >= intervallo_salvataggio / std::chrono::seconds(1)) {
        ticks_since_autosave_ = 0;
        salva_se_cambiata(*form_, *table_);
    }
}

}  // namespace vadrel
