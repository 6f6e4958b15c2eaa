#pragma once

// The backup engine: a run over the eight backup sets, the breadth-first walk
// of one set, and the copy of one file under the two copy rules.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/platform/copy.h"
#include "common/platform/files.h"
#include "common/platform/locks.h"
#include "common/platform/storage.h"
#include "common/ports.h"
#include "common/system_error.h"
#include "engine/copy_stage.h"
#include "engine/folder_table.h"
#include "engine/progress_view.h"
#include "engine/run_report.h"
#include "settings/settings_store.h"

namespace tarvenix {

// What the engine works with; all of it outlives the engine. What the user
// is told of a run goes through `report`.
struct EngineServices {
    SettingsState& settings;
    SettingsStore& store;
    RunReport& report;
    EventPumpPort& pump;
};

// "#,###,###" of bytes / 1000, rounded: "" below 500 bytes, "1,235" for
// 1,234,567 bytes.
std::string format_kbytes(std::uint64_t bytes);

// A set's folder text as a run and the save take it: a trailing separator
// names the folder it ends ("/home/u/data/" is data; a root such as "/" or
// "C:\" stays as it is). "" for a relative path, which would name a folder
// below wherever the program happened to be started.
std::string set_folder_path(std::string_view text);
// True when a set's folder text names a folder that is there: a file in its
// place, or a relative path, is as good as no folder.
bool set_folder_exists(std::string_view text);
// Whether a set's source folder is its destination folder or lies below it
// (a run would then write into its own source), by the folders' identities,
// so no link or second mount hides it; both folders must exist.
platform::Result<bool> source_within_destination(const BackupSet& set);

class BackupEngine {
public:
    explicit BackupEngine(const EngineServices& services);

    // Runs every backup set, 0 to 7, from the settings as stored. Only one run
    // happens at a time: a call made while a run is in progress (from an
    // event handler served during the run) returns kRefused at once and does
    // nothing else; callers need no guard of their own.
    RunOutcome run_backup(std::int16_t run_trigger);

    bool running() const { return running_; }

    // What the progress dialog's cancel button does: the walk stops within
    // the file being copied (a large file's copy serves events between its
    // chunks and stops there, keeping the old copy).
    void request_abort() { abort_requested = 1; }

    void walk_backup_set(int k);
    void clear_folder_table();
    const FolderTable& folder_table() const { return folder_table_; }

    // 1 = the run must stop.
    std::int16_t abort_requested = 0;

    // How long the run waits for a folder that gives no sign of life (no
    // call answered, no chunk written) before it counts it as gone: far
    // longer than a network disk takes to wake or a slow share to take a
    // chunk, and short enough that a night's run whose share went silent
    // still ends, with its line in the history. Tests shorten it.
    static constexpr double kSilenceSeconds = 300.0;
    void set_silence_seconds(double seconds) { silence_seconds_ = seconds; }

    static constexpr std::int32_t kPathByteLimit = 254;
    // Bounds of a batch of copies flushed to the disk together before they
    // are renamed into place. A batch is committed while the walk fills the
    // next one, so the renames of all but the last overlap the copies: a few
    // thousand files a batch, not one batch for the whole set.
    static constexpr std::size_t kBatchFiles = 2048;
    static constexpr std::uint64_t kBatchBytes = FlushPace::kMostBytes;
    static constexpr std::size_t kBatchFolders = 256;
    // Descriptors left free beside a batch's open folders: the walk's own
    // folders and files, and the history's.
    static constexpr std::size_t kSpareDescriptors = 32;
    // Copies made at once, by what the destination is stored on
    // (docs/PERFORMANCE.md has the measurements): a share hides its round
    // trips behind many; a disk of this machine gains from two workers
    // while the walk lists and opens the next files, with more handed out
    // than the workers copy (kLocalWindow), so a worker finds its next file
    // waiting; a USB stick writes slower in several places at once, and is
    // written by the walk alone (0).
    static constexpr std::size_t kNetworkCopies = 16;
    static constexpr std::size_t kLocalCopies = 2;
    static constexpr std::size_t kRemovableCopies = 0;
    static constexpr std::size_t kLocalWindow = 16;
    // Every file made or renamed in a folder of a share waits for that
    // folder's turn; only copies in several folders at once go past it. A
    // folder of a share this walk made, of at most kInPlaceFolderFiles
    // entries, has its copies of files under a chunk made and renamed there
    // by the workers (CopyJob::in_place), with up to kInPlaceWindow handed
    // out, so the walk runs several folders ahead; kInPlaceFolders bounds
    // the folders they keep open. A larger folder is copied as any other:
    // alone, it goes faster staged (docs/PERFORMANCE.md).
    static constexpr std::size_t kInPlaceFolderFiles = 128;
    static constexpr std::size_t kInPlaceWindow = 512;
    static constexpr std::size_t kInPlaceFolders = 16;
    // Descriptors a batch leaves free: the spare ones, each copy handed out
    // two (its source, and its temporary file once a worker copies it),
    // and on a share a staging folder for each; the folders (source and
    // destination) of the copies made in place, which open their sources
    // only once a worker takes them.
    static constexpr std::size_t kUnbatchedDescriptors =
        kSpareDescriptors + 3 * std::max(kNetworkCopies, kLocalWindow) + 2 * kInPlaceFolders;
    // On a share the renames are the one step the share takes a file at a
    // time, and the walk hands out no copy while a batch's renames wait:
    // batches of half the copies in flight let the other half be made
    // meanwhile, so one batch's copies are ready when the last one's are in
    // place (docs/PERFORMANCE.md).
    static constexpr std::size_t kShareBatchFiles = kNetworkCopies / 2;

private:
    using Destination = CopyDestination;

    // A name the run put into a destination folder that more than one source
    // folder fills (their names differ only in case); for a folder, the
    // source folder it came from.
    struct PutName {
        std::string name;
        std::string source_folder;
    };
    // The source folder being walked, as its entries need it.
    struct FolderVisit {
        std::size_t level;
        const std::string& relative;
        const std::shared_ptr<const platform::Directory>& src_dir;
        bool fresh;          // its destination folder was made by this walk
        bool overwrite_all;  // the copy mode: every file, or only newer ones
        bool in_place;       // its small files are copied in place (CopyJob::in_place)
        // Names put into a destination folder several source folders fill.
        std::vector<PutName>* put;
        // The entries' statuses by listing index, read with the listing
        // (newer-only, from a share); null where each is read in its turn.
        const std::vector<platform::Result<platform::FileStatus>>* examined;
    };

    // What the run learned of a destination's file system.
    struct DeviceFacts {
        std::uint64_t device = 0;
        int time_step = -1;  // seconds (0: keeps no times); -1 not asked yet
        std::optional<platform::StorageKind> kind = std::nullopt;  // not asked yet
    };

    // A finished copy in its temporary file, renamed over the old copy once
    // its batch is on the disk: a power cut then leaves the old or the new
    // copy, never an empty one.
    struct PendingCopy {
        std::shared_ptr<const Destination> folder;
        std::shared_ptr<const Destination> staging;  // where it waits, when not in `folder`
        platform::StagedCopy staged;
        std::string src_path;
        std::string dst_path;
        bool skip_mode = false;
    };

    // Takes the oldest job's end from the copy stage, in the walk's order,
    // and records it; false when the stage hangs (and was abandoned).
    bool retire_oldest();
    // A stopped run's copies did not end in time: a share hangs. False, for
    // the walk.
    bool hung();
    void retire(CopyDone done);
    // Records a copy's end, tells the progress dialog the file is done and
    // serves the events that came meanwhile.
    void retire_and_serve(CopyDone done);
    // Every job in flight ended and recorded, so that what the walk itself
    // records next follows them.
    void drain();
    // The end of a set's walk: the jobs in flight drained, or after a stop
    // abandoned, and the batch committed.
    void finish_copies();
    // A copy failed (checked: the copy itself asked whether the set's
    // destination folder is gone, see destination_gone).
    void copy_failed(bool skip_mode, const std::string& src_path, const std::string& dst_path,
                     SkipReason why, int error, bool checked = false);
    bool batch_full();
    DeviceFacts& device_facts(std::uint64_t device);
    std::uint64_t unflushed_bytes() const;
    // Out of descriptors (EMFILE, ENFILE): commits the batch, which closes
    // its folders (the jobs in flight ended first, which closes theirs, when
    // the walk asks); true when the open is worth trying again.
    bool freed_descriptors(int err, bool from_walk = true);
    // Marks the entries of a listing that would land on a destination entry
    // another source name of the run has; records folders that share one
    // destination folder.
    std::vector<bool> case_collisions(const std::vector<platform::Directory::Entry>& entries,
                                      const std::string& relative,
                                      const std::shared_ptr<const Destination>& dst);
    // Flushes the batch's file systems, then renames its copies into place,
    // on the stage's thread for such tasks, after the batch before it ended
    // (end_commit); `wait`: this one too.
    void commit_batch(bool wait);
    // Waits for the batch being committed and tells what became of it.
    void end_commit();
    void discard_batch();
    // The destination stopped answering: the copies in flight, the batch
    // and its commit are left to the stage's workers.
    void abandon_copies();
    // Gives the folders made writable for their copies their source's bits.
    void restore_folder_modes();
    // The staging folder for a copy into `dst` (on a share, in the set's
    // destination folder, made when first needed); none where copies wait
    // in their own folder.
    std::shared_ptr<const Destination> staging_for(const Destination& dst);
    // Removes the set's staging folders (left to the next run's clean-up
    // when the destination stopped answering).
    void remove_staging_folders();
    // Lists one folder of the walk and copies what it holds; false when the
    // walk must end.
    bool walk_folder(std::size_t level, const std::string& relative);
    // A source folder as the walk read it.
    struct SourceListing {
        std::shared_ptr<const platform::Directory> folder;
        std::vector<platform::Directory::Entry> entries;
        std::optional<platform::FileStatus> status;                    // of the folder itself
        std::vector<platform::Result<platform::FileStatus>> examined;  // see FolderVisit
    };
    // Opens the source folder and reads its listing, and with `examine` each
    // entry's status; nothing as answered's.
    std::optional<platform::Result<SourceListing>> list_source(const std::string& relative,
                                                               bool examine);
    // Opens the destination folder (current_dst_) and readies it for the
    // copies of the source folder whose status is `src_status`; true when
    // this walk made it.
    bool open_destination(const std::string& relative,
                          const std::optional<platform::FileStatus>& src_status,
                          bool overwrite_all);
    // Newer-only off a share, the old copies' statuses of the folder being
    // walked are read on the stage's thread for tasks run aside while the
    // walk reads the sources' (one status call each): the unchanged re-run
    // is these calls and little else. Not for a few entries, where starting
    // the task costs more.
    struct OldCopies {
        std::vector<std::string> names;  // by listing index; "" for a folder
        std::vector<platform::Result<platform::FileStatus>> status;
        std::atomic<std::size_t> ready{0};  // entries read so far
        std::atomic<bool> left{false};      // the walk left the folder
    };
    static constexpr std::size_t kReadAheadEntries = 16;
    void read_old_copies_ahead(const std::vector<platform::Directory::Entry>& entries, bool fresh,
                               bool overwrite_all);
    // The old copy's status for the entry being walked.
    platform::Result<platform::FileStatus> old_copy_status(const CopyJob& job) const;
    // One entry of a listing: a folder for the next level, or a file or link
    // to copy; false when the walk must end.
    bool walk_entry(const FolderVisit& visit, const platform::Directory::Entry& entry,
                    bool refused);
    // What the entry is now (the source opened already where that saves
    // time); nothing when it vanished or cannot be examined (recorded).
    std::optional<platform::FileStatus> entry_status(const FolderVisit& visit,
                                                     const platform::Directory::Entry& entry,
                                                     bool refused, const std::string& dst_path,
                                                     platform::OpenFile& source, int& open_error);
    bool enter_folder(const FolderVisit& visit, const std::string& name,
                      const std::string& src_path, const platform::FileStatus& st);
    bool copy_one_file(const FolderVisit& visit, CopyJob job, bool refused);
    // Makes a call on a folder where a file system that stops answering (a
    // share whose server is gone) cannot hold the user-interface thread:
    // `aside`, on a worker of `lane`, while the walk serves the events, so
    // the window stays live and a stop still ends the run. The call owns
    // what it works on. Nothing when the run was stopped and the share did
    // not answer within CopyStage::kAbandonSeconds: the call is left to its
    // worker and the run ends as stopped.
    template <class Call>
    auto answered(bool aside, Call call, CopyStage::Lane lane = CopyStage::Lane::kDestination)
        -> std::optional<decltype(call())>;
    // A call on the source: aside where the source is on a share, and again
    // while it fails for want of descriptors and committing the batch freed
    // some. Nothing as answered's.
    template <class Call>
    auto from_source(Call call) -> std::optional<decltype(call())>;
    void too_long(bool folder, const std::string& path);
    void record_skipped(const std::string& dst_path, SkipReason why, int error);
    // What the walk itself passes over, after the files before it.
    void walk_skipped(const std::string& dst_path, SkipReason why, int error);
    // Tells the waiting lines of files the walk reached before the batch's
    // copy `up_to`.
    void tell_waiting_lines(std::size_t up_to);
    // A copy failed: true when that is because the set's destination folder
    // is gone (deleted, deleted and made again, its share's server lost),
    // which ends the set as a missing folder, not as one skipped file after
    // another.
    bool destination_gone();
    RunOutcome missing_folder_end(std::int16_t run_trigger, SetRefusal why,
                                  const std::string& folder);
    RunOutcome stopped_end(std::int16_t run_trigger);
    // A run that stops: as a missing folder where one fell silent, else as
    // stopped.
    RunOutcome halted_end(std::int16_t run_trigger, const BackupSet& set);
    // A wait on the stage gave up: where that was for silence, which folder
    // of the set fell silent (`source`: a call on the source).
    void note_silence(bool source);
    RunOutcome system_error_end(std::int16_t run_trigger, const SystemError& error);

    EngineServices s_;
    FolderTable folder_table_;
    bool running_ = false;

    // The set being walked.
    std::string src_base_;
    std::string dst_base_;
    // Shared with the calls the walk makes on a worker (`answered`).
    std::shared_ptr<const platform::Directory> src_root_;
    std::shared_ptr<const platform::Directory> dst_root_;
    // The source is on a share: every call the walk makes on it is made
    // aside.
    bool src_on_share_ = false;
    std::optional<platform::FileStatus> dst_root_status_;
    // The destination folder by its path, and whether it no longer is the
    // folder the set started with.
    std::string dst_folder_;
    bool destination_lost_ = false;
    // Destination folders (relative paths) this walk has made.
    std::unordered_set<std::string> fresh_folders_;
    // The set's staging folders on a share, by name, handed out in turn so
    // the copies in flight make their files in different folders; made once.
    std::vector<std::pair<std::string, std::shared_ptr<const Destination>>> staging_;
    std::size_t next_staging_ = 0;
    bool staging_made_ = false;
    bool copied_in_set_ = false;  // a copy of the set was staged or made
    std::shared_ptr<OldCopies> old_copies_;
    std::size_t entry_index_ = 0;  // of the entry being walked, in its listing
    // The destination folder being filled, and the file system it is on.
    std::shared_ptr<const Destination> current_dst_;
    std::uint64_t current_device_ = 0;
    // The copies of the run in flight, while a run is in progress.
    CopyStage* stage_ = nullptr;
    // A share (the destination's or the source's) stopped answering during
    // a stop: nothing more is asked of either in this run.
    bool share_hung_ = false;
    // The set's folder that gave no sign of life for silence_seconds_.
    std::optional<SetRefusal> fell_silent_;
    double silence_seconds_ = kSilenceSeconds;
    // The batch's copies; the first `committing_` of them are the batch
    // being committed while the walk goes on (commit_).
    std::vector<PendingCopy> batch_;
    std::size_t committing_ = 0;
    struct CommitWork;
    CopyStage::Aside commit_;
    std::shared_ptr<CommitWork> commit_work_;
    // Lines of files passed over while a batch waits, each told once the
    // batch's copies before it (`before` of them) were renamed or failed.
    struct WaitingLine {
        std::size_t before;
        std::string dst_path;
        SkipReason why;
        int error;
    };
    std::vector<WaitingLine> waiting_lines_;
    bool telling_batch_ = false;
    std::uint64_t batch_bytes_ = 0;
    std::vector<std::pair<std::uint64_t, std::shared_ptr<const Destination>>> batch_folders_;
    // Destination folders (relative paths) whose source bits they get once
    // the walk's copies are in place.
    std::vector<std::pair<std::string, std::uint32_t>> folder_modes_;
    // Per run: what the destinations' file systems showed; what a batch may
    // hold open; whether a copy failure was shown in a box.
    std::vector<DeviceFacts> devices_;
    std::size_t batch_folder_limit_ = kBatchFolders;
    bool failure_shown_ = false;
    // The system error that ends the run, once a batch's flush failed: the
    // walk then stops as at a stop, closes what it holds, and the run ends
    // with this error (a stop before it ends the run as a stop).
    std::optional<SystemError> ending_error_;
    // The time step of the destination folder being filled (newer-only).
    int time_step_ = 1;
    // Whether it is a share, whose every answer takes a round trip, and how
    // many copies are in flight there (0: each made by the walk itself).
    bool on_share_ = false;
    std::size_t copies_in_flight_ = 0;
    // The settings as the run loaded them, read for every set and file of
    // the run: nothing in it parses a stored text again.
    SettingsModel run_settings_;
    // Per set, only where source names fold together in a destination folder
    // that does not tell case apart: source folders (relative) that fill the
    // destination folder of another (its relative path), and the names the
    // run put into such shared folders.
    std::unordered_map<std::string, std::string> shared_folder_;
    std::unordered_map<std::string, std::vector<PutName>> names_put_;
};

}  // namespace tarvenix
