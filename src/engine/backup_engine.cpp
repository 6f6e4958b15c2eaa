#include "engine/backup_engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <new>

#include "common/case_fold.h"
#include "common/platform/clock.h"
#include "common/platform/locks.h"
#include "common/platform/process.h"
#include "common/platform/storage.h"
#include "common/text_codec.h"
#include "common/underway.h"

namespace tarvenix {
namespace {

template <class T>
std::optional<T> value_of(platform::Result<T> result) {
    return result ? std::optional<T>(std::move(*result)) : std::nullopt;
}

// A source or destination given with a trailing separator (a root: "/",
// "C:\") would otherwise give doubled separators when names are joined to it.
std::string without_trailing_separator(const std::string& folder) {
    std::string out = folder;
    while (!out.empty() && out.back() == platform::kPathSeparator) {
        out.pop_back();
    }
    return out;
}

// The code points of a name, read leniently: a byte that is not UTF-8 stands
// for itself, above the Unicode range, so every name keeps its own sequence.
template <class F>
void for_each_code_point(std::string_view s, F f) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t len = lead < 0x80           ? 1
                                : (lead >> 5) == 0x06 ? 2
                                : (lead >> 4) == 0x0E ? 3
                                : (lead >> 3) == 0x1E ? 4
                                                      : 0;
        std::uint32_t c = len == 1 ? lead : lead & (0x7FU >> len);
        bool ok = len > 0 && i + len <= s.size();
        for (std::size_t k = 1; ok && k < len; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3FU);
        }
        f(ok ? c : 0x110000U + lead);
        i += ok ? len : 1;
    }
}

// The code points of the name in the one case that folders not telling case
// apart take it in, by the full case folding: every pair of names such a
// folder may take for one folds alike, and the folder itself decides which
// of them are one entry there (coinciding_names).
template <typename F>
void for_each_folded(std::string_view name, F f) {
    for_each_code_point(name, [&f](std::uint32_t c) {
        std::uint32_t out[3];
        const std::size_t n = text::case_fold(c, out);
        std::for_each(out, out + n, f);
    });
}

std::uint64_t fold_hash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
    for_each_folded(name, [&hash](std::uint32_t c) { hash = (hash ^ c) * 1099511628211ULL; });
    return hash;
}

std::u32string fold_key(std::string_view name) {
    std::u32string key;
    for_each_folded(name, [&key](std::uint32_t c) { key.push_back(c); });
    return key;
}

}  // namespace

std::string_view progress_label_name(ProgressLabel label) {
    static constexpr std::array<std::string_view, 5> kNames = {"srcfld", "dstfld", "subfld",
                                                               "cpfname", "filesize"};
    return kNames[static_cast<std::size_t>(label)];
}

std::string format_kbytes(std::uint64_t bytes) {
    std::uint64_t k = bytes / 1000 + (bytes % 1000 >= 500 ? 1 : 0);
    if (k == 0) {
        return "";
    }
    std::string digits = std::to_string(k);
    std::string out;
    const std::size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    out.append(digits, 0, first);
    for (std::size_t i = first; i < digits.size(); i += 3) {
        out += ',';
        out.append(digits, i, 3);
    }
    return out;
}

BackupEngine::BackupEngine(const EngineServices& services)
    : s_(services) {}

template <class Call>
auto BackupEngine::answered(bool aside, Call call, CopyStage::Lane lane)
    -> std::optional<decltype(call())> {
    if (!aside) {
        return call();
    }
    if (share_hung_) {
        return std::nullopt;  // nothing more is asked of it in this run
    }
    auto out = std::make_shared<std::optional<decltype(call())>>();
    if (stage_->run_aside(
            s_.pump, [call = std::move(call), out] { out->emplace(call()); }, lane)) {
        return std::move(*out);
    }
    note_silence(lane == CopyStage::Lane::kSource);
    share_hung_ = true;
    abort_requested = 1;
    stage_->abandon();
    return std::nullopt;
}

template <class Call>
auto BackupEngine::from_source(Call call) -> std::optional<decltype(call())> {
    auto result = answered(src_on_share_, call, CopyStage::Lane::kSource);
    while (result && !*result && freed_descriptors(result->error())) {
        result = answered(src_on_share_, call, CopyStage::Lane::kSource);
    }
    return result;
}

void BackupEngine::clear_folder_table() {
    folder_table_.clear();
}

std::string set_folder_path(std::string_view text) {
    if (!platform::is_full_path(text)) {
        return {};
    }
    std::string out(text);
    while (out.back() == platform::kPathSeparator && !platform::is_root_path(out) &&
           out.size() > 1) {
        out.pop_back();
    }
    return out;
}

bool set_folder_exists(std::string_view text) {
    const std::string path = set_folder_path(text);
    if (path.empty()) {
        return false;
    }
    const auto st = platform::status(path, true);
    return st && st->type == platform::EntryType::kFolder;
}

platform::Result<bool> source_within_destination(const BackupSet& set) {
    return platform::folder_within(set_folder_path(set.src_folder),
                                   set_folder_path(set.dst_folder));
}

RunOutcome BackupEngine::run_backup(std::int16_t run_trigger) {
    if (running_) {
        return RunOutcome::kRefused;
    }
    const Underway underway(running_);

    failure_shown_ = false;
    ending_error_.reset();
    devices_.clear();
    // A batch holds its folders open: never more than the descriptors the
    // process has left, less what the walk and the history need.
    const std::size_t available = platform::open_files_available();
    batch_folder_limit_ = available > kUnbatchedDescriptors + 1
                              ? std::min(kBatchFolders, available - kUnbatchedDescriptors)
                              : 1;
    CopyStage stage(abort_requested);
    stage.set_silence_bound(silence_seconds_);
    stage_ = &stage;
    struct Unset {
        CopyStage*& stage;
        ~Unset() { stage = nullptr; }
    } unset{stage_};
    share_hung_ = false;
    fell_silent_.reset();
    // A stop request cannot outlive the run it was meant for.
    abort_requested = 0;
    s_.report.run_started(run_trigger);
    clear_folder_table();
    if (const auto loaded = s_.store.load_settings(); !loaded) {
        // Running on half-loaded settings could copy the wrong folders, so
        // the run ends here.
        s_.report.system_error(loaded.error());
        s_.report.run_ended(RunOutcome::kSystemError, run_trigger);
        return RunOutcome::kSystemError;
    }
    run_settings_ = s_.settings.model;
    try {
        for (int k = 0; k < kSetCount; ++k) {
            const BackupSet& set = run_settings_.sets[static_cast<std::size_t>(k)];
            if (set.skipped()) {
                s_.report.set_skipped(set.src_folder);
            } else if (!set.src_folder.empty() && !set.dst_folder.empty()) {
                // Either folder may be on a share whose server stopped
                // answering: each is asked on its own lane, so the one that
                // fell silent is the one named.
                const auto source = answered(
                    true, [set] { return set_folder_exists(set.src_folder); },
                    CopyStage::Lane::kSource);
                if (!source) {
                    return halted_end(run_trigger, set);
                }
                if (!*source) {
                    return missing_folder_end(run_trigger, SetRefusal::kSourceMissing,
                                              set.src_folder);
                }
                struct Found {
                    bool destination = false;
                    platform::Result<bool> within = false;
                };
                const auto found = answered(true, [set] {
                    Found f;
                    f.destination = set_folder_exists(set.dst_folder);
                    if (f.destination) {
                        f.within = source_within_destination(set);
                    }
                    return f;
                });
                if (!found) {
                    return halted_end(run_trigger, set);
                }
                if (!found->destination) {
                    return missing_folder_end(run_trigger, SetRefusal::kDestinationMissing,
                                              set.dst_folder);
                }
                // The walk passes over a destination inside its source; a
                // source inside its destination it could not: its copies
                // would land on the source's own files.
                const platform::Result<bool>& within = found->within;
                if (!within) {
                    return system_error_end(
                        run_trigger,
                        error_from_errno(within.error(), FileOperation::kRead, set.src_folder));
                }
                if (*within) {
                    return missing_folder_end(run_trigger, SetRefusal::kSourceInDestination,
                                              set.src_folder);
                }
                s_.report.set_started(set.src_folder, set.dst_folder);
                s_.pump.process_events();
                walk_backup_set(k);
                if (fell_silent_) {
                    return halted_end(run_trigger, set);
                }
                if (ending_error_) {
                    return system_error_end(run_trigger, *ending_error_);
                }
                if (destination_lost_) {
                    return missing_folder_end(run_trigger, SetRefusal::kDestinationMissing,
                                              set.dst_folder);
                }
                // "[Success]" promises the copies are on the disk: flush the
                // destination's file system once per set, not once per file.
                // A run already stopping ends as stopped: the flush's error
                // must not hide the copy failure the user was just told of.
                // A slow stick may take seconds, a lost share longer: the
                // window stays live meanwhile.
                const auto flushed = answered(true, [folder = set.dst_folder] {
                    const auto dst = platform::Directory::open(folder);
                    return dst ? dst->sync_file_system().error() : 0;
                });
                if (flushed && *flushed != 0 && abort_requested != 1) {
                    return system_error_end(
                        run_trigger,
                        error_from_errno(*flushed, FileOperation::kFlush, set.dst_folder));
                }
            }
            if (abort_requested == 1) {
                return halted_end(run_trigger, set);
            }
        }
    } catch (const std::bad_alloc&) {
        return system_error_end(
            run_trigger, SystemError(error_code::kOutOfMemory,
                                     std::string(describe_error_code(error_code::kOutOfMemory))));
    } catch (const std::exception& error) {
        return system_error_end(run_trigger, SystemError(error_code::kInternal, error.what()));
    }
    s_.report.run_ended(RunOutcome::kCompleted, run_trigger);
    return RunOutcome::kCompleted;
}

RunOutcome BackupEngine::missing_folder_end(std::int16_t run_trigger, SetRefusal why,
                                            const std::string& folder) {
    abort_requested = 0;
    s_.report.set_refused(why, folder);
    s_.report.run_ended(RunOutcome::kMissingFolder, run_trigger);
    return RunOutcome::kMissingFolder;
}

RunOutcome BackupEngine::stopped_end(std::int16_t run_trigger) {
    abort_requested = 0;
    s_.report.run_ended(RunOutcome::kStopped, run_trigger);
    return RunOutcome::kStopped;
}

RunOutcome BackupEngine::halted_end(std::int16_t run_trigger, const BackupSet& set) {
    if (!fell_silent_) {
        return stopped_end(run_trigger);
    }
    return missing_folder_end(
        run_trigger, *fell_silent_,
        *fell_silent_ == SetRefusal::kSourceMissing ? set.src_folder : set.dst_folder);
}

void BackupEngine::note_silence(bool source) {
    if (stage_->fell_silent() && !fell_silent_) {
        fell_silent_ = source ? SetRefusal::kSourceMissing : SetRefusal::kDestinationMissing;
    }
}

RunOutcome BackupEngine::system_error_end(std::int16_t run_trigger, const SystemError& error) {
    // What became of the batch in flight is told first; should its flush
    // fail too, the error that ended the run is the one told.
    end_commit();
    discard_batch();
    remove_staging_folders();
    s_.report.system_error(error);
    s_.report.run_ended(RunOutcome::kSystemError, run_trigger);
    return RunOutcome::kSystemError;
}

void BackupEngine::walk_backup_set(int k) {
    clear_folder_table();
    const BackupSet& set = run_settings_.sets[static_cast<std::size_t>(k)];
    src_base_ = without_trailing_separator(set.src_folder);
    dst_base_ = without_trailing_separator(set.dst_folder);
    struct Source {
        std::shared_ptr<const platform::Directory> folder;
        bool on_share = false;
    };
    // Whether the source is on a share is not known before it answered.
    const auto source = answered(
        true,
        [path = src_base_ + platform::kPathSeparator] {
            Source found{std::make_shared<const platform::Directory>(
                platform::Directory::open(path).value_or({}))};
            found.on_share = found.folder->is_open() && platform::storage_kind(*found.folder) ==
                                                            platform::StorageKind::kNetwork;
            return found;
        },
        CopyStage::Lane::kSource);
    src_root_ = source ? source->folder : nullptr;
    src_on_share_ = source && source->on_share;
    struct Root {
        std::shared_ptr<const platform::Directory> folder;
        std::optional<platform::FileStatus> status;
        platform::StorageKind kind = platform::StorageKind::kLocal;
    };
    const auto root = answered(true, [path = dst_base_ + platform::kPathSeparator] {
        Root r;
        r.folder = std::make_shared<const platform::Directory>(
            platform::Directory::open(path).value_or({}));
        r.status = r.folder->is_open() ? value_of(r.folder->own_status()) : std::nullopt;
        if (r.status) {
            r.kind = platform::storage_kind(*r.folder);
        }
        return r;
    });
    dst_root_ = root ? root->folder : nullptr;
    dst_root_status_ = root ? root->status : std::nullopt;
    // Known before the first folder is opened: on a share that is done aside.
    on_share_ = dst_root_status_ && root->kind == platform::StorageKind::kNetwork;
    if (dst_root_status_) {
        device_facts(dst_root_status_->device).kind = root->kind;
    }
    dst_folder_ = set_folder_path(set.dst_folder);
    destination_lost_ = false;
    fresh_folders_.clear();
    folder_modes_.clear();
    shared_folder_.clear();
    names_put_.clear();
    const bool subfolders = set.copies_subfolders();

    for (std::size_t level = 0; abort_requested != 1; ++level) {
        if (!subfolders && level >= 1) {
            break;
        }
        const std::size_t count = level == 0 ? 1 : folder_table_.level(level).size();
        if (count == 0) {
            break;  // the previous level found no folder
        }
        bool go_on = true;
        for (std::size_t i = 0; i < count && go_on; ++i) {
            // A copy: adding the next level's folders may move this one.
            const std::string relative = level == 0 ? std::string() : folder_table_.level(level)[i];
            go_on = walk_folder(level, relative) && abort_requested != 1;
        }
        if (!go_on || abort_requested == 1) {
            break;
        }
    }
    finish_copies();
    remove_staging_folders();
    if (!share_hung_) {
        restore_folder_modes();
    }
    current_dst_.reset();
    src_root_.reset();
    src_on_share_ = false;
    dst_root_.reset();
    fresh_folders_.clear();
    shared_folder_.clear();
    names_put_.clear();
}

bool BackupEngine::walk_folder(std::size_t level, const std::string& relative) {
    s_.report.folder_entered(relative);
    s_.pump.process_events();

    const bool overwrite_all = !run_settings_.options.newer_only();
    // Newer-only, most entries of a folder cost only their status, which a
    // share's client answers from what the listing brought: one hand-over to
    // the source's lane for the folder, not one for each entry.
    auto listed = list_source(relative, src_on_share_ && !overwrite_all);
    if (!listed) {
        return false;  // the source stopped answering during a stop
    }
    if (!*listed) {
        // A folder that cannot be read is passed over, but never silently: a
        // run that missed it must not look complete in the history.
        if (listed->error() != ENOENT) {
            walk_skipped(dst_base_ + relative, SkipReason::kUnreadable, listed->error());
        }
        return true;
    }
    const std::vector<platform::Directory::Entry>& entries = (*listed)->entries;
    const bool fresh = open_destination(relative, (*listed)->status, overwrite_all);
    const bool in_place = on_share_ && fresh && entries.size() <= kInPlaceFolderFiles;
    if (in_place) {
        stage_->set_width(copies_in_flight_, kInPlaceWindow);
    }
    const std::vector<bool> collides = case_collisions(entries, relative, current_dst_);
    if (abort_requested == 1) {
        return false;  // the destination stopped answering during a stop
    }
    const auto shared = shared_folder_.find(relative);
    const auto put_here =
        names_put_.find(shared != shared_folder_.end() ? shared->second : relative);
    const FolderVisit visit{level,
                            relative,
                            (*listed)->folder,
                            fresh,
                            overwrite_all,
                            in_place,
                            put_here != names_put_.end() ? &put_here->second : nullptr,
                            (*listed)->examined.empty() ? nullptr : &(*listed)->examined};
    // The whole listing is read before anything is copied, so the copies
    // cannot disturb it.
    read_old_copies_ahead(entries, fresh, overwrite_all);
    struct Left {
        std::shared_ptr<OldCopies>& ahead;
        ~Left() {
            if (ahead) {
                ahead->left = true;
                ahead.reset();
            }
        }
    } left{old_copies_};
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entry_index_ = i;
        if (!walk_entry(visit, entries[i], collides[i])) {
            return false;
        }
    }
    return true;
}

void BackupEngine::read_old_copies_ahead(const std::vector<platform::Directory::Entry>& entries,
                                         bool fresh, bool overwrite_all) {
    if (overwrite_all || fresh || on_share_ || copies_in_flight_ == 0 ||
        !current_dst_->folder.is_open() || entries.size() < kReadAheadEntries) {
        return;
    }
    auto ahead = std::make_shared<OldCopies>();
    for (const platform::Directory::Entry& entry : entries) {
        const bool file = !entry.hidden && entry.type != platform::EntryType::kFolder &&
                          entry.type != platform::EntryType::kSystem;
        ahead->names.push_back(file ? entry.name : std::string());
    }
    ahead->status.assign(entries.size(), platform::Error{EAGAIN});
    (void)stage_->start_aside([ahead, dst = current_dst_] {
        for (std::size_t i = 0; i < ahead->names.size() && !ahead->left; ++i) {
            if (!ahead->names[i].empty()) {
                ahead->status[i] = dst->folder.status_of(ahead->names[i], false);
            }
            ahead->ready.store(i + 1, std::memory_order_release);
        }
    });
    old_copies_ = std::move(ahead);
}

platform::Result<platform::FileStatus> BackupEngine::old_copy_status(const CopyJob& job) const {
    // Read ahead where it got that far; else here, as the walk would have.
    const OldCopies* ahead = old_copies_.get();
    if (ahead != nullptr && entry_index_ < ahead->ready.load(std::memory_order_acquire) &&
        ahead->names[entry_index_] == job.name) {
        return ahead->status[entry_index_];
    }
    return job.dst->folder.status_of(job.name, false);
}

auto BackupEngine::list_source(const std::string& relative, bool examine)
    -> std::optional<platform::Result<SourceListing>> {
    return from_source([root = src_root_, relative, examine]() -> platform::Result<SourceListing> {
        auto opened = root && root->is_open()
                          ? root->open_below(relative)
                          : platform::Result<platform::Directory>(platform::Error{EBADF});
        if (!opened) {
            return platform::Error{opened.error()};
        }
        auto entries = opened->list();
        if (!entries) {
            return platform::Error{entries.error()};
        }
        SourceListing listing;
        listing.status = value_of(opened->own_status());
        for (std::size_t i = 0; examine && i < entries->size(); ++i) {
            const platform::Directory::Entry& entry = (*entries)[i];
            listing.examined.push_back(entry.hidden || entry.type == platform::EntryType::kSystem
                                           ? platform::Error{ENOENT}  // never walked
                                           : opened->status_of(entry.name, false));
        }
        listing.folder = std::make_shared<const platform::Directory>(std::move(*opened));
        listing.entries = std::move(*entries);
        return listing;
    });
}

bool BackupEngine::open_destination(const std::string& relative,
                                    const std::optional<platform::FileStatus>& src_status,
                                    bool overwrite_all) {
    const bool fresh = fresh_folders_.count(relative) != 0;
    const auto shared = shared_folder_.find(relative);
    // A killed run's temporary files are removed whatever became of the
    // files they were meant for. Not in a folder an earlier source folder of
    // this set filled: its staged copies wait there, and a FUSE file system
    // may give the folder a node of its own per spelling, so the lock would
    // not tell.
    const bool clean_up = !fresh && (shared == shared_folder_.end() || shared->second == relative);
    // What the folder and its file system are, found on a worker where a
    // share may keep every call waiting.
    struct Look {
        int out_of_descriptors = 0;  // the open's EMFILE or ENFILE
        std::shared_ptr<Destination> dst = std::make_shared<Destination>();  // closed: not opened
        std::optional<platform::FileStatus> status;
        std::optional<int> time_step;
        std::optional<platform::StorageKind> kind;
    };
    const auto look_at = [root = dst_root_, relative, clean_up, newer_only = !overwrite_all,
                          known = devices_] {
        Look look;
        auto opened = root && root->is_open()
                          ? root->open_below(relative)
                          : platform::Result<platform::Directory>(platform::Error{EBADF});
        if (!opened && (opened.error() == EMFILE || opened.error() == ENFILE)) {
            look.out_of_descriptors = opened.error();  // tried again once descriptors are freed
            return look;
        }
        if (!opened) {
            return look;
        }
        look.status = value_of(opened->own_status());
        look.dst = std::make_shared<Destination>(std::move(*opened),
                                                 look.status ? look.status->device : 0);
        if (!look.status) {
            return look;
        }
        if ((look.status->mode & 0700) != 0700 && !relative.empty()) {
            // A folder copied from a read-only one (or left read-only by an
            // earlier run) is writable for its owner while its files are
            // copied; it gets the source folder's bits when the walk is done.
            (void)look.dst->folder.set_mode(look.status->mode | 0700);
        }
        if (clean_up) {
            look.dst->lock.remove_leftover_temp_files();
        }
        const auto facts = std::find_if(known.begin(), known.end(), [&](const DeviceFacts& d) {
            return d.device == look.status->device;
        });
        if (newer_only && (facts == known.end() || facts->time_step < 0)) {
            look.time_step = platform::time_step_seconds(look.dst->folder);
        }
        if (facts == known.end() || !facts->kind) {
            look.kind = platform::storage_kind(look.dst->folder);
        }
        return look;
    };
    auto look = answered(on_share_, look_at);
    while (look && look->out_of_descriptors != 0 && freed_descriptors(look->out_of_descriptors)) {
        look = answered(on_share_, look_at);
    }
    if (!look) {
        current_dst_ = std::make_shared<Destination>();  // the run is stopping
        return fresh;
    }
    const auto& dst_status = look->status;
    current_dst_ = look->dst;
    current_device_ = dst_status ? dst_status->device : 0;
    stage_->shared().pace.fill(current_device_);
    time_step_ = 1;
    if (!dst_status) {
        return fresh;
    }
    if (!relative.empty()) {
        const std::uint32_t mode = dst_status->mode;
        const std::uint32_t wanted = (src_status ? src_status->mode : mode) & 0777;
        if ((mode & 0777) != wanted || (mode & 0700) != 0700) {
            folder_modes_.emplace_back(relative, wanted);
        }
    }
    DeviceFacts& facts = device_facts(dst_status->device);
    if (look->time_step) {
        facts.time_step = *look->time_step;
    }
    if (look->kind) {
        facts.kind = look->kind;
    }
    if (!overwrite_all) {
        time_step_ = facts.time_step;
    }
    copies_in_flight_ = *facts.kind == platform::StorageKind::kNetwork     ? kNetworkCopies
                        : *facts.kind == platform::StorageKind::kRemovable ? kRemovableCopies
                                                                           : kLocalCopies;
    on_share_ = *facts.kind == platform::StorageKind::kNetwork;
    stage_->set_width(copies_in_flight_, on_share_ ? kNetworkCopies : kLocalWindow);
    return fresh;
}

bool BackupEngine::walk_entry(const FolderVisit& visit, const platform::Directory::Entry& entry,
                              bool refused) {
    if (entry.hidden || entry.type == platform::EntryType::kSystem) {
        return true;  // FIFOs, sockets and devices are never read
    }
    const std::string& name = entry.name;
    const std::string src_path = src_base_ + visit.relative + platform::kPathSeparator + name;
    const std::string dst_path = dst_base_ + visit.relative + platform::kPathSeparator + name;
    CopyJob job;
    const auto st = entry_status(visit, entry, refused, dst_path, job.source, job.open_error);
    if (!st || st->type == platform::EntryType::kSystem) {
        // Gone, or never read, as when the listing says so; or the source
        // stopped answering during a stop.
        return abort_requested != 1;
    }
    if (st->type == platform::EntryType::kFolder && !refused) {
        return enter_folder(visit, name, src_path, *st);
    }
    const GlobalOptions& options = run_settings_.options;
    job.src_dir = visit.src_dir;
    job.dst = current_dst_;
    job.name = name;
    job.src_path = src_path;
    job.dst_path = dst_path;
    job.src_status = *st;
    job.is_link = st->type == platform::EntryType::kLink;
    job.dst_fresh = visit.fresh;
    job.newer_only = options.newer_only() && !refused;
    job.time_step = time_step_;
    job.skip_mode = *options.skip_open_files == OpenFileRule::skip;
    job.rule_unreadable = *options.skip_open_files == OpenFileRule::unreadable;
    if (dst_root_status_) {
        job.set_folder = dst_folder_;
        job.set_device = dst_root_status_->device;
        job.set_inode = dst_root_status_->inode;
    }
    return copy_one_file(visit, std::move(job), refused);
}

std::optional<platform::FileStatus> BackupEngine::entry_status(
    const FolderVisit& visit, const platform::Directory::Entry& entry, bool refused,
    const std::string& dst_path, platform::OpenFile& source, int& open_error) {
    // What the entry is now, which need not be what the listing said: a file
    // may have become a folder or a link since.
    if (entry.type == platform::EntryType::kFile && visit.overwrite_all && !refused &&
        !visit.in_place) {
        // Overwriting every file, the source is opened right away and its
        // status read from the open file; newer-only, most files are not
        // copied, so a stat is all they cost. Copies made in place are
        // handed out folders ahead of their workers: they open their
        // sources themselves, so what waits holds no descriptor.
        auto asked = from_source([dir = visit.src_dir, name = entry.name] {
            return platform::OpenFile::open_at(*dir, name, false);
        });
        if (!asked) {
            return std::nullopt;
        }
        auto& opened = *asked;
        if (opened) {
            if (opened->status().type != platform::EntryType::kFile) {
                return opened->status();
            }
            source = std::move(*opened);
            return source.status();
        }
        if (opened.error() == ENOENT) {
            return std::nullopt;  // gone since the listing
        }
        open_error = opened.error() == ELOOP ? 0 : opened.error();  // a link now, copied as one
    }
    auto st = visit.examined != nullptr ? std::optional((*visit.examined)[entry_index_])
                                        : from_source([dir = visit.src_dir, name = entry.name] {
                                              return dir->status_of(name, false);
                                          });
    if (!st) {
        return std::nullopt;
    }
    if (!*st && st->error() != ENOENT && entry.type != platform::EntryType::kFolder) {
        walk_skipped(dst_path, SkipReason::kUnreadable, st->error());  // cannot even be examined
    }
    return value_of(std::move(*st));
}

bool BackupEngine::enter_folder(const FolderVisit& visit, const std::string& name,
                                const std::string& src_path, const platform::FileStatus& st) {
    if (text::cp932_length(src_path) > kPathByteLimit) {
        too_long(true, src_path);
        return false;
    }
    if (dst_root_status_ && st.device == dst_root_status_->device &&
        st.inode == dst_root_status_->inode) {
        return true;  // the destination lies inside the source: never copy it into itself
    }
    std::string child = visit.relative + platform::kPathSeparator + name;
    const std::uint32_t mode = st.mode & 0777;
    if (current_dst_->folder.is_open()) {
        // Made writable for its owner, so its files can be copied into it; a
        // failure shows later, when they cannot be.
        const auto made =
            answered(on_share_, [dst = current_dst_, name, mode, fresh = visit.fresh] {
                return (fresh || !dst->folder.status_of(name, false)) &&
                       dst->folder.make_folder(name, mode | 0700);
            });
        if (!made) {
            return false;  // the destination stopped answering during a stop
        }
        if (*made) {
            fresh_folders_.insert(child);
            if ((mode & 0700) != 0700) {
                folder_modes_.emplace_back(child, mode);
            }
        }
    }
    if (visit.put != nullptr) {
        visit.put->push_back(PutName{name, child});
    }
    folder_table_.add(visit.level + 1, std::move(child));
    return true;
}

bool BackupEngine::copy_one_file(const FolderVisit& visit, CopyJob job, bool refused) {
    if (text::cp932_length(job.src_path) > kPathByteLimit) {
        too_long(false, job.src_path);
        return false;
    }
    s_.report.file_started(job.name, job.src_status.size);
    s_.pump.process_events();
    if (visit.put != nullptr && !refused) {
        visit.put->push_back(PutName{job.name, {}});
    }
    if (job.newer_only && !job.dst_fresh && !on_share_ && job.dst->folder.is_open()) {
        // Off a share, the old copy's status costs less than handing the
        // file to a worker; a file found newer is looked at there again.
        const auto old = old_copy_status(job);
        if (old && copy_up_to_date(job.src_status, *old, job.time_step)) {
            s_.report.file_finished();
            return abort_requested != 1;
        }
    }
    if (!refused && copies_in_flight_ == 0) {
        if (src_on_share_) {
            // Read from a share, a copy could hold this thread as long as its
            // server does not answer: one worker makes it all the same.
            stage_->set_width(1, kLocalWindow);
        } else {
            // Copied here, between the events it serves: where workers would
            // only wait for each other (docs/PERFORMANCE.md).
            drain();
            const ServedCopy served{s_.pump, abort_requested};
            retire_and_serve(run_copy_job(std::move(job), stage_->shared(), &served));
            return abort_requested != 1;
        }
    }
    if (refused) {
        // Decided before either name was copied: no worker needed.
        CopyDone done;
        done.end = job.rule_unreadable ? CopyEnd::kRuleUnreadable : CopyEnd::kRefused;
        done.job = std::move(job);
        stage_->submit_done(std::move(done));
    } else {
        // A folder more in flight than the bound: the oldest jobs end first.
        while (visit.in_place && stage_->folders_with(job.dst.get()) > kInPlaceFolders &&
               abort_requested != 1) {
            if (!retire_oldest()) {
                return false;
            }
        }
        // A large file's time goes to its data, which staging does not
        // slow; flushed on its own, its rename would wait for all of it to
        // reach the server's disk, with no sign of life meanwhile.
        job.in_place = visit.in_place && job.src_status.size < platform::kCopyChunkBytes;
        job.staging = job.in_place ? nullptr : staging_for(*job.dst);
        stage_->submit(std::move(job));
    }
    if (stage_->full() && abort_requested != 1) {
        if (!stage_->wait_for_room(s_.pump)) {
            return hung();
        }
        for (std::size_t n = stage_->room_step(); n > 0 && abort_requested != 1; --n) {
            if (!retire_oldest()) {
                return false;
            }
        }
    }
    return abort_requested != 1;
}

bool BackupEngine::retire_oldest() {
    std::optional<CopyDone> done = stage_->take_oldest(s_.pump);
    if (!done) {
        return hung();
    }
    retire_and_serve(std::move(*done));
    return true;
}

bool BackupEngine::hung() {
    // Stopped, and a copy did not end in time, or none ended for the
    // silence bound: a share hangs. A copy waits on the source's share only
    // where the destination is no share.
    note_silence(src_on_share_ && !on_share_);
    share_hung_ = true;
    abort_requested = 1;
    return false;
}

void BackupEngine::retire_and_serve(CopyDone done) {
    retire(std::move(done));
    s_.report.file_finished();
    s_.pump.process_events();
}

void BackupEngine::retire(CopyDone done) {
    while (done.end == CopyEnd::kFailed && freed_descriptors(done.error, false)) {
        // Out of descriptors: the batch committed freed some; tried again
        // here, in its turn.
        done = run_copy_job(std::move(done.job), stage_->shared());
    }
    const CopyJob& job = done.job;
    switch (done.end) {
        case CopyEnd::kUpToDate:
        case CopyEnd::kGone:
        case CopyEnd::kStopped:
            return;
        case CopyEnd::kRuleUnreadable:
            if (abort_requested != 1) {
                s_.report.open_files_option_unreadable(
                    run_settings_.options.skip_open_files.text());
                abort_requested = 1;
            }
            return;
        case CopyEnd::kRefused:
            copy_failed(job.skip_mode, job.src_path, job.dst_path, SkipReason::kCaseCollision, 0);
            return;
        case CopyEnd::kFailed:
            destination_lost_ = destination_lost_ || done.destination_gone;
            copy_failed(job.skip_mode, job.src_path, job.dst_path, SkipReason::kCopyFailed,
                        done.error, !job.set_folder.empty());
            return;
        case CopyEnd::kCopied:
            copied_in_set_ = true;
            break;
    }
    if (abort_requested == 1 && (failure_shown_ || ending_error_)) {
        return;  // after the failure box no copy replaces an old one
    }
    if (done.staged.pending()) {
        if (batch_folders_.empty() || batch_folders_.back().second != job.dst) {
            batch_folders_.emplace_back(job.dst->device, job.dst);
        }
        batch_bytes_ += job.src_status.size;
        batch_.push_back(PendingCopy{job.dst, job.staging, std::move(done.staged), job.src_path,
                                     job.dst_path, job.skip_mode});
    }
    if (batch_full()) {
        commit_batch(false);
    }
}

void BackupEngine::drain() {
    while (stage_->in_flight() > 0 && abort_requested != 1 && retire_oldest()) {
    }
}

void BackupEngine::finish_copies() {
    if (abort_requested != 1) {
        drain();
    }
    if (abort_requested == 1 && !share_hung_ && !stage_->stop_in_flight(s_.pump)) {
        share_hung_ = true;
    }
    if (share_hung_) {
        abandon_copies();
        return;
    }
    // Also after a stop: the copies made so far are flushed and renamed,
    // none stays a temporary file.
    commit_batch(true);
}

void BackupEngine::abandon_copies() {
    // Nothing more is asked of a destination that stopped answering: the
    // copies waiting for their batch stay temporary files, which the next
    // run removes, and the old copies stay as they are. What they hold is
    // released with the stage's last worker, not on this thread.
    share_hung_ = true;
    struct Left {
        CopyStage::Aside commit;
        std::shared_ptr<CommitWork> work;
        std::vector<PendingCopy> batch;
    };
    stage_->abandon(std::make_shared<Left>(
        Left{std::move(commit_), std::move(commit_work_), std::move(batch_)}));
    commit_.reset();
    commit_work_.reset();
    committing_ = 0;
    discard_batch();
}

std::vector<bool> BackupEngine::case_collisions(
    const std::vector<platform::Directory::Entry>& entries, const std::string& relative,
    const std::shared_ptr<const Destination>& dst) {
    std::vector<bool> refused(entries.size(), false);
    const auto shared = shared_folder_.find(relative);
    const std::string canonical = shared != shared_folder_.end() ? shared->second : relative;
    const auto put_here = names_put_.find(canonical);
    const std::vector<PutName> none;
    const std::vector<PutName>& put = put_here != names_put_.end() ? put_here->second : none;
    // Candidates by the hash of their folded names: first the names other
    // source folders put here, then this listing's, in order. A run without
    // such names pays for the hashes only.
    const std::size_t before = put.size();
    const auto name_of = [&](std::size_t k) -> const std::string& {
        return k < before ? put[k].name : entries[k - before].name;
    };
    const auto is_folder = [&](std::size_t k) {
        return k < before ? !put[k].source_folder.empty()
                          : entries[k - before].type == platform::EntryType::kFolder;
    };
    std::vector<std::pair<std::uint64_t, std::size_t>> keys;
    for (std::size_t k = 0; k < before + entries.size(); ++k) {
        if (k >= before && (entries[k - before].hidden ||
                            entries[k - before].type == platform::EntryType::kSystem)) {
            continue;
        }
        keys.emplace_back(fold_hash(name_of(k)), k);
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t a = 0, b = 0; a < keys.size() && dst->folder.is_open(); a = b) {
        for (b = a + 1; b < keys.size() && keys[b].first == keys[a].first; ++b) {
        }
        std::vector<std::size_t> left;
        for (std::size_t k = a; k < b; ++k) {
            left.push_back(keys[k].second);
        }
        while (left.size() >= 2) {
            // The names of one folded key, in order; the folder decides which
            // of them are one entry there.
            const std::u32string key = fold_key(name_of(left.front()));
            std::vector<std::size_t> group, rest;
            for (const std::size_t k : left) {
                (fold_key(name_of(k)) == key ? group : rest).push_back(k);
            }
            left = std::move(rest);
            if (group.size() < 2 || group.back() < before) {
                continue;
            }
            std::vector<std::string> names;
            for (const std::size_t k : group) {
                names.push_back(name_of(k));
            }
            const auto coinciding = answered(
                on_share_, [dst, names] { return platform::coinciding_names(dst->folder, names); });
            if (!coinciding) {
                return refused;  // the destination stopped answering during a stop
            }
            const std::vector<int>& same = *coinciding;
            for (std::size_t j = 1; j < group.size(); ++j) {
                const std::size_t k = group[j];
                if (same[j] < 0 || k < before) {
                    continue;
                }
                const std::size_t first = group[static_cast<std::size_t>(same[j])];
                if (!is_folder(k) || !is_folder(first)) {
                    refused[k - before] = true;
                    continue;
                }
                // Two source folders fill one destination folder: the names
                // both put there are checked against each other.
                const std::string target = canonical + platform::kPathSeparator + name_of(first);
                shared_folder_[relative + platform::kPathSeparator + name_of(k)] = target;
                shared_folder_.emplace(first < before
                                           ? put[first].source_folder
                                           : relative + platform::kPathSeparator + name_of(first),
                                       target);
                names_put_[target];
            }
        }
    }
    return refused;
}

void BackupEngine::too_long(bool folder, const std::string& path) {
    drain();
    s_.report.path_too_long(folder, path);
    abort_requested = 1;
}

void BackupEngine::record_skipped(const std::string& dst_path, SkipReason why, int error) {
    if (!batch_.empty() && !telling_batch_) {
        // A copy of the batch before it may still fail at its rename: the
        // line waits for the batch, so the lines keep the walk's order.
        waiting_lines_.push_back(WaitingLine{batch_.size(), dst_path, why, error});
        return;
    }
    s_.report.file_skipped(dst_path, why, error);
}

void BackupEngine::tell_waiting_lines(std::size_t up_to) {
    telling_batch_ = true;
    std::size_t told = 0;
    for (; told < waiting_lines_.size() && waiting_lines_[told].before <= up_to; ++told) {
        const WaitingLine& line = waiting_lines_[told];
        s_.report.file_skipped(line.dst_path, line.why, line.error);
    }
    waiting_lines_.erase(waiting_lines_.begin(),
                         waiting_lines_.begin() + static_cast<std::ptrdiff_t>(told));
    telling_batch_ = false;
}

void BackupEngine::walk_skipped(const std::string& dst_path, SkipReason why, int error) {
    drain();
    record_skipped(dst_path, why, error);
}

bool BackupEngine::destination_gone() {
    if (!destination_lost_ && dst_root_status_) {
        destination_lost_ =
            answered(on_share_, [path = dst_folder_, device = dst_root_status_->device,
                                 inode = dst_root_status_->inode] {
                return folder_gone(path, device, inode);
            }).value_or(false);
    }
    return destination_lost_;
}

void BackupEngine::copy_failed(bool skip_mode, const std::string& src_path,
                               const std::string& dst_path, SkipReason why, int error,
                               bool checked) {
    if (checked ? destination_lost_ : destination_gone()) {
        abort_requested = 1;  // the set ends as a missing folder
        return;
    }
    if (skip_mode) {
        record_skipped(dst_path, why, error);
        return;
    }
    // The batch being committed holds copies the walk reached before this
    // one: they are in place, or their failure is told, before the box,
    // and none is renamed after it.
    end_commit();
    if (ending_error_) {
        return;  // its flush failed: that ends the run
    }
    if (failure_shown_) {
        // The run is stopping: the copies of its last batch that fail too
        // are named in the history, not in a box each.
        record_skipped(dst_path, why, error);
        return;
    }
    failure_shown_ = true;
    s_.report.copy_failed(src_path, dst_path, why, error);
    abort_requested = 1;
}

BackupEngine::DeviceFacts& BackupEngine::device_facts(std::uint64_t device) {
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [device](const DeviceFacts& d) { return d.device == device; });
    if (it != devices_.end()) {
        return *it;
    }
    return devices_.emplace_back(DeviceFacts{device});
}

std::uint64_t BackupEngine::unflushed_bytes() const {
    return stage_->shared().unflushed.load();
}

bool BackupEngine::freed_descriptors(int err, bool from_walk) {
    if (err != EMFILE && err != ENFILE) {
        return false;
    }
    if (from_walk && stage_->in_flight() > 0) {
        drain();  // the copies in flight hold their files open
    } else if (batch_folders_.empty() && !commit_) {
        return false;
    }
    commit_batch(true);
    return true;
}

bool BackupEngine::batch_full() {
    // While one batch is committed the next fills: each may hold half the
    // folders a batch may keep open.
    return batch_.size() - committing_ >= (on_share_ ? kShareBatchFiles : kBatchFiles) ||
           batch_bytes_ >= kBatchBytes ||
           batch_folders_.size() >= std::max<std::size_t>(batch_folder_limit_ / 2, 1) ||
           unflushed_bytes() >= stage_->shared().pace.bound();
}

// A batch on its way to the disk, owned by the task that commits it.
struct BackupEngine::CommitWork {
    std::vector<std::shared_ptr<const CopyDestination>> folders;  // one per file system
    // Every folder a copy waits in or is renamed into, open until it is:
    // a commit left to its worker outlives the batch.
    std::vector<std::shared_ptr<const CopyDestination>> open;
    std::vector<platform::StagedCopy> copies;
    std::uint64_t device = 0;     // the destination's, for its speed
    std::uint64_t unflushed = 0;  // bytes waiting for a flush when it began
    int flush_error = 0;
    std::vector<std::pair<std::size_t, int>> failed;  // copy, rename error
    double seconds = 0;
};

void BackupEngine::commit_batch(bool wait) {
    end_commit();
    if (ending_error_) {
        discard_batch();  // after a failed flush no copy replaces an old one
        return;
    }
    if (batch_.empty() && batch_folders_.empty()) {
        return;
    }
    auto work = std::make_shared<CommitWork>();
    std::vector<std::uint64_t> devices;
    for (const auto& [device, destination] : batch_folders_) {
        if (std::find(devices.begin(), devices.end(), device) == devices.end()) {
            devices.push_back(device);
            work->folders.push_back(destination);
        }
    }
    for (auto& copy : batch_) {
        work->open.push_back(copy.folder);
        if (copy.staging) {
            work->open.push_back(copy.staging);
        }
        work->copies.push_back(std::move(copy.staged));
    }
    work->device = current_device_;
    // The commit's flush writes what waits now; what the copies write from
    // here on waits for the next one.
    work->unflushed = stage_->shared().unflushed.exchange(0);
    committing_ = batch_.size();
    batch_folders_.clear();
    batch_bytes_ = 0;
    commit_work_ = work;
    // Flushed and renamed on the stage's thread for such tasks, while the
    // walk goes on filling the next batch.
    commit_ = stage_->start_aside([work] {
        // Flushed first, then renamed: a power cut leaves the old or the
        // new copy, never an empty one.
        const double started = platform::monotonic_seconds();
        for (const auto& folder : work->folders) {
            if (work->flush_error == 0) {
                work->flush_error = folder->folder.sync_file_system().error();
            }
        }
        work->seconds = platform::monotonic_seconds() - started;
        // Copies not known to be on the disk never replace the old ones.
        for (std::size_t i = 0; work->flush_error == 0 && i < work->copies.size(); ++i) {
            if (const auto renamed = work->copies[i].commit(); !renamed) {
                work->failed.emplace_back(i, renamed.error());
            }
        }
        work->copies.clear();  // removes the temporary files of copies not renamed
    });
    if (wait) {
        end_commit();
    }
}

void BackupEngine::end_commit() {
    if (!commit_) {
        return;
    }
    if (!stage_->finish_aside(s_.pump, CopyStage::Aside(commit_))) {
        note_silence(false);
        abandon_copies();  // the destination does not answer
        return;
    }
    commit_.reset();
    const std::shared_ptr<CommitWork> work = std::move(commit_work_);
    if (work->flush_error != 0) {
        committing_ = 0;
        discard_batch();
        // A run already stopping ends as stopped: the stop is what the user
        // sees. Otherwise the walk stops here, and the run ends with this.
        if (abort_requested != 1) {
            ending_error_ = error_from_errno(work->flush_error, FileOperation::kFlush, dst_base_);
            abort_requested = 1;
        }
        return;
    }
    stage_->shared().pace.flushed(work->device, work->unflushed, work->seconds);
    const bool box_before = failure_shown_;
    for (const auto& [i, error] : work->failed) {
        tell_waiting_lines(i);
        const PendingCopy& copy = batch_[i];
        telling_batch_ = true;
        copy_failed(copy.skip_mode, copy.src_path, copy.dst_path, SkipReason::kCopyFailed, error);
        telling_batch_ = false;
    }
    tell_waiting_lines(committing_);
    batch_.erase(batch_.begin(), batch_.begin() + static_cast<std::ptrdiff_t>(committing_));
    for (WaitingLine& line : waiting_lines_) {
        line.before -= committing_;
    }
    committing_ = 0;
    if (failure_shown_ && !box_before) {
        // After the box no copy replaces an old one: those staged since
        // come after the failed one in the walk's order.
        discard_batch();
    }
}

void BackupEngine::discard_batch() {
    tell_waiting_lines(batch_.size());
    batch_.clear();  // removes the temporary files of copies not renamed
    batch_folders_.clear();
    batch_bytes_ = 0;
    if (stage_ != nullptr) {
        stage_->shared().unflushed = 0;
    }
}

void BackupEngine::restore_folder_modes() {
    // Deepest first, so no folder is closed to its owner before the folders
    // below it are done.
    if (dst_root_ && !folder_modes_.empty()) {
        (void)answered(on_share_, [root = dst_root_, modes = std::move(folder_modes_)] {
            for (auto it = modes.rbegin(); it != modes.rend(); ++it) {
                if (const auto folder = root->open_below(it->first)) {
                    (void)folder->set_mode(it->second);
                }
            }
            return true;
        });
    }
    folder_modes_.clear();
}

std::shared_ptr<const BackupEngine::Destination> BackupEngine::staging_for(const Destination& dst) {
    if (!platform::kStagesInOtherFolders || !on_share_ || !dst_root_status_ ||
        dst.device != dst_root_status_->device) {
        return nullptr;
    }
    // Newer-only, most runs copy little: the folders are made once a copy
    // was (the copies in flight meanwhile wait in their own folders).
    if (!staging_made_ && (!run_settings_.options.newer_only() || copied_in_set_)) {
        staging_made_ = true;
        // One folder a copy in flight: a share lets one request at a time
        // make or rename a file in a folder, so copies made in one folder
        // would wait for each other there.
        const auto made = answered(true, [root = dst_root_, device = dst.device] {
            std::vector<std::pair<std::string, std::shared_ptr<const Destination>>> out;
            for (std::size_t i = 0; i < kNetworkCopies; ++i) {
                auto folder = platform::make_staging_folder(*root);
                if (!folder) {
                    break;  // the copies wait in their own folders, as elsewhere
                }
                auto staging =
                    std::make_shared<const Destination>(std::move(folder->second), device);
                // A clean-up of another program may have taken it before its
                // lock was; then it is not ours to use.
                if (staging->lock.held() &&
                    platform::still_named_in(*root, folder->first, staging->folder)) {
                    out.emplace_back(std::move(folder->first), std::move(staging));
                }
            }
            return out;
        });
        if (made) {
            staging_ = std::move(*made);
        }
    }
    if (staging_.empty()) {
        return nullptr;
    }
    return staging_[next_staging_++ % staging_.size()].second;
}

void BackupEngine::remove_staging_folders() {
    std::vector<std::string> names;
    for (auto& [name, folder] : staging_) {
        names.push_back(name);
        folder.reset();  // its lock goes with it, so it can be removed
    }
    staging_.clear();
    staging_made_ = false;
    copied_in_set_ = false;
    next_staging_ = 0;
    if (names.empty() || share_hung_ || !dst_root_) {
        return;  // a copy may still wait there: the next run removes them
    }
    (void)answered(on_share_, [root = dst_root_, names] {
        for (const auto& name : names) {
            (void)platform::remove_staging_folder(*root, name);
        }
        return true;
    });
}

}  // namespace tarvenix
