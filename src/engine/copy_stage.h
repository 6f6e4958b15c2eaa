#pragma once

// The copy stage of a run: a few worker threads that copy the files the walk
// hands them, while the walk, on the user-interface thread, lists the next
// ones and keeps the program live. A share answers each request after a
// network round trip; with several files in flight the waits overlap.
//
// Each job is a value that owns what its copy needs (the open folders, the
// open source, the names), so a worker never reads the walk's state. Jobs
// end in the order they were handed in, whatever order the workers finish
// in: the history and the batch see the walk's order.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/platform/copy.h"
#include "common/platform/files.h"
#include "common/platform/locks.h"
#include "common/ports.h"

namespace tarvenix {

// A destination folder being filled, with its copy lock; the jobs and the
// batch that stage copies there keep it open until those are renamed.
struct CopyDestination {
    explicit CopyDestination(platform::Directory opened = {}, std::uint64_t on_device = 0)
        : folder(std::move(opened))
        , lock(folder)
        , device(on_device) {}
    platform::Directory folder;
    // Never waits: a folder another program holds locked is copied into
    // all the same, only without removing temporary files found there.
    platform::CopyLock lock;
    std::uint64_t device;  // the file system it is on (0: unknown)
};

// One file (or link) to copy, as the walk decided it.
struct CopyJob {
    std::shared_ptr<const platform::Directory> src_dir;
    std::shared_ptr<const CopyDestination> dst;
    // Where the temporary file is made when not in `dst`: a staging folder
    // of its file system (on a share), with the staging folder's lock.
    std::shared_ptr<const CopyDestination> staging;
    std::string name;
    std::string src_path;  // for what the user is told
    std::string dst_path;
    platform::FileStatus src_status;
    platform::OpenFile source;  // opened by the walk, where that saved time
    int open_error = 0;         // the walk's open of the source failed
    bool is_link = false;       // a symbolic link, copied as a link
    bool dst_fresh = false;     // its folder was made by this walk: nothing stands there
    // Made and renamed into place by its worker, flushed first, not left
    // for a batch: in a folder of a share this walk made, where no old copy
    // stands to be replaced, so no copy-anyway box can come too late for
    // it, and a share renames inside a folder without the lock of its whole
    // file system that a rename from a staging folder takes.
    bool in_place = false;
    bool newer_only = false;       // copied only when newer than the old copy
    int time_step = 1;             // the destination's time step (newer-only)
    bool skip_mode = false;        // a file another program holds is passed over
    bool rule_unreadable = false;  // the stored open-files rule is no number
    // The set's destination folder by its path, and what it was when the
    // set began: a failed copy asks whether the path still names it.
    std::string set_folder;
    std::uint64_t set_device = 0;
    std::uint64_t set_inode = 0;
};

enum class CopyEnd {
    kUpToDate,        // newer-only, and the old copy is as new
    kGone,            // the source vanished since the listing
    kCopied,          // staged (waiting for its batch) or, a link, in place
    kFailed,          // `error` says why
    kStopped,         // the run is stopping: nothing changed
    kRefused,         // another source name of the run has its destination entry
    kRuleUnreadable,  // a copy was due, but the open-files rule is unreadable
};

struct CopyDone {
    CopyJob job;
    CopyEnd end = CopyEnd::kCopied;
    int error = 0;
    // The copy failed because the set's destination folder is gone (deleted,
    // deleted and made again, its share's server lost), asked by the worker,
    // which may wait for a share where the walk must not.
    bool destination_gone = false;
    platform::StagedCopy staged;  // a file's copy in its temporary file
};

// How much of the copies into a destination may wait for a flush: what it
// writes in kSeconds at the speed its flushes showed. A stop waits for what
// waits, so it ends in about that long, on a slow USB stick too, and a fast
// disk is not flushed for every few megabytes. The walk's commits and the
// workers' flushes between a large file's chunks both measure the speed, and
// every copy goes by the latest at once: a worker that waited for the walk to
// learn it would flush by the first guess for files on end.
class FlushPace {
public:
    static constexpr double kSeconds = 4.0;
    // What waits for a destination's first flush, before it showed its speed.
    static constexpr std::uint64_t kFirstBytes = 8ULL * 1024 * 1024;
    static constexpr std::uint64_t kMostBytes = 1024ULL * 1024 * 1024;

    // The destination the copies go to from now on, whose bound bound() is.
    void fill(std::uint64_t device);
    // A flush of `device` wrote `bytes` (what waited when it began) in
    // `seconds`.
    void flushed(std::uint64_t device, std::uint64_t bytes, double seconds);
    // Unflushed bytes past which a copy into that destination flushes.
    std::uint64_t bound() const { return bound_.load(); }

private:
    // The speed `device`'s flushes showed (bytes a second); null before any
    // did. m_ held.
    double* rate_of(std::uint64_t device);
    std::uint64_t bound_for(std::uint64_t device);  // m_ held

    std::mutex m_;
    std::vector<std::pair<std::uint64_t, double>> rates_;  // bytes a second, by device
    std::uint64_t device_ = 0;
    std::atomic<std::uint64_t> bound_{kFirstBytes};
};

// What the copies of a run share with the walk: the stop, the bytes written
// and not flushed yet (every worker's, which a flush writes too), and the
// bound on them.
struct CopyShared {
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> unflushed{0};
    // Chunks written so far: a large file's copy shows it is alive.
    std::atomic<std::uint64_t> chunks{0};
    FlushPace pace;
};

// Whether the old copy is as new as the source, in the steps the destination
// keeps times in (2 s on FAT, which rounds the copy's time), to the second
// where it keeps them finer.
bool copy_up_to_date(const platform::FileStatus& src, const platform::FileStatus& dst,
                     int time_step);

// Whether `path` no longer names the folder it named as `device` and
// `inode`: a file in use fails its own copy; a folder that no longer answers
// by its name, or answers as another folder, fails every copy left.
bool folder_gone(const std::string& path, std::uint64_t device, std::uint64_t inode);

// What a copy made on the user-interface thread itself serves between a
// large file's chunks: the events, and the stop they may bring.
struct ServedCopy {
    EventPumpPort& pump;
    const std::int16_t& abort;
};

// Copies one job's file: on a worker, or on the user-interface thread
// (`served`).
CopyDone run_copy_job(CopyJob job, CopyShared& shared, const ServedCopy* served = nullptr);

class CopyStage {
public:
    // abort: the run's stop request, read on the caller's thread while it
    // waits, so a stop reaches the copies in flight.
    explicit CopyStage(const std::int16_t& abort);
    // Ends the workers, waiting for them unless the stage was abandoned.
    ~CopyStage();
    CopyStage(const CopyStage&) = delete;
    CopyStage& operator=(const CopyStage&) = delete;

    CopyShared& shared();
    // How many workers copy at once (started up to it), and how many jobs
    // may be handed out and not yet taken back: more than the workers where
    // a hand-over costs about as much as a copy, so a worker finds the next
    // job waiting instead of waiting for the walk.
    void set_width(std::size_t workers, std::size_t window);
    std::size_t in_flight() const { return window_.size(); }
    // How many destination folders the jobs in flight go to, with a job for
    // `folder` handed in next: each holds its folders open.
    std::size_t folders_with(const CopyDestination* folder) const;
    bool full() const { return window_.size() >= window_limit_; }
    // How many of the oldest jobs the walk takes back once the window is
    // full: one where every job has its worker; half the waiting ones where
    // jobs wait for a worker, so the walk wakes once for several ends.
    std::size_t room_step() const;
    // Waits until the oldest room_step() jobs ended (serving `pump`); false
    // as take_oldest's nothing.
    bool wait_for_room(EventPumpPort& pump);

    void submit(CopyJob job);
    // A job the walk ended itself (a name refused), kept in its order.
    void submit_done(CopyDone done);
    // A task run on one of the stage's own threads for such tasks, beside
    // the copies in flight (so it never waits for a copy to end); it owns
    // what it works on. Started, it runs while the caller goes on. Tasks of
    // a lane run one after the other; the lanes run side by side, so the
    // walk's calls on a source share never wait behind a batch being
    // committed or a destination folder being read ahead.
    enum class Lane : std::uint8_t { kDestination, kSource };
    static constexpr std::size_t kLanes = 2;
    struct Slot;
    using Aside = std::shared_ptr<Slot>;
    Aside start_aside(std::function<void()> task, Lane lane = Lane::kDestination);
    // Waits for a task started aside (serving `pump`); false when the stage
    // was stopped and it did not end within kAbandonSeconds. The task is
    // then left to its thread: the caller hands what it holds of it to
    // abandon().
    bool finish_aside(EventPumpPort& pump, const Aside& task);
    // Both: the task started and waited for.
    bool run_aside(EventPumpPort& pump, std::function<void()> task, Lane lane = Lane::kDestination);
    // The oldest job's end, once it is there; serves `pump` while it waits.
    // Nothing when the stage was stopped and the job did not end within
    // kAbandonSeconds (a share that no longer answers): the caller then
    // abandons the stage.
    std::optional<CopyDone> take_oldest(EventPumpPort& pump);
    // Stops the jobs in flight and waits for them (serving `pump`); what
    // they staged is removed, on a worker. False when some did not end, or
    // the removal did not, within kAbandonSeconds: the caller then abandons
    // the stage.
    bool stop_in_flight(EventPumpPort& pump);
    // Leaves the jobs still running to their workers, which remove what
    // they staged when they end (or the next run does, should the program
    // end first). What the stage holds, and `leftovers`, are released with
    // the last of them, not on this thread, which must not wait for a file
    // system that hangs.
    void abandon(std::shared_ptr<void> leftovers = {});
    bool abandoned() const { return abandoned_; }
    // How long a wait may see no sign of life (no job or task ended, no
    // chunk written) before it gives up as a stop's wait does: a share whose
    // server stopped answering holds its calls for ever, and an unattended
    // run must end all the same. 0: waits as long as it takes.
    void set_silence_bound(double seconds) { silence_seconds_ = seconds; }
    // A wait gave up for that reason.
    bool fell_silent() const { return fell_silent_; }

    // Where jobs wait for workers, an idle worker is woken once this many
    // wait, or once the walk itself waits: a wake-up for every small file
    // would cost the walk more than the copy.
    static constexpr std::size_t kWakeAfter = 4;
    // Jobs made in place (CopyJob::in_place) copied at once in one folder:
    // a share makes and renames one file at a time in a folder, so more
    // would only wait there while other folders' jobs wait for a worker.
    static constexpr std::size_t kInPlacePerFolder = 2;
    // How long a stopped job may take before it counts as hung: longer than
    // a chunk takes on a slow USB stick.
    static constexpr double kAbandonSeconds = 5.0;

private:
    struct Shared;
    // Waits for `ready` (serving `pump` at least every few hundredths of a
    // second), woken by the end of `awaited` (of any job when null); false
    // when the stage was stopped and it took too long, or when nothing
    // showed a sign of life for the silence bound.
    bool wait_until(EventPumpPort& pump, const std::function<bool()>& ready,
                    const Slot* awaited = nullptr);
    // Waits for one job or task to end, woken by that end only.
    bool wait_for(EventPumpPort& pump, const Slot& slot);

    const std::int16_t& abort_;
    std::shared_ptr<Shared> shared_;
    std::deque<std::shared_ptr<Slot>> window_;  // in the order handed in
    void push(std::shared_ptr<Slot> slot);
    // The jobs of one folder follow each other in the window: the folders
    // in flight are its runs of one folder.
    std::size_t folder_runs_ = 0;
    std::vector<std::thread> workers_;
    std::array<std::thread, kLanes> aside_workers_;  // by lane, each started when first needed
    std::size_t workers_wanted_ = 1;
    std::size_t window_limit_ = 1;
    bool abandoned_ = false;
    double silence_seconds_ = 0;
    bool fell_silent_ = false;
};

}  // namespace tarvenix
