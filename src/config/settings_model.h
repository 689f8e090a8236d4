#pragma once
// One group of vadrel.ini as a model: the values in force, those the file
// keeps, and the one path every change takes, whoever asks (a dialog, the
// control interface, a signal). Each group is this class over its own value
// and rules, the same way:
//
//   ReceiverSettingsModel receiver(receiver_rules(file));
//   receiver.load(from_file, over_it_for_this_run, me);   // nothing written
//   Result<> done = receiver.change(wanted, me);          // checked, applied, kept
//
// A change is checked once (a refusal changes nothing), put to work in the
// system by the program's `apply`, put in force and told to the watchers
// with its origin, then kept by the group's one writer (unless `apply`
// failed: then it is in force for this run, out of the file). What the command line chose for this run and the
// change leaves alone stays out of the file: the group's `keep` rule says
// what of a change the file takes.

#include <cstddef>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "os/result.h"

namespace vadrel {

template <typename Value>
class SettingsModel {
public:
    using Origin = const void*;
    using Watcher = std::function<void(Origin origin)>;
    using WatchId = std::size_t;

    struct Rules {
        // A value given that cannot be used, naming its field.
        std::function<std::optional<Refusal>(const Value&)> check = [](const Value&) { return std::nullopt; };
        // What the file keeps (`kept`) of a change from `before` to `after`;
        // by default all of `after`.
        std::function<void(const Value& before, const Value& after, Value& kept)> keep =
            [](const Value&, const Value& after, Value& kept) { kept = after; };
        // The group's writer: the kept value to the file.
        std::function<Result<>(const Value&)> save;
    };

    explicit SettingsModel(Rules rules) : rules_(std::move(rules)) {}
    SettingsModel(const SettingsModel&) = delete;
    SettingsModel& operator=(const SettingsModel&) = delete;

    // The values in force.
    const Value& value() const { return in_force_; }
    // The values as the file has them, or will once saved.
    const Value& kept() const { return kept_; }

    // Start-up: the file's values, and this run's (the command line's over
    // them) in force; nothing written, nothing applied.
    void load(Value in_file, Value for_run) {
        kept_ = std::move(in_file);
        in_force_ = std::move(for_run);
    }
    // In force for this run only, the file left as it is; told to the watchers.
    void set_for_run(Value value, Origin origin) {
        in_force_ = std::move(value);
        tell(origin);
    }
    // Puts a value given to work in the system (a server listening, a port
    // opened again); a failure keeps it out of the file.
    using Apply = std::function<Result<>(const Value& wanted, Origin origin)>;
    void set_apply(Apply apply) { apply_ = std::move(apply); }

    // The one change path: checked, put to work (the program's `apply`
    // still sees the values in force before it), in force, told, kept.
    Result<> change(const Value& wanted, Origin origin) {
        if (auto refused = rules_.check(wanted)) return *refused;
        Result<> applied = apply_ ? apply_(wanted, origin) : Result<>();
        const Value before = std::exchange(in_force_, wanted);
        rules_.keep(before, wanted, kept_);
        tell(origin);
        if (!applied) return applied;
        if (!rules_.save) return {};
        return rules_.save(kept_);
    }

    // Called after every change, in the order the watchers were added.
    WatchId watch(Watcher watcher) {
        watchers_.emplace_back(next_watch_, std::move(watcher));
        return next_watch_++;
    }
    void unwatch(WatchId id) {
        std::erase_if(watchers_, [id](const auto& entry) { return entry.first == id; });
    }

private:
    void tell(Origin origin) {
        // A watcher may add or remove another: called on a copy.
        const auto watchers = watchers_;
        for (const auto& [id, watcher] : watchers) watcher(origin);
    }

    Rules rules_;
    Value in_force_{};
    Value kept_{};
    Apply apply_;
    std::vector<std::pair<WatchId, Watcher>> watchers_;
    WatchId next_watch_ = 1;
};

// The rules of a group the file keeps whole, as given: no check of its own,
// written by `save` into `file` (which must outlive the model).
template <typename Value, typename File>
typename SettingsModel<Value>::Rules kept_whole(File& file, Result<> (*save)(File&, const Value&)) {
    typename SettingsModel<Value>::Rules rules;
    rules.save = [&file, save](const Value& value) { return save(file, value); };
    return rules;
}

}  // namespace vadrel
