#include "engine/backup_engine.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <new>

namespace tarvenix {
namespace {

constexpr std::int32_t kDefaultBeep = 0;

// A source or destination given with a trailing separator (a root: "/",
// "C:\") would otherwise give doubled separators when names are joined to it.
std::string without_trailing_separator(const std::string& folder) {
    std::string out = folder;
    while (!out.empty() && out.back() == platform::kPathSeparator) {
        out.pop_back();
    }
    return out;
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

std::optional<double> parse_option_number(std::string_view text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string trimmed(text.substr(begin, text.find_last_not_of(' ') - begin + 1));
    char* end = nullptr;
    const double value = std::strtod(trimmed.c_str(), &end);
    if (end == trimmed.c_str() || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

BackupEngine::BackupEngine(const EngineServices& services)
    : s_(services) {}

void BackupEngine::clear_folder_table() {
    folder_table_.clear();
}

bool BackupEngine::history_on() const {
    return s_.settings.model.options.record_history == "1";
}

RunOutcome BackupEngine::run_backup(std::int16_t run_trigger) {
    if (running_) {
        return RunOutcome::kRefused;
    }
    running_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{running_};

    // A stop request cannot outlive the run it was meant for.
    abort_requested = 0;
    s_.history.write_history(history_kind::kStart, run_trigger, "");
    s_.progress.show();
    clear_folder_table();
    if (!s_.store.load_settings()) {
        // The loader has told the user; running on half-loaded settings could
        // copy the wrong folders, so the run ends here.
        timer_slot = 0;
        s_.progress.hide();
        return RunOutcome::kSystemError;
    }
    try {
        for (int k = 0; k < kSetCount; ++k) {
            const BackupSet& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
            if (set.skip_set == "1") {
                if (history_on()) {
                    s_.history.write_history(history_kind::kSkippedSet, run_trigger::kNone,
                                             set.src_folder);
                }
            } else if (!set.src_folder.empty() && !set.dst_folder.empty()) {
                if (!s_.vostrel.Search_path(set.src_folder)) {
                    return missing_folder_end(run_trigger, "コピー元フォルダが見つかりません！",
                                              set.src_folder);
                }
                if (!s_.vostrel.Search_path(set.dst_folder)) {
                    return missing_folder_end(run_trigger, "コピー先フォルダが見つかりません！",
                                              set.dst_folder);
                }
                s_.progress.set_label(ProgressLabel::srcfld, set.src_folder);
                s_.progress.set_label(ProgressLabel::dstfld, set.dst_folder);
                s_.pump.process_events();
                walk_backup_set(k);
                // "[Success]" promises the copies are on the disk: flush the
                // destination's file system once per set, not once per file.
                // A run already stopping ends as stopped: the flush's error
                // must not hide the copy failure the user was just told of.
                int err = 0;
                const platform::Directory dst = platform::Directory::open(set.dst_folder, &err);
                if (dst.is_open() && (err = dst.sync_file_system()) != 0 && abort_requested != 1) {
                    throw error_from_errno(err, FileOperation::kFlush, set.dst_folder);
                }
            }
            if (abort_requested == 1) {
                return stopped_end(run_trigger);
            }
        }
    } catch (const SystemError& error) {
        return system_error_end(error);
    } catch (const std::bad_alloc&) {
        return system_error_end(SystemError(
            error_code::kOutOfMemory, std::string(describe_error_code(error_code::kOutOfMemory))));
    } catch (const std::exception& error) {
        return system_error_end(SystemError(error_code::kInternal, error.what()));
    }
    if (history_on()) {
        s_.history.write_history(history_kind::kSuccess, run_trigger, "");
    }
    s_.sound.message_beep(kDefaultBeep);
    s_.progress.hide();
    if (timer_slot >= 1 && timer_slot <= kStartTimeCount &&
        s_.settings.model.options.shutdown_after[static_cast<std::size_t>(timer_slot - 1)]) {
        s_.vostrel.ExitWindows(s_.vostrel.ExwShutdown);
    }
    timer_slot = 0;
    return RunOutcome::kCompleted;
}

RunOutcome BackupEngine::missing_folder_end(std::int16_t run_trigger, std::string_view first_line,
                                            const std::string& folder) {
    abort_requested = 0;
    s_.vostrel.Msg_Box(s_.vostrel.KindErr,
                       std::string(first_line) + "\r" + folder + "\rバックアップを中止します！");
    s_.progress.hide();
    if (history_on()) {
        s_.history.write_history(history_kind::kFail, run_trigger, "");
    }
    timer_slot = 0;
    return RunOutcome::kMissingFolder;
}

RunOutcome BackupEngine::stopped_end(std::int16_t run_trigger) {
    abort_requested = 0;
    s_.vostrel.Msg_Box(s_.vostrel.KindErr, "バックアップが中止されました！");
    s_.progress.hide();
    if (history_on()) {
        s_.history.write_history(history_kind::kCancel, run_trigger, "");
    }
    timer_slot = 0;
    return RunOutcome::kStopped;
}

RunOutcome BackupEngine::system_error_end(const SystemError& error) {
    discard_batch();
    s_.reporter.report_system_error(error);
    s_.progress.hide();
    timer_slot = 0;
    return RunOutcome::kSystemError;
}

void BackupEngine::walk_backup_set(int k) {
    clear_folder_table();
    const BackupSet& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
    src_base_ = without_trailing_separator(set.src_folder);
    dst_base_ = without_trailing_separator(set.dst_folder);
    int err = 0;
    src_root_ = platform::Directory::open(src_base_ + platform::kPathSeparator, &err);
    dst_root_ = platform::Directory::open(dst_base_ + platform::kPathSeparator, &err);
    dst_root_status_ = dst_root_.is_open() ? dst_root_.own_status() : std::nullopt;
    fresh_folders_.clear();
    folder_modes_.clear();
    const bool subfolders = set.copy_subfolders != "0";

    for (std::size_t level = 0;; ++level) {
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
    // Also after a stop: the copies made so far are flushed and renamed,
    // none stays a temporary file.
    commit_batch();
    restore_folder_modes();
    current_dst_.reset();
    src_root_ = platform::Directory();
    dst_root_ = platform::Directory();
    fresh_folders_.clear();
}

bool BackupEngine::walk_folder(std::size_t level, const std::string& relative) {
    s_.progress.set_label(ProgressLabel::subfld, relative);
    s_.pump.process_events();

    int err = 0;
    platform::Directory src_dir;
    if (src_root_.is_open()) {
        src_dir = src_root_.open_below(relative, &err);
    }
    std::vector<platform::Directory::Entry> entries;
    if (!src_dir.is_open() || (err = src_dir.list(entries)) != 0) {
        // A folder that cannot be read is passed over, but never silently: a
        // run that missed it must not look complete in the history.
        if (err != ENOENT) {
            record_skipped(dst_base_ + relative);
        }
        return true;
    }
    auto dst_dir = std::make_shared<platform::Directory>();
    if (dst_root_.is_open()) {
        *dst_dir = dst_root_.open_below(relative, &err);
        // Never waits: a folder another program holds locked is copied into
        // all the same, only without removing temporary files found there.
        dst_dir->hold_copy_lock();
    }
    const auto dst_status = dst_dir->is_open() ? dst_dir->own_status() : std::nullopt;
    if (dst_status && !relative.empty()) {
        // A folder copied from a read-only one (or left read-only by an
        // earlier run) is writable for its owner while its files are copied;
        // it gets the source folder's bits when the walk is done.
        const auto src_status = src_dir.own_status();
        const std::uint32_t wanted = (src_status ? src_status->mode : dst_status->mode) & 0777;
        if ((dst_status->mode & 0700) != 0700) {
            dst_dir->set_mode(dst_status->mode | 0700);
        }
        if ((dst_status->mode & 0777) != wanted || (dst_status->mode & 0700) != 0700) {
            folder_modes_.emplace_back(relative, wanted);
        }
    }
    current_dst_ = dst_dir;
    current_device_ = dst_status ? dst_status->device : 0;
    const bool fresh = fresh_folders_.count(relative) != 0;
    const bool overwrite_all = s_.settings.model.options.copy_mode != "1";

    // The whole listing is read before anything is copied, so the copies
    // cannot disturb it.
    for (const auto& entry : entries) {
        const std::string& name = entry.name;
        if (entry.hidden) {
            continue;
        }
        platform::EntryType type = entry.type;
        std::optional<platform::FileStatus> st;
        if (type == platform::EntryType::kUnknown || type == platform::EntryType::kFolder) {
            st = src_dir.status_of(name, false);
            if (!st) {
                continue;  // gone since the listing
            }
            type = st->type;
        }
        if (type == platform::EntryType::kSystem) {
            continue;  // FIFOs, sockets and devices are never read
        }
        const std::string src_path = src_base_ + relative + platform::kPathSeparator + name;
        if (type == platform::EntryType::kFolder) {
            if (s_.vostrel.LenByte(src_path) > kPathByteLimit) {
                too_long(true, src_path);
                return false;
            }
            if (dst_root_status_ && st->device == dst_root_status_->device &&
                st->inode == dst_root_status_->inode) {
                continue;  // the destination lies inside the source: never copy it into itself
            }
            std::string child = relative + platform::kPathSeparator + name;
            if (dst_dir->is_open() && (fresh || !dst_dir->status_of(name, false))) {
                // Made writable for its owner, so its files can be copied
                // into it; a failure shows later, when they cannot be.
                const std::uint32_t mode = st->mode & 0777;
                if (dst_dir->make_folder(name, mode | 0700) == 0) {
                    fresh_folders_.insert(child);
                    if ((mode & 0700) != 0700) {
                        folder_modes_.emplace_back(child, mode);
                    }
                }
            }
            folder_table_.add(level + 1, std::move(child));
            continue;
        }
        if (s_.vostrel.LenByte(src_path) > kPathByteLimit) {
            too_long(false, src_path);
            return false;
        }
        const std::string dst_path = dst_base_ + relative + platform::kPathSeparator + name;
        // A link is copied as a link, never followed.
        const bool is_link = type == platform::EntryType::kLink;
        // Overwriting every file, the source is opened right away and its
        // status read from the open file; newer-only, most files are not
        // copied, so a stat is all they cost.
        platform::OpenFile source;
        int open_error = 0;
        if (overwrite_all && !is_link) {
            source = platform::OpenFile::open_at(src_dir, name, false, &open_error);
            if (source.is_open()) {
                st = source.status();
            } else if (open_error == ENOENT || open_error == ELOOP) {
                continue;  // gone, or turned into a link, since the listing
            }
        }
        if (!st) {
            st = src_dir.status_of(name, false, &err);
            if (!st) {
                if (err != ENOENT) {
                    record_skipped(dst_path);  // cannot even be examined
                }
                continue;
            }
        }
        if (st->type != (is_link ? platform::EntryType::kLink : platform::EntryType::kFile)) {
            continue;  // changed since the listing
        }
        s_.progress.file_started(name, st->size);
        s_.pump.process_events();
        copy_one_file(FileJob{src_dir, *dst_dir, fresh, name, src_path, dst_path, *st, source,
                              open_error, is_link});
        if (batch_full()) {
            commit_batch();
        }
        s_.progress.file_finished();
        s_.pump.process_events();
        if (abort_requested == 1) {
            return false;
        }
    }
    return true;
}

void BackupEngine::too_long(bool folder, const std::string& path) {
    std::string message =
        folder ? "フォルダの長さが長すぎます！" : "フォルダ+ファイルの長さが長すぎます！";
    message += "\rフルパスで255文字以内にして下さい\r\r";
    message += path;
    s_.vostrel.Msg_Box(s_.vostrel.KindErr, message);
    abort_requested = 1;
}

void BackupEngine::record_skipped(const std::string& dst_path) {
    s_.history.write_history(history_kind::kSkippedFile, run_trigger::kNone, dst_path);
}

void BackupEngine::copy_one_file(const FileJob& job) {
    const GlobalOptions& options = s_.settings.model.options;
    try {
        int err = 0;
        if (options.copy_mode == "1" && job.dst_dir.is_open() && !job.dst_dir_is_fresh) {
            // The entry's own status: a link standing there is never
            // followed, and one standing where a file's copy belongs is
            // replaced by the copy.
            const auto dst = job.dst_dir.status_of(job.name, false, &err);
            if (dst && dst->type == job.src_status.type &&
                job.src_status.mtime_sec <= dst->mtime_sec) {
                return;  // the destination is as new or newer
            }
            if (dst || err == ENOENT) {
                err = 0;
            }
        }
        const auto skip_open_files = parse_option_number(options.skip_open_files);
        if (!skip_open_files) {
            throw SystemError(error_code::kTypeMismatch,
                              std::string(describe_error_code(error_code::kTypeMismatch)) +
                                  error_detail("オープン中のファイルの設定",
                                               "「" + options.skip_open_files + "」"));
        }
        const bool skip_mode = *skip_open_files == 1;
        if (err == 0) {
            err = job.open_error;
        }
        if (err == 0 && !job.is_link && !job.source.is_open()) {
            job.source = platform::OpenFile::open_at(job.src_dir, job.name, false, &err);
            if (err == ENOENT || err == ELOOP) {
                return;  // gone, or turned into a link, since the listing
            }
        }
        if (err == 0 && !job.dst_dir.is_open()) {
            err = ENOENT;  // the destination folder could not be made or opened
        }
        PendingCopy pending{current_dst_, {}, job.src_path, job.dst_path, skip_mode};
        if (err == 0 && job.is_link) {
            // A link's copy is a name and a short text, which the file
            // system's journal carries with the rename: it needs no batch.
            err = platform::copy_link_at(job.src_dir, job.name, job.dst_dir, job.name);
        } else if (err == 0) {
            platform::CopyOptions copy;
            copy.refuse_locked_source = skip_mode;
            copy.target_known_absent = job.dst_dir_is_fresh;
            copy.staged = &pending.staged;
            // A large file's copy serves the user between its chunks, so a
            // stop takes effect within it.
            copy.between_chunks = [this] {
                s_.pump.process_events();
                return abort_requested != 1;
            };
            if (skip_mode) {
                err = platform::copy_open_file(job.source, job.dst_dir, job.name, copy);
            } else if (s_.vostrel.FileCopy(job.source, job.dst_dir, job.name, copy) == 0) {
                err = s_.vostrel.LastError() != 0 ? s_.vostrel.LastError() : EIO;
            }
        }
        if (err == ECANCELED && abort_requested == 1) {
            return;  // stopped within the copy: the old copy stays
        }
        if (err != 0) {
            copy_failed(skip_mode, job.src_path, job.dst_path);
            return;
        }
        if (pending.staged.pending()) {
            if (batch_folders_.empty() || batch_folders_.back().second != current_dst_) {
                batch_folders_.emplace_back(current_device_, current_dst_);
            }
            batch_bytes_ += job.src_status.size;
            batch_.push_back(std::move(pending));
        }
    } catch (const SystemError& error) {
        s_.reporter.report_system_error(error);
        abort_requested = 1;
    }
}

void BackupEngine::copy_failed(bool skip_mode, const std::string& src_path,
                               const std::string& dst_path) {
    if (skip_mode) {
        record_skipped(dst_path);
        return;
    }
    s_.vostrel.Msg_Box(s_.vostrel.KindErr,
                       "ファイルをコピーできません！\r\rコピー元 = " + src_path + "\rコピー先 = " +
                           dst_path + "\r\rファイルの属性やフォルダの権限等を確認して下さい。");
    abort_requested = 1;
}

bool BackupEngine::batch_full() const {
    return batch_.size() >= kBatchFiles || batch_bytes_ >= kBatchBytes ||
           batch_folders_.size() >= kBatchFolders;
}

void BackupEngine::commit_batch() {
    int err = 0;
    std::vector<std::uint64_t> flushed;
    for (const auto& [device, folder] : batch_folders_) {
        if (err == 0 && std::find(flushed.begin(), flushed.end(), device) == flushed.end()) {
            flushed.push_back(device);
            err = folder->sync_file_system();
        }
    }
    if (err != 0) {
        // Copies not known to be on the disk never replace the old ones.
        discard_batch();
        if (abort_requested == 1) {
            return;  // the run is stopping: the stop is what the user sees
        }
        throw error_from_errno(err, FileOperation::kFlush, dst_base_);
    }
    for (auto& copy : batch_) {
        if (copy.staged.commit() != 0) {
            copy_failed(copy.skip_mode, copy.src_path, copy.dst_path);
        }
    }
    discard_batch();
}

void BackupEngine::discard_batch() {
    batch_.clear();  // removes the temporary files of copies not renamed
    batch_folders_.clear();
    batch_bytes_ = 0;
}

void BackupEngine::restore_folder_modes() {
    // Deepest first, so no folder is closed to its owner before the folders
    // below it are done.
    for (auto it = folder_modes_.rbegin(); it != folder_modes_.rend(); ++it) {
        int err = 0;
        const platform::Directory folder = dst_root_.open_below(it->first, &err);
        if (folder.is_open()) {
            folder.set_mode(it->second);
        }
    }
    folder_modes_.clear();
}

}  // namespace tarvenix
