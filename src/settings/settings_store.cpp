#include "settings/settings_store.h"

#include <array>
#include <cctype>
#include <cstdlib>

#include "common/text_codec.h"

namespace tarvenix {
namespace {

// Where each field lies in system.dat: its first record and how many it
// takes (one per start time, one per set). Loading and saving both go by this
// table alone.
enum class Field {
    copy_mode,
    start_at_launch,
    backup_at_close,
    start_at_time,
    skip_open_files,
    record_history,
    shutdown_after,
    start_hour,
    start_minute,
    src_folder,
    dst_folder,
    copy_subfolders,
    skip_set,
};

struct FieldRecords {
    Field field;
    int first;
    int count;
};

constexpr std::array<FieldRecords, 13> kLayout = {{
    {Field::copy_mode, 1, 1},
    {Field::start_at_launch, 2, 1},
    {Field::backup_at_close, 3, 1},
    {Field::start_at_time, 4, 1},
    {Field::skip_open_files, 5, 1},
    {Field::record_history, 6, 1},
    {Field::shutdown_after, 7, kStartTimeCount},
    {Field::start_hour, 10, kStartTimeCount},
    {Field::start_minute, 13, kStartTimeCount},
    {Field::src_folder, 16, kSetCount},
    {Field::dst_folder, 24, kSetCount},
    {Field::copy_subfolders, 32, kSetCount},
    {Field::skip_set, 40, kSetCount},
}};

// Each field has one row, in the order of `Field`, and the rows follow one
// another in record order and fill the 47 records exactly: a field that grows
// (a fourth start time) cannot silently run into the next one or off the
// file's end. The load relies on the order too.
constexpr bool layout_covers_every_record_once() {
    int next = 1;
    int field = 0;
    for (const auto& row : kLayout) {
        if (static_cast<int>(row.field) != field++ || row.first != next || row.count < 1) {
            return false;
        }
        next += row.count;
    }
    return next == SettingsRecordFile::kRecordCount + 1;
}
static_assert(layout_covers_every_record_once(), "system.dat's layout must hold each record once");

constexpr int record_of(Field field, int k = 0) {
    for (const auto& row : kLayout) {
        if (row.field == field) {
            return row.first + k;
        }
    }
    return 0;
}

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

// Field k's value from its record's text, read as the program always has:
// a flag is on only for "1" (the sub-folder box for all but "0"), and the
// open-file rule is any number, 1 meaning skip. A record the file does not
// hold reads as an empty text (a shut-down flag as false). A shut-down flag
// that is no boolean fails the load.
SystemStatus read_field(SettingsModel& m, Field field, int k,
                        const std::optional<std::string>& record) {
    std::string t = trimmed(record);
    const auto i = static_cast<std::size_t>(k);
    GlobalOptions& o = m.options;
    const auto flag = [&t] { return Stored<bool>(t == "1", t); };
    switch (field) {
        case Field::copy_mode:
            o.copy_mode = {t == "1" ? CopyMode::newer_only : CopyMode::overwrite_all, t};
            break;
        case Field::start_at_launch:
            o.start_at_launch = flag();
            break;
        case Field::backup_at_close:
            o.backup_at_close = flag();
            break;
        case Field::start_at_time:
            o.start_at_time = flag();
            break;
        case Field::skip_open_files: {
            const auto number = stored_number(t);
            const auto rule = !number        ? OpenFileRule::unreadable
                              : *number == 1 ? OpenFileRule::skip
                                             : OpenFileRule::copy_anyway;
            o.skip_open_files = {rule, t};
            break;
        }
        case Field::record_history:
            o.record_history = flag();
            break;
        case Field::shutdown_after: {
            const auto value = record ? parse_settings_boolean(t) : std::optional<bool>(false);
            if (!value) {
                return SystemError(
                    error_code::kTypeMismatch,
                    std::string(describe_error_code(error_code::kTypeMismatch)) +
                        error_detail("system.dat のレコード " + std::to_string(record_of(field, k)),
                                     "「" + t + "」"));
            }
            o.shutdown_after[i] = *value;
            break;
        }
        case Field::start_hour:
            o.start_times[i] = StartTime(std::move(t), o.start_times[i].minute_text);
            break;
        case Field::start_minute:
            o.start_times[i] = StartTime(o.start_times[i].hour_text, std::move(t));
            break;
        case Field::src_folder:
            m.sets[i].src_folder = std::move(t);
            break;
        case Field::dst_folder:
            m.sets[i].dst_folder = std::move(t);
            break;
        case Field::copy_subfolders:
            m.sets[i].copy_subfolders = {t != "0", t};
            break;
        case Field::skip_set:
            m.sets[i].skip_set = flag();
            break;
    }
    return {};
}

// The text field k is stored as.
std::string field_text(const SettingsModel& m, Field field, int k) {
    const auto i = static_cast<std::size_t>(k);
    const GlobalOptions& o = m.options;
    switch (field) {
        case Field::copy_mode:
            return o.copy_mode.text();
        case Field::start_at_launch:
            return o.start_at_launch.text();
        case Field::backup_at_close:
            return o.backup_at_close.text();
        case Field::start_at_time:
            return o.start_at_time.text();
        case Field::skip_open_files:
            return o.skip_open_files.text();
        case Field::record_history:
            return o.record_history.text();
        case Field::shutdown_after:
            return o.shutdown_after[i] ? "True" : "False";
        case Field::start_hour:
            return o.start_times[i].hour_text;
        case Field::start_minute:
            return o.start_times[i].minute_text;
        case Field::src_folder:
            return m.sets[i].src_folder;
        case Field::dst_folder:
            return m.sets[i].dst_folder;
        case Field::copy_subfolders:
            return m.sets[i].copy_subfolders.text();
        case Field::skip_set:
            return m.sets[i].skip_set.text();
    }
    return "";
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

SettingsStore::SettingsStore(SettingsState& state, std::string settings_file_path)
    : state_(state)
    , file_(std::move(settings_file_path)) {}

SystemStatus SettingsStore::load_settings() {
    const auto records = file_.read_all();
    if (!records) {
        return records.error();
    }
    // Field by field in record order: a record that fails the load leaves
    // the fields after it as they were.
    for (const auto& row : kLayout) {
        for (int k = 0; k < row.count; ++k) {
            if (auto read = read_field(state_.model, row.field, k,
                                       (*records)[static_cast<std::size_t>(row.first + k - 1)]);
                !read) {
                return read;
            }
        }
    }
    show_on_page(*records);
    state_.settings_changed = 0;
    return {};
}

void SettingsStore::show_on_page(const SettingsRecordFile::Records& records) {
    auto present = [&](Field field, int k) {
        return records[static_cast<std::size_t>(record_of(field, k) - 1)].has_value();
    };
    SettingsPage& page = state_.page;
    const GlobalOptions& o = state_.model.options;

    // A control shows only a stored "1" or "0"; for any other text it stays
    // as it was.
    if (const auto newer_only = stored_flag(o.copy_mode.text())) {
        page.select_option(Control::copy_op, *newer_only ? 1 : 0);
    }
    // The stored value and the option index run opposite ways: "1" (skip) is
    // the first option.
    if (const auto skip = stored_flag(o.skip_open_files.text())) {
        page.select_option(Control::cp_skip, *skip ? 0 : 1);
    }
    if (const auto at_launch = stored_flag(o.start_at_launch.text())) {
        page.set_checked({Control::start_chk}, *at_launch);
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        const StartTime& time = o.start_times[static_cast<std::size_t>(k)];
        if (present(Field::start_hour, k)) {
            page.set_text({Control::hour_txt, k}, time.hour_text);
        }
        if (present(Field::start_minute, k)) {
            page.set_text({Control::min_txt, k}, time.minute_text);
        }
    }
    if (const auto at_times = stored_flag(o.start_at_time.text())) {
        page.set_checked({Control::timer_chk}, *at_times);
        state_.caption_base = *at_times ? "Tarvenix " : "Tarvenix";
        page.set_caption(state_.caption_base);
    }
    if (const auto history = stored_flag(o.record_history.text())) {
        page.select_option(Control::rec_op, *history ? 1 : 0);
    }
    for (int k = 0; k < kSetCount; ++k) {
        const BackupSet& set = state_.model.sets[static_cast<std::size_t>(k)];
        if (present(Field::src_folder, k)) {
            page.set_text({Control::srcfld_txt, k}, set.src_folder);
        }
        if (present(Field::dst_folder, k)) {
            page.set_text({Control::dstfld_txt, k}, set.dst_folder);
        }
        if (present(Field::copy_subfolders, k)) {
            page.set_checked({Control::subfld_chk, k}, set.copies_subfolders());
        }
        // The box is ticked for every text but "0" (a blank record too),
        // though only "1" makes a run pass the set over.
        if (present(Field::skip_set, k)) {
            page.set_checked({Control::skip_chk, k}, set.skip_set.text() != "0");
        }
    }
    for (int k = 0; k < kStartTimeCount; ++k) {
        page.set_checked({Control::sdown, k}, o.shutdown_after[static_cast<std::size_t>(k)]);
    }
}

SystemStatus SettingsStore::write_settings_file() {
    SettingsRecordFile::Slots slots;
    for (const auto& row : kLayout) {
        for (int k = 0; k < row.count; ++k) {
            slots[static_cast<std::size_t>(row.first + k - 1)] =
                field_text(state_.model, row.field, k);
        }
    }
    return file_.write_all(slots);
}

}  // namespace tarvenix
