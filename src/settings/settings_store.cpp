#include "settings/settings_store.h"

#include <cctype>
#include <cstdlib>

#include "common/text_codec.h"

namespace tarvenix {
namespace {

// Record numbers in system.dat.
constexpr int kCopyModeRecord = 1;
constexpr int kStartAtLaunchRecord = 2;
constexpr int kBackupAtCloseRecord = 3;
constexpr int kStartAtTimeRecord = 4;
constexpr int kSkipOpenFilesRecord = 5;
constexpr int kRecordHistoryRecord = 6;
constexpr int kShutdownRecord = 7;    // 7..9
constexpr int kHourRecord = 10;       // 10..12
constexpr int kMinuteRecord = 13;     // 13..15
constexpr int kSourceRecord = 16;     // 16..23
constexpr int kDestRecord = 24;       // 24..31
constexpr int kSubfolderRecord = 32;  // 32..39
constexpr int kSkipRecord = 40;       // 40..47

bool ascii_iequals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string trimmed(const std::optional<std::string>& record) {
    return record ? std::string(text::trim_right_spaces(*record)) : std::string();
}

}  // namespace

std::optional<bool> parse_settings_boolean(std::string_view text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(begin, text.find_last_not_of(' ') - begin + 1);
    if (ascii_iequals(text, "true")) {
        return true;
    }
    if (ascii_iequals(text, "false")) {
        return false;
    }
    // A decimal number: sign, digits, optional fraction.
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    bool digits = false;
    bool nonzero = false;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            digits = true;
            nonzero = nonzero || c != '0';
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    return nonzero;
}

SettingsState::SettingsState() {
    // Every change of a control, by the user or by the program, marks the
    // settings changed; the load clears the mark after filling the page.
    page.add_listener([this](const PageEvent& event) {
        if (event.kind == PageEvent::Kind::kControl) {
            settings_changed = 1;
        }
    });
}

SettingsStore::SettingsStore(SettingsState& state, std::string settings_file_path,
                             SystemErrorReporter& reporter)
    : state_(state)
    , file_(std::move(settings_file_path))
    , reporter_(reporter) {}

bool SettingsStore::load_settings() {
    try {
        const auto records = file_.read_all();
        auto record = [&](int n) -> const std::optional<std::string>& {
            return records[static_cast<std::size_t>(n - 1)];
        };
        GlobalOptions& o = state_.model.options;
        o.copy_mode = trimmed(record(kCopyModeRecord));
        o.start_at_launch = trimmed(record(kStartAtLaunchRecord));
        o.backup_at_close = trimmed(record(kBackupAtCloseRecord));
        o.start_at_time = trimmed(record(kStartAtTimeRecord));
        o.skip_open_files = trimmed(record(kSkipOpenFilesRecord));
        o.record_history = trimmed(record(kRecordHistoryRecord));
        for (int k = 0; k < kStartTimeCount; ++k) {
            const auto& r = record(kShutdownRecord + k);
            if (!r) {
                o.shutdown_after[static_cast<std::size_t>(k)] = false;
                continue;
            }
            const auto value = parse_settings_boolean(trimmed(r));
            if (!value) {
                throw SystemError(
                    error_code::kTypeMismatch,
                    std::string(describe_error_code(error_code::kTypeMismatch)) +
                        error_detail("system.dat のレコード " + std::to_string(kShutdownRecord + k),
                                     "「" + trimmed(r) + "」"));
            }
            o.shutdown_after[static_cast<std::size_t>(k)] = *value;
        }
        for (std::size_t k = 0; k < kStartTimeCount; ++k) {
            o.start_hour[k] = trimmed(record(kHourRecord + static_cast<int>(k)));
        }
        for (std::size_t k = 0; k < kStartTimeCount; ++k) {
            o.start_minute[k] = trimmed(record(kMinuteRecord + static_cast<int>(k)));
        }
        for (std::size_t k = 0; k < kSetCount; ++k) {
            state_.model.sets[k].src_folder = trimmed(record(kSourceRecord + static_cast<int>(k)));
        }
        for (std::size_t k = 0; k < kSetCount; ++k) {
            state_.model.sets[k].dst_folder = trimmed(record(kDestRecord + static_cast<int>(k)));
        }
        for (std::size_t k = 0; k < kSetCount; ++k) {
            state_.model.sets[k].copy_subfolders =
                trimmed(record(kSubfolderRecord + static_cast<int>(k)));
        }
        for (std::size_t k = 0; k < kSetCount; ++k) {
            state_.model.sets[k].skip_set = trimmed(record(kSkipRecord + static_cast<int>(k)));
        }
        show_on_page(records);
        state_.settings_changed = 0;
        return true;
    } catch (const SystemError& error) {
        reporter_.report_system_error(error);
    } catch (const std::exception& error) {
        reporter_.report_system_error(SystemError(error_code::kInternal, error.what()));
    }
    return false;
}

void SettingsStore::show_on_page(const std::vector<std::optional<std::string>>& records) {
    auto present = [&](int n) { return records[static_cast<std::size_t>(n - 1)].has_value(); };
    SettingsPage& page = state_.page;
    GlobalOptions& o = state_.model.options;

    if (const auto newer_only = stored_flag(o.copy_mode)) {
        page.select_option(Control::copy_op, *newer_only ? 1 : 0);
    }
    // The stored value and the option index run opposite ways: "1" (skip) is
    // the first option.
    if (const auto skip = stored_flag(o.skip_open_files)) {
        page.select_option(Control::cp_skip, *skip ? 0 : 1);
    }
    if (const auto at_launch = stored_flag(o.start_at_launch)) {
        page.set_checked({Control::start_chk}, *at_launch);
    }
    for (std::size_t k = 0; k < kStartTimeCount; ++k) {
        o.start_time[k] = o.start_hour[k] + ":" + o.start_minute[k];
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (present(kHourRecord + k)) {
            page.set_text({Control::hour_txt, k}, o.start_hour[i]);
        }
        if (present(kMinuteRecord + k)) {
            page.set_text({Control::min_txt, k}, o.start_minute[i]);
        }
    }
    if (const auto at_times = stored_flag(o.start_at_time)) {
        page.set_checked({Control::timer_chk}, *at_times);
        state_.caption_base = *at_times ? "Tarvenix " : "Tarvenix";
        page.set_caption(state_.caption_base);
    }
    if (const auto history = stored_flag(o.record_history)) {
        page.select_option(Control::rec_op, *history ? 1 : 0);
    }
    for (int k = 0; k < kSetCount; ++k) {
        const BackupSet& set = state_.model.sets[static_cast<std::size_t>(k)];
        if (present(kSourceRecord + k)) {
            page.set_text({Control::srcfld_txt, k}, set.src_folder);
        }
        if (present(kDestRecord + k)) {
            page.set_text({Control::dstfld_txt, k}, set.dst_folder);
        }
        if (present(kSubfolderRecord + k)) {
            page.set_checked({Control::subfld_chk, k}, set.copies_subfolders());
        }
        if (present(kSkipRecord + k)) {
            page.set_checked({Control::skip_chk, k}, set.skip_box_ticked());
        }
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        page.set_checked({Control::sdown, k}, o.shutdown_after[static_cast<std::size_t>(k)]);
    }
}

void SettingsStore::write_settings_file() {
    const GlobalOptions& o = state_.model.options;
    SettingsRecordFile::Slots slots;
    std::size_t n = 0;
    for (const std::string* value : {&o.copy_mode, &o.start_at_launch, &o.backup_at_close,
                                     &o.start_at_time, &o.skip_open_files, &o.record_history}) {
        slots[n++] = *value;
    }
    for (bool flag : o.shutdown_after) {
        slots[n++] = flag ? "True" : "False";
    }
    for (const auto& hour : o.start_hour) {
        slots[n++] = hour;
    }
    for (const auto& minute : o.start_minute) {
        slots[n++] = minute;
    }
    for (const auto& set : state_.model.sets) {
        slots[n++] = set.src_folder;
    }
    for (const auto& set : state_.model.sets) {
        slots[n++] = set.dst_folder;
    }
    for (const auto& set : state_.model.sets) {
        slots[n++] = set.copy_subfolders;
    }
    for (const auto& set : state_.model.sets) {
        slots[n++] = set.skip_set;
    }
    file_.write_all(slots);
}

}  // namespace tarvenix
