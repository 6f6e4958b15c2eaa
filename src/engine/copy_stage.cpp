#include "engine/copy_stage.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "common/platform/clock.h"

namespace tarvenix {
bool copy_up_to_date(const platform::FileStatus& src, const platform::FileStatus& dst,
                     int time_step) {
    const std::int64_t step = time_step > 0 ? time_step : 1;
    const auto in_steps = [step](std::int64_t t) { return t / step - (t % step < 0 ? 1 : 0); };
    return dst.type == src.type && in_steps(src.mtime_sec) <= in_steps(dst.mtime_sec);
}

bool folder_gone(const std::string& path, std::uint64_t device, std::uint64_t inode) {
    const auto now = platform::status(path, true);
    return !now || now->device != device || now->inode != inode;
}

void FlushPace::fill(std::uint64_t device) {
    const std::lock_guard lock(m_);
    device_ = device;
    bound_ = bound_for(device);
}

void FlushPace::flushed(std::uint64_t device, std::uint64_t bytes, double seconds) {
    // What a stop waits for is the data not written yet, which the flush
    // just wrote: its speed is what the next bound is made from. (Where
    // the system wrote part of it before, less was waiting, and that stays
    // so: it writes back what waits longer than half a minute.) It grows at
    // most fourfold a flush, and a flush of little data tells nothing.
    if (bytes < kFirstBytes) {
        return;
    }
    const double seen = static_cast<double>(bytes) / std::max(seconds, 1e-3);
    const std::lock_guard lock(m_);
    if (double* rate = rate_of(device)) {
        *rate = std::min(seen, 4 * *rate);
    } else {
        rates_.emplace_back(device, seen);
    }
    if (device == device_) {
        bound_ = bound_for(device);
    }
}

double* FlushPace::rate_of(std::uint64_t device) {
    const auto known = std::find_if(rates_.begin(), rates_.end(),
                                    [device](const auto& rate) { return rate.first == device; });
    return known == rates_.end() ? nullptr : &known->second;
}

std::uint64_t FlushPace::bound_for(std::uint64_t device) {
    const double* rate = rate_of(device);
    if (rate == nullptr) {
        return kFirstBytes;
    }
    return std::clamp(static_cast<std::uint64_t>(*rate * kSeconds), kFirstBytes, kMostBytes);
}

namespace {

CopyDone copy_job(CopyJob job, CopyShared& shared, const ServedCopy* served) {
    CopyDone done;
    const auto end = [&done, &job](CopyEnd how, int error = 0) {
        done.end = how;
        done.error = error;
        done.job = std::move(job);
        return std::move(done);
    };
    if (shared.stop.load()) {
        return end(CopyEnd::kStopped);
    }
    const platform::Directory& dst_dir = job.dst->folder;
    int err = 0;
    if (job.newer_only && dst_dir.is_open() && !job.dst_fresh) {
        // The entry's own status: a link standing there is never followed,
        // and one standing where a file's copy belongs is replaced by it.
        const auto dst = dst_dir.status_of(job.name, false);
        if (dst && copy_up_to_date(job.src_status, *dst, job.time_step)) {
            return end(CopyEnd::kUpToDate);
        }
        err = dst || dst.error() == ENOENT ? 0 : dst.error();
    }
    if (job.rule_unreadable) {
        return end(CopyEnd::kRuleUnreadable);
    }
    if (err == 0) {
        err = job.open_error;
    }
    bool is_link = job.is_link;
    if (err == 0 && !is_link && !job.source.is_open()) {
        auto opened = platform::OpenFile::open_at(*job.src_dir, job.name, false);
        if (opened) {
            job.source = std::move(*opened);
        } else if (opened.error() == ENOENT) {
            return end(CopyEnd::kGone);  // gone since the listing
        } else if (opened.error() == ELOOP) {
            is_link = true;  // a link now, copied as one
        } else {
            err = opened.error();
        }
    }
    if (err == 0 && !dst_dir.is_open()) {
        err = ENOENT;  // the destination folder could not be made or opened
    }
    if (err == 0 && is_link) {
        // A link's copy is a name and a short text, which the file system's
        // journal carries with the rename: it needs no batch.
        err = platform::copy_link_at(*job.src_dir, job.name, dst_dir, job.name).error();
    } else if (err == 0) {
        platform::CopyOptions copy;
        // Copied anyway, the source is read whether or not another program
        // has it open.
        copy.refuse_locked_source = job.skip_mode;
        copy.target_known_absent = job.dst_fresh;
        copy.lock = &job.dst->lock;
        if (job.staging) {
            copy.stage_in = &job.staging->folder;
            copy.lock = &job.staging->lock;
        }
        // Made in place, the copy is renamed at once, flushed first.
        copy.staged = job.in_place ? nullptr : &done.staged;
        copy.flush_before_rename = job.in_place;
        // Between a large file's chunks the copy looks for a stop, and
        // flushes once what waits for a flush (every worker's) would take
        // the destination too long to write.
        std::uint64_t counted = 0;
        copy.between_chunks = [&job, &done, &shared, &counted, served] {
            counted += platform::kCopyChunkBytes;
            shared.chunks.fetch_add(1, std::memory_order_relaxed);
            const std::uint64_t waiting =
                shared.unflushed.fetch_add(platform::kCopyChunkBytes) + platform::kCopyChunkBytes;
            if (waiting >= shared.pace.bound()) {
                // Taken before the flush, which writes it: another copy
                // reaching the bound meanwhile counts only what it writes
                // after, and does not flush the same data again.
                const std::uint64_t taken = shared.unflushed.exchange(0);
                const double start = platform::monotonic_seconds();
                // Through a handle of its own: the system tells a file
                // system's write error once to each open handle, and the
                // batch's commit must still hear it on the destination's
                // own, so the copies the disk refused never replace old ones.
                const auto own = job.dst->folder.open_below("");
                if (own && own->sync_file_system()) {
                    shared.pace.flushed(job.dst->device, taken,
                                        platform::monotonic_seconds() - start);
                }
            }
            if (served != nullptr) {
                served->pump.process_events();
                return served->abort != 1;
            }
            return !shared.stop.load();
        };
        err = platform::copy_open_file(job.source, dst_dir, job.name, copy).error();
        // A copy made in place was flushed before its rename: nothing of it
        // waits for the batch's flush.
        if (err == 0 && !job.in_place && job.src_status.size > counted) {
            shared.unflushed.fetch_add(job.src_status.size - counted);
        }
    }
    if (err == ECANCELED && (shared.stop.load() || (served != nullptr && served->abort == 1))) {
        return end(CopyEnd::kStopped);  // stopped within the copy: the old copy stays
    }
    if (err != 0 && !job.set_folder.empty()) {
        done.destination_gone = folder_gone(job.set_folder, job.set_device, job.set_inode);
    }
    return end(err == 0 ? CopyEnd::kCopied : CopyEnd::kFailed, err);
}

}  // namespace

CopyDone run_copy_job(CopyJob job, CopyShared& shared, const ServedCopy* served) {
    try {
        return copy_job(std::move(job), shared, served);
    } catch (const std::bad_alloc&) {
        CopyDone done;
        done.end = CopyEnd::kFailed;
        done.error = ENOMEM;
        return done;
    }
}

struct CopyStage::Slot {
    std::optional<CopyJob> job;
    std::function<void()> task;
    std::optional<CopyDone> done;
    bool finished = false;
    const CopyDestination* folder = nullptr;  // where the job copies to
    bool in_place = false;                    // CopyJob::in_place
};

struct CopyStage::Shared {
    CopyShared copies;
    std::mutex m;
    std::condition_variable work;
    std::array<std::condition_variable, kLanes> aside_work;  // by lane
    std::condition_variable ended;
    std::deque<std::shared_ptr<Slot>> waiting;                    // not started yet
    std::array<std::deque<std::shared_ptr<Slot>>, kLanes> aside;  // tasks not started yet, by lane
    bool quit = false;
    bool abandoned = false;
    // Wake-ups cost more than a small file's copy: a worker is woken only
    // when one waits for work, the walk only by the end it waits for.
    std::size_t idle = 0;
    bool awaited = false;
    const Slot* awaited_slot = nullptr;  // null: any end
    std::uint64_t ends = 0;              // jobs and tasks ended so far
    // Released with the last worker, once the stage was abandoned.
    std::vector<std::shared_ptr<void>> leftovers;
    // Jobs made in place being copied, by folder (kInPlacePerFolder each).
    std::vector<std::pair<const CopyDestination*, std::size_t>> in_place_busy;

    std::size_t* busy_in(const CopyDestination* folder) {
        const auto it = std::find_if(in_place_busy.begin(), in_place_busy.end(),
                                     [folder](const auto& busy) { return busy.first == folder; });
        return it == in_place_busy.end() ? nullptr : &it->second;
    }
    // The oldest waiting job a worker may take: one made in place only
    // while its folder has fewer than kInPlacePerFolder copies going. m
    // held.
    std::deque<std::shared_ptr<Slot>>::iterator next_job() {
        return std::find_if(waiting.begin(), waiting.end(), [this](const auto& slot) {
            const std::size_t* busy = slot->in_place ? busy_in(slot->folder) : nullptr;
            return busy == nullptr || *busy < kInPlacePerFolder;
        });
    }
    void count_in_place(const Slot& slot, bool started) {
        if (!slot.in_place) {
            return;
        }
        std::size_t* busy = busy_in(slot.folder);
        if (started) {
            if (busy == nullptr) {
                in_place_busy.emplace_back(slot.folder, 1);
            } else {
                ++*busy;
            }
        } else if (--*busy == 0) {
            std::erase_if(in_place_busy, [&slot](const auto& b) { return b.first == slot.folder; });
        }
    }

    // The copy workers take jobs from `waiting`; the thread of a lane takes
    // the tasks run aside there.
    static void work_on(const std::shared_ptr<Shared>& self, std::optional<Lane> lane) {
        const bool runs_tasks = lane.has_value();
        auto& queue = runs_tasks ? self->aside.at(static_cast<std::size_t>(*lane)) : self->waiting;
        auto& wake = runs_tasks ? self->aside_work.at(static_cast<std::size_t>(*lane)) : self->work;
        std::unique_lock lock(self->m);
        const auto next = [&] { return runs_tasks ? queue.begin() : self->next_job(); };
        for (;;) {
            self->idle += runs_tasks ? 0 : 1;
            wake.wait(lock, [&] { return self->quit || next() != queue.end(); });
            self->idle -= runs_tasks ? 0 : 1;
            const auto taken = next();
            if (taken == queue.end()) {
                return;
            }
            std::shared_ptr<Slot> slot = std::move(*taken);
            queue.erase(taken);
            self->count_in_place(*slot, true);
            lock.unlock();
            std::optional<CopyDone> done;
            if (slot->task) {
                slot->task();
            } else {
                done = run_copy_job(std::move(*slot->job), self->copies);
            }
            lock.lock();
            self->count_in_place(*slot, false);
            if (slot->in_place && self->idle > 0 && !self->waiting.empty()) {
                wake.notify_all();  // a job of this folder may go now
            }
            if (self->abandoned) {
                // Nobody takes it any more: what it staged is removed here.
                lock.unlock();
                done.reset();
                slot.reset();
                lock.lock();
                continue;
            }
            slot->done = std::move(done);
            slot->finished = true;
            ++self->ends;
            if (self->awaited &&
                (self->awaited_slot == nullptr || self->awaited_slot == slot.get())) {
                self->ended.notify_all();
            }
        }
    }
};

CopyStage::CopyStage(const std::int16_t& abort)
    : abort_(abort)
    , shared_(std::make_shared<Shared>()) {}

CopyStage::~CopyStage() {
    {
        const std::lock_guard lock(shared_->m);
        shared_->quit = true;
        shared_->copies.stop = true;
    }
    shared_->work.notify_all();
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
        shared_->aside_work.at(lane).notify_all();
        if (aside_workers_.at(lane).joinable()) {
            workers_.push_back(std::move(aside_workers_.at(lane)));
        }
    }
    for (auto& worker : workers_) {
        if (abandoned_) {
            worker.detach();
        } else {
            worker.join();
        }
    }
}

CopyShared& CopyStage::shared() {
    return shared_->copies;
}

void CopyStage::set_width(std::size_t workers, std::size_t window) {
    // 0: no job in flight but the oldest, on one worker.
    window_limit_ = std::max<std::size_t>(window, 1);
    workers_wanted_ = std::clamp<std::size_t>(workers, 1, window_limit_);
    while (workers_.size() < workers_wanted_) {
        workers_.emplace_back(&Shared::work_on, shared_, std::nullopt);
    }
}

std::size_t CopyStage::room_step() const {
    return (window_limit_ - workers_wanted_) / 2 + 1;
}

bool CopyStage::wait_for_room(EventPumpPort& pump) {
    const std::size_t step = std::min(room_step(), window_.size());
    if (step == 0) {
        return true;
    }
    const std::shared_ptr<Slot> last = window_[step - 1];
    return wait_for(pump, *last);
}

std::size_t CopyStage::folders_with(const CopyDestination* folder) const {
    return folder_runs_ + (window_.empty() || window_.back()->folder != folder ? 1 : 0);
}

void CopyStage::push(std::shared_ptr<Slot> slot) {
    folder_runs_ = folders_with(slot->folder);
    window_.push_back(std::move(slot));
}

void CopyStage::submit(CopyJob job) {
    auto slot = std::make_shared<Slot>();
    slot->folder = job.dst.get();
    slot->in_place = job.in_place;
    slot->job.emplace(std::move(job));
    push(slot);
    bool wake = false;
    {
        const std::lock_guard lock(shared_->m);
        shared_->waiting.push_back(std::move(slot));
        wake = shared_->idle > 0 && shared_->waiting.size() >= std::min(room_step(), kWakeAfter);
    }
    if (wake) {
        shared_->work.notify_one();
    }
}

void CopyStage::submit_done(CopyDone done) {
    auto slot = std::make_shared<Slot>();
    slot->folder = done.job.dst.get();
    slot->done.emplace(std::move(done));
    slot->finished = true;
    push(std::move(slot));
}

bool CopyStage::wait_until(EventPumpPort& pump, const std::function<bool()>& ready,
                           const Slot* awaited) {
    constexpr auto kServeEvery = std::chrono::milliseconds(20);
    double stopped_at = -1;
    std::unique_lock lock(shared_->m);
    // Most waits end at once (the job already ended): they read no clock.
    const auto alive = [this] { return shared_->ends + shared_->copies.chunks.load(); };
    std::uint64_t last_sign = 0;
    double quiet_since = -1;
    while (!ready()) {
        if (abort_ == 1) {
            shared_->copies.stop = true;
        }
        if (silence_seconds_ > 0 && !shared_->copies.stop.load()) {  // a stop has its own bound
            const double now = platform::monotonic_seconds();
            const std::uint64_t sign = alive();
            if (quiet_since < 0 || sign != last_sign) {
                last_sign = sign;
                quiet_since = now;
            } else if (now - quiet_since > silence_seconds_) {
                fell_silent_ = true;
                return false;
            }
        }
        if (shared_->copies.stop.load()) {
            const double now = platform::monotonic_seconds();
            if (stopped_at < 0) {
                stopped_at = now;
            } else if (now - stopped_at > kAbandonSeconds) {
                return false;
            }
        }
        if (shared_->idle > 0 && !shared_->waiting.empty()) {
            shared_->work.notify_all();  // jobs left waiting for a worker (submit)
        }
        shared_->awaited = true;
        shared_->awaited_slot = awaited;
        const bool ended = shared_->ended.wait_for(lock, kServeEvery, ready);
        shared_->awaited = false;
        if (!ended) {
            lock.unlock();
            pump.process_events();
            lock.lock();
        }
    }
    return true;
}

bool CopyStage::wait_for(EventPumpPort& pump, const Slot& slot) {
    return wait_until(
        pump, [&slot] { return slot.finished; }, &slot);
}

std::optional<CopyDone> CopyStage::take_oldest(EventPumpPort& pump) {
    const std::shared_ptr<Slot> head = window_.front();
    if (!wait_for(pump, *head)) {
        return std::nullopt;
    }
    window_.pop_front();
    if (window_.empty() || window_.front()->folder != head->folder) {
        --folder_runs_;
    }
    return std::move(head->done);
}

bool CopyStage::stop_in_flight(EventPumpPort& pump) {
    {
        const std::lock_guard lock(shared_->m);
        shared_->copies.stop = true;
        for (const auto& slot : shared_->waiting) {
            slot->done.emplace();
            slot->done->job = std::move(*slot->job);
            slot->done->end = CopyEnd::kStopped;
            slot->finished = true;
        }
        shared_->waiting.clear();
    }
    const bool settled = wait_until(pump, [this] {
        return std::all_of(window_.begin(), window_.end(),
                           [](const std::shared_ptr<Slot>& slot) { return slot->finished; });
    });
    if (!settled) {
        return false;
    }
    // What they staged is removed on a worker: the destination may have
    // stopped answering since the copies ended, and this thread must not
    // wait for it.
    auto dropped = std::make_shared<std::deque<std::shared_ptr<Slot>>>(std::move(window_));
    window_.clear();
    folder_runs_ = 0;
    return run_aside(pump, [dropped] { dropped->clear(); });
}

CopyStage::Aside CopyStage::start_aside(std::function<void()> task, Lane lane) {
    const auto at = static_cast<std::size_t>(lane);
    if (!aside_workers_.at(at).joinable()) {
        aside_workers_.at(at) = std::thread(&Shared::work_on, shared_, lane);
    }
    auto slot = std::make_shared<Slot>();
    slot->task = std::move(task);
    {
        const std::lock_guard lock(shared_->m);
        shared_->aside.at(at).push_back(slot);
    }
    shared_->aside_work.at(at).notify_one();
    return slot;
}

bool CopyStage::finish_aside(EventPumpPort& pump, const Aside& task) {
    return wait_for(pump, *task);
}

bool CopyStage::run_aside(EventPumpPort& pump, std::function<void()> task, Lane lane) {
    return finish_aside(pump, start_aside(std::move(task), lane));
}

void CopyStage::abandon(std::shared_ptr<void> leftovers) {
    abandoned_ = true;
    auto held = std::make_shared<std::deque<std::shared_ptr<Slot>>>(std::move(window_));
    window_.clear();
    folder_runs_ = 0;
    const std::lock_guard lock(shared_->m);
    shared_->abandoned = true;
    shared_->copies.stop = true;
    shared_->waiting.clear();
    // Tasks not started yet may own what a file system that hangs would
    // hold this thread in, were they released here.
    for (auto& tasks : shared_->aside) {
        shared_->leftovers.push_back(
            std::make_shared<std::deque<std::shared_ptr<Slot>>>(std::move(tasks)));
        tasks.clear();
    }
    shared_->leftovers.push_back(std::move(held));
    shared_->leftovers.push_back(std::move(leftovers));
}

}  // namespace tarvenix
