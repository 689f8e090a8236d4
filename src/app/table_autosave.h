#pragma once
// The vehicle table kept in vadrel.cnf while the program runs: a changed
// table written on a thread of its own (its writing and syncs wait for the
// disk, which may take longer than a second), what it has to say told back
// on the event loop, and the last save at the end.
//
//   TableAutosave autosave(table, file, reserve, tell, &context);
//   autosave.start();   // every few seconds
//   autosave.stop();    // the end: waits, then saves once more

#include <QObject>
#include <optional>
#include <thread>

#include "config/table_file.h"
#include "config/vehicle_table.h"
#include "os/descriptor_reserve.h"

namespace vadrel {

class TableAutosave {
public:
    // All must outlive it; what a save has to say is told on `context`'s thread.
    TableAutosave(const VehicleTable& table, TableFile& file, DescriptorReserve& reserve, Tell tell,
                  QObject& context)
        : table_(table), file_(file), reserve_(reserve), tell_(std::move(tell)), context_(context) {}
    TableAutosave(const TableAutosave&) = delete;
    TableAutosave& operator=(const TableAutosave&) = delete;

    // Saves the table when it changed; one still writing: the next round
    // sees what changed since.
    void start();
    // The end: the autosave waited for, then the last save. False when
    // vadrel.cnf does not hold the table.
    bool stop();

private:
    // Back on the event loop: what the autosave has to say, then its thread
    // joined (a message shown meanwhile starts no other).
    void finish(const TableFile::Outcome& outcome);

    const VehicleTable& table_;
    TableFile& file_;
    DescriptorReserve& reserve_;
    Tell tell_;
    QObject& context_;
    bool stopped_ = false;
    // The autosave's descriptor of the reserve, lent here, and its thread:
    // nothing else touches the file while it runs. Last, so joined first.
    std::optional<DescriptorReserve::Lent> lent_;
    std::jthread thread_;
};

}  // namespace vadrel
