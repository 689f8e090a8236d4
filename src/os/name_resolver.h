#pragma once
// Host names looked up without ever holding the program: each name is
// looked up (getaddrinfo) in a thread of its own, detached, which writes
// its answer into a state it shares with the caller and nothing else. The
// caller looks at the answer when it wants it (the UDP targets at each
// tick), in its own thread. A lookup nobody waits for any more (its target
// replaced, the program ending) finishes alone and frees its state; a
// lookup that never ends (a name server that never answers) holds neither a
// tick nor the shut-down.
//
//   NameResolver resolver;
//   std::shared_ptr<const NameResolver::Lookup> lookup = resolver.look_up("plotter.local");
//   ...                                     // nullptr: too many under way, ask again later
//   if (const auto answer = lookup->answer())
//       answer->addresses                  // {"192.168.1.20", "fe80::1%eth0"}: numeric, in the resolver's order
//       answer->problem                    // else why none, in Italian: "nome sconosciuto"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vadrel {

class NameResolver {
public:
    // Threads under way at once for one resolver; a name beyond waits.
    static constexpr int most_under_way = 8;

    struct Answer {
        std::vector<std::string> addresses;
        std::string problem;  // "" when there are addresses
    };

    class Lookup {
    public:
        // The answer once the lookup has ended; nothing while it runs.
        std::optional<Answer> answer() const;

    private:
        friend class NameResolver;
        void finish(Answer answer);

        mutable std::mutex mutex_;
        std::optional<Answer> answer_;
    };

    NameResolver();
    NameResolver(const NameResolver&) = delete;
    NameResolver& operator=(const NameResolver&) = delete;

    // Starts looking `name` up, for its IPv4 and IPv6 addresses. nullptr
    // when most_under_way lookups are running already. A thread that cannot
    // be started gives a lookup ended at once, its problem said.
    std::shared_ptr<const Lookup> look_up(const std::string& name);

    // Lookups whose thread still runs, the abandoned ones too.
    int under_way() const { return running_->load(); }

private:
    // Shared with the threads, which may outlive the resolver.
    std::shared_ptr<std::atomic<int>> running_;
};

// What getaddrinfo's error code means, in Italian ("nome sconosciuto");
// `system_error` is errno, for EAI_SYSTEM.
std::string lookup_problem(int code, int system_error);

}  // namespace vadrel
