#include "app/core/folder_asker.h"

namespace tarvenix {

void FolderAsker::post(std::function<void()> call) {
    if (!line_) {
        line_ = std::make_shared<Line>();
        thread_ = std::thread([line = line_] {
            std::unique_lock lock(line->m);
            for (;;) {
                line->work.wait(lock, [&] { return line->leave || !line->calls.empty(); });
                if (line->calls.empty()) {
                    return;
                }
                std::function<void()> next = std::move(line->calls.front());
                line->calls.pop_front();
                line->busy = true;
                lock.unlock();
                next();
                next = nullptr;  // what the call owned goes with it, on this thread
                lock.lock();
                line->busy = false;
            }
        });
    }
    {
        const std::lock_guard lock(line_->m);
        line_->calls.push_back(std::move(call));
    }
    line_->work.notify_one();
}

void FolderAsker::leave() {
    if (!line_) {
        return;
    }
    bool idle = false;
    {
        const std::lock_guard lock(line_->m);
        line_->leave = true;
        idle = !line_->busy && line_->calls.empty();
    }
    line_->work.notify_one();
    if (idle) {
        thread_.join();
    } else {
        thread_.detach();
    }
    line_.reset();
}

}  // namespace tarvenix
