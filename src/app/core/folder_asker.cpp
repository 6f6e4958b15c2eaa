#include "app/core/folder_asker.h"

namespace tarvenix {

std::shared_ptr<FolderAsker::Line> FolderAsker::started() {
    if (!line_) {
        line_ = std::make_shared<Line>();
        thread_ = std::thread([line = line_] {
            std::unique_lock lock(line->m);
            for (;;) {
                line->work.wait(lock, [&] { return line->leave || line->call; });
                if (!line->call) {
                    return;
                }
                std::function<void()> next = std::exchange(line->call, nullptr);
                line->busy = true;
                lock.unlock();
                next();
                next = nullptr;  // what the call owned goes with it, on this thread
                lock.lock();
                line->busy = false;
                line->answered.notify_one();
            }
        });
    }
    return line_;
}

void FolderAsker::leave() {
    if (!line_) {
        return;
    }
    bool idle = false;
    {
        const std::lock_guard lock(line_->m);
        line_->leave = true;
        idle = line_->idle();
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
