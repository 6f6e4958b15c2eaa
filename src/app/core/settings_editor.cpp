#include "app/core/settings_editor.h"

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>

#include "app/core/run_presenter.h"
#include "app/core/scheduler.h"
#include "common/platform/files.h"
#include "common/text_codec.h"
#include "common/underway.h"

namespace tarvenix {

namespace {

// What stands where a destination folder is named. Only a folder that is not
// there is offered for creation: not one named relative to wherever the
// program was started, nor one whose name a file already has.
enum class Found : std::uint8_t { kFolder, kNothing, kSomethingElse };
Found destination_found(const std::string& folder) {
    if (set_folder_exists(folder)) {
        return Found::kFolder;
    }
    const std::string path = set_folder_path(folder);
    return path.empty() || platform::status(path, true) ? Found::kSomethingElse : Found::kNothing;
}

}  // namespace

SettingsEditor::SettingsEditor(const EditorServices& services)
    : s_(services) {}

bool SettingsEditor::fail(std::string_view message, int tab, ControlId focus) {
    s_.boxes.show(Boxes::kErr, message);
    page().select_tab(tab);
    page().set_focus({focus});
    return false;
}

bool SettingsEditor::save_settings() {
    if (saving_) {
        return false;  // OK again while the save waits for a folder: that save goes on
    }
    const Underway underway(saving_);
    if (s_.progress.visible() || s_.engine.running()) {
        s_.boxes.show(Boxes::kErr, "バックアップ実行中です！\r終了後更新して下さい");
        return false;
    }
    if (!check_sets_filled() || !check_start_times()) {
        return false;
    }
    take_folders();
    // A record holds 80 characters: a longer path would be stored cut off and
    // name another folder (refused before a missing folder is offered); and
    // only names the code page can hold can be stored.
    const auto too_long = [](const std::string& folder) {
        return text::char_count(folder) > SettingsRecordFile::kFieldChars;
    };
    const auto not_storable = [](const std::string& folder) {
        return !SettingsRecordFile::can_store(folder);
    };
    if (!refuse_folder_texts(too_long, "の設定が長すぎます！\r保存できるのは " +
                                           std::to_string(SettingsRecordFile::kFieldChars) +
                                           " 文字までです\r")) {
        return false;
    }
    const auto folders = check_folders_exist();
    if (!folders) {
        s_.reporter.report_system_error(folders.error());
        return false;
    }
    if (!*folders ||
        !refuse_folder_texts(not_storable,
                             "の設定にシフト JIS で保存できない文字が含まれています！\r")) {
        return false;
    }
    take_options();
    if (const auto written = s_.store.write_settings_file(); !written) {
        s_.reporter.report_system_error(written.error());
        return false;
    }
    wait_serving_events(s_.clock, s_.pump, 0.3F);
    s_.reporter.report_if_failed(s_.store.load_settings());
    page().set_focus({});
    return true;
}

bool SettingsEditor::check_sets_filled() {
    const SettingsPage& p = page();
    for (int k = 0; k < kSetCount; ++k) {
        if (p.text({Control::srcfld_txt, k}).empty() != p.text({Control::dstfld_txt, k}).empty()) {
            return fail("フォルダ" + std::to_string(k + 1) + "の設定に空文字列が含まれてます！", k,
                        ControlId{Control::srcfld_txt, k});
        }
    }
    return true;
}

bool SettingsEditor::check_start_times() {
    const SettingsPage& p = page();
    if (p.checked({Control::timer_chk})) {
        auto hour = [&](int r) { return p.text({Control::hour_txt, r}).empty(); };
        auto minute = [&](int r) { return p.text({Control::min_txt, r}).empty(); };
        int row = -1;
        if (hour(0) || minute(0)) {
            row = 0;
        } else if (hour(1) != minute(1)) {
            row = 1;
        } else if (hour(2) != minute(2)) {
            row = 2;
        }
        if (row >= 0) {
            return fail("開始時間を入力して下さい！", kStartEventsTab,
                        ControlId{Control::hour_txt, row});
        }
    }
    // The boxes are checked when the focus leaves them, but a click on
    // "更　新" or a menu command can come first: the save checks them too, so
    // a refused value never reaches the file.
    for (int k = 0; k < kStartTimeCount; ++k) {
        if (!check_time_box(Control::hour_txt, k) || !check_time_box(Control::min_txt, k)) {
            return false;
        }
    }
    return true;
}

void SettingsEditor::take_folders() {
    for (int k = 0; k < kSetCount; ++k) {
        auto& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
        set.src_folder = page().text({Control::srcfld_txt, k});
        set.dst_folder = page().text({Control::dstfld_txt, k});
    }
}

bool SettingsEditor::refuse_folder_texts(const std::function<bool(const std::string&)>& refused,
                                         std::string_view why) {
    for (int k = 0; k < kSetCount; ++k) {
        const auto& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
        for (const auto* field : {&set.src_folder, &set.dst_folder}) {
            if (refused(*field)) {
                const Control control =
                    field == &set.src_folder ? Control::srcfld_txt : Control::dstfld_txt;
                return fail("フォルダ" + std::to_string(k + 1) + std::string(why) + *field, k,
                            ControlId{control, k});
            }
        }
    }
    return true;
}

SystemResult<bool> SettingsEditor::check_folders_exist() {
    // A folder whose share does not answer in time counts as not found: the
    // user is shown which one, and may save again once it answers.
    const auto ask = [this](auto call) {
        return asker_.ask(s_.clock, s_.pump, kFolderAnswerSeconds, std::move(call));
    };
    for (int k = 0; k < kSetCount; ++k) {
        const auto& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
        if (!set.src_folder.empty() &&
            !ask([folder = set.src_folder] { return set_folder_exists(folder); }).value_or(false)) {
            return fail("コピー元フォルダが見つかりません！", k, ControlId{Control::srcfld_txt, k});
        }
        const Found destination =
            set.dst_folder.empty() ? Found::kFolder : ask([folder = set.dst_folder] {
                                                          return destination_found(folder);
                                                      }).value_or(Found::kSomethingElse);
        if (destination == Found::kSomethingElse) {
            return fail("コピー先フォルダが見つかりません！", k, ControlId{Control::dstfld_txt, k});
        }
        if (destination == Found::kNothing) {
            const auto answer =
                s_.boxes.show(Boxes::kOkc, "コピー先フォルダが見つかりません！\r" + set.dst_folder +
                                               " を新規作成しますか？");
            if (answer != button::kOk) {
                page().select_tab(k);
                page().set_focus({ControlId{Control::dstfld_txt, k}});
                return false;
            }
            const int err = ask([path = set_folder_path(set.dst_folder)] {
                                return platform::make_folder(path).error();
                            }).value_or(ETIMEDOUT);
            if (err != 0) {
                return error_from_errno(err, FileOperation::kCreateFolder, set.dst_folder);
            }
        }
        if (set.src_folder.empty() || set.dst_folder.empty()) {
            continue;
        }
        // A run never writes into its own source.
        const auto within = ask([set] {
                                return source_within_destination(set);
                            }).value_or(platform::Error{ETIMEDOUT});
        if (!within) {
            return error_from_errno(within.error(), FileOperation::kRead, set.src_folder);
        }
        if (*within) {
            return fail(
                "フォルダ" + std::to_string(k + 1) + "の" + std::string(kSourceInDestination), k,
                ControlId{Control::dstfld_txt, k});
        }
    }
    return true;
}

void SettingsEditor::take_options() {
    const SettingsPage& p = page();
    GlobalOptions& o = s_.settings.model.options;
    // A group with neither option selected leaves its value (and its stored
    // text) as loaded.
    if (p.selected_option(Control::copy_op) >= 0) {
        o.copy_mode = p.selected_option(Control::copy_op) == 0 ? CopyMode::overwrite_all
                                                               : CopyMode::newer_only;
    }
    o.skip_open_files =
        p.selected_option(Control::cp_skip) == 0 ? OpenFileRule::skip : OpenFileRule::copy_anyway;
    o.start_at_launch = p.checked({Control::start_chk});
    o.start_at_time = p.checked({Control::timer_chk});
    for (int k = 0; k < kStartTimeCount; ++k) {
        o.start_times[static_cast<std::size_t>(k)] =
            StartTime(p.text({Control::hour_txt, k}), p.text({Control::min_txt, k}));
        o.shutdown_after[static_cast<std::size_t>(k)] = p.checked({Control::sdown, k});
    }
    if (p.selected_option(Control::rec_op) >= 0) {
        o.record_history = p.selected_option(Control::rec_op) == 1;
    }
    for (int k = 0; k < kSetCount; ++k) {
        auto& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
        set.copy_subfolders = p.checked({Control::subfld_chk, k});
        set.skip_set = p.checked({Control::skip_chk, k});
    }
}

bool SettingsEditor::check_time_box(Control box, int k) {
    SettingsPage& p = page();
    const std::string text = p.text({box, k});
    if (text.empty()) {
        return true;
    }
    const bool hour = box == Control::hour_txt;
    const auto value = Scheduler::parse_box_number(text);
    // A negative time could never match the clock: it is refused like one
    // past the limit.
    if (!value || *value > (hour ? 23 : 59) || *value < 0) {
        if (!range_message_open_) {
            range_message_open_ = true;
            s_.boxes.show(Boxes::kErr,
                          hour ? "入力された時間が範囲外です！" : "入力された分が範囲外です！");
            range_message_open_ = false;
            p.select_tab(kStartEventsTab);
            p.set_focus({ControlId{box, k}});
        }
        return false;
    }
    p.set_text({box, k}, (*value < 10 ? "0" : "") + std::to_string(*value));
    return true;
}

void SettingsEditor::confirm_unsaved_changes() {
    s_.settings.save_requested = 0;
    if (s_.settings.settings_changed != 1) {
        return;
    }
    s_.settings.settings_changed = 0;
    if (s_.boxes.show(Boxes::kYn, "システムデータが変更されています\r更新しますか？") ==
        button::kYes) {
        s_.settings.save_requested = 1;
    }
}

void SettingsEditor::confirm_and_save() {
    confirm_unsaved_changes();
    if (s_.settings.save_requested == 1) {
        save_settings();
    }
}

void SettingsEditor::clear_set(int k) {
    page().set_text({Control::srcfld_txt, k}, "");
    page().set_text({Control::dstfld_txt, k}, "");
    page().set_checked({Control::subfld_chk, k}, false);
    page().set_checked({Control::skip_chk, k}, false);
}

void SettingsEditor::browse(int i) {
    if (i < 0 || i >= 2 * kSetCount) {
        return;
    }
    const int k = i / 2;
    s_.page_selector = k + 1;
    const std::string path = choose_folder(s_.folders);
    if (path.empty()) {
        return;
    }
    auto& set = s_.settings.model.sets[static_cast<std::size_t>(k)];
    if (i % 2 == 0) {
        set.src_folder = path;
        page().set_text({Control::srcfld_txt, k}, path);
    } else {
        set.dst_folder = path;
        page().set_text({Control::dstfld_txt, k}, path);
    }
}

}  // namespace tarvenix
