#pragma once

// Asks the folders a settings save looks at on a thread of its own while the
// window is served: a folder on a share whose server stopped answering would
// hold the user-interface thread until the server is back.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "common/ports.h"

namespace tarvenix {

class FolderAsker {
public:
    FolderAsker() = default;
    // An idle thread is ended here; one still waiting for a share ends when
    // the share answers.
    ~FolderAsker() { leave(); }
    FolderAsker(const FolderAsker&) = delete;
    FolderAsker& operator=(const FolderAsker&) = delete;

    // `call`'s answer, or nothing when none came within `seconds` on `clock`
    // (serving `pump` meanwhile). The call owns all it works on; one that
    // did not answer keeps its thread, and the next call gets a new one.
    template <class Call>
    auto ask(ClockPort& clock, EventPumpPort& pump, double seconds, Call call)
        -> std::optional<decltype(call())> {
        auto answer = std::make_shared<std::optional<decltype(call())>>();
        const std::shared_ptr<Line> line = started();
        std::unique_lock lock(line->m);
        line->call = [answer, call = std::move(call)]() mutable { answer->emplace(call()); };
        line->work.notify_one();
        const double start = clock.monotonic_seconds();
        // A local disk answers at once, before any event is served.
        while (!line->answered.wait_for(lock, std::chrono::milliseconds(20),
                                        [&] { return line->idle(); })) {
            lock.unlock();
            pump.process_events();
            const bool late = clock.monotonic_seconds() - start > seconds;
            lock.lock();
            if (late && !line->idle()) {
                lock.unlock();
                leave();
                return std::nullopt;
            }
        }
        return std::move(*answer);
    }

private:
    // What the thread and the asker share; the thread holds it too, so it
    // outlives the asker while a call waits for a share.
    struct Line {
        std::mutex m;
        std::condition_variable work;      // a call to make, or the end
        std::condition_variable answered;  // the call was made
        std::function<void()> call;        // handed over, not taken yet
        bool busy = false;                 // the call is being made
        bool leave = false;
        bool idle() const { return !call && !busy; }
    };
    // The line, its thread started when first needed: one thread for all the
    // folders of every save, not one a folder. A thread that ends while this
    // one waits for a condition can leave that wait blocked for ever under
    // wine (docs/TESTING.md), and each costs a start and an end.
    std::shared_ptr<Line> started();
    // Ends the thread: waits for it when idle, so it has ended before the
    // user-interface thread waits for anything else; leaves it to its call
    // when that call waits for a share. The next call starts another.
    void leave();

    std::shared_ptr<Line> line_;
    std::thread thread_;
};

}  // namespace tarvenix
