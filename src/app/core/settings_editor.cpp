#include "app/core/settings_editor.h"

#include "app/core/scheduler.h"
#include "common/platform/files.h"
#include "common/text_codec.h"

namespace tarvenix {

SettingsEditor::SettingsEditor(ProgramContext& context)
    : c_(context) {}

bool SettingsEditor::fail(std::string_view message, int tab, std::string focus) {
    c_.main_vostrel.Msg_Box(c_.main_vostrel.KindErr, message);
    page().select_tab(tab);
    page().set_focus(std::move(focus));
    return false;
}

bool SettingsEditor::save_settings() {
    Vostrel& v = c_.main_vostrel;
    SettingsPage& p = page();
    SettingsModel& model = c_.settings.model;
    if (c_.progress.visible() || c_.engine.running()) {
        v.Msg_Box(v.KindErr, "バックアップ実行中です！\r終了後更新して下さい");
        return false;
    }
    for (int k = 0; k < kSetCount; ++k) {
        const bool src_empty = p.text({Control::srcfld_txt, k}).empty();
        const bool dst_empty = p.text({Control::dstfld_txt, k}).empty();
        if (src_empty != dst_empty) {
            return fail("フォルダ" + std::to_string(k + 1) + "の設定に空文字列が含まれてます！", k,
                        ControlId{Control::srcfld_txt, k}.name());
        }
    }
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
                        ControlId{Control::hour_txt, row}.name());
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
    for (int k = 0; k < kSetCount; ++k) {
        auto& set = model.sets[static_cast<std::size_t>(k)];
        set.src_folder = p.text({Control::srcfld_txt, k});
        set.dst_folder = p.text({Control::dstfld_txt, k});
    }
    // A record holds 80 characters: a longer path would be stored cut off and
    // name another folder. Refused before a missing folder is offered.
    for (int k = 0; k < kSetCount; ++k) {
        const auto& set = model.sets[static_cast<std::size_t>(k)];
        for (const auto* field : {&set.src_folder, &set.dst_folder}) {
            if (text::char_count(*field) > SettingsRecordFile::kFieldChars) {
                const Control control =
                    field == &set.src_folder ? Control::srcfld_txt : Control::dstfld_txt;
                return fail("フォルダ" + std::to_string(k + 1) + "の設定が長すぎます！\r" +
                                "保存できるのは " +
                                std::to_string(SettingsRecordFile::kFieldChars) +
                                " 文字までです\r" + *field,
                            k, ControlId{control, k}.name());
            }
        }
    }
    try {
        for (int k = 0; k < kSetCount; ++k) {
            const auto& set = model.sets[static_cast<std::size_t>(k)];
            if (!set.src_folder.empty() && !v.Search_path(set.src_folder)) {
                return fail("コピー元フォルダが見つかりません！", k,
                            ControlId{Control::srcfld_txt, k}.name());
            }
            if (!set.dst_folder.empty() && !v.Search_path(set.dst_folder)) {
                const auto answer =
                    v.Msg_Box(v.KindOkc, "コピー先フォルダが見つかりません！\r" + set.dst_folder +
                                             " を新規作成しますか？");
                if (answer != button::kOk) {
                    p.select_tab(k);
                    p.set_focus(ControlId{Control::dstfld_txt, k}.name());
                    return false;
                }
                if (const int err = platform::make_folder(set.dst_folder).error()) {
                    throw error_from_errno(err, FileOperation::kCreateFolder, set.dst_folder);
                }
            }
        }
        // Only names the code page can hold can be stored: refuse the save
        // with the field named rather than write an altered path.
        for (int k = 0; k < kSetCount; ++k) {
            const auto& set = model.sets[static_cast<std::size_t>(k)];
            for (const auto* field : {&set.src_folder, &set.dst_folder}) {
                if (!SettingsRecordFile::can_store(*field)) {
                    const Control control =
                        field == &set.src_folder ? Control::srcfld_txt : Control::dstfld_txt;
                    return fail("フォルダ" + std::to_string(k + 1) +
                                    "の設定にシフト JIS で保存できない文字が含まれています！\r" +
                                    *field,
                                k, ControlId{control, k}.name());
                }
            }
        }
        GlobalOptions& o = model.options;
        if (p.selected_option(Control::copy_op) == 0) {
            o.copy_mode = "0";
        } else if (p.selected_option(Control::copy_op) == 1) {
            o.copy_mode = "1";
        }
        o.skip_open_files = p.selected_option(Control::cp_skip) == 0 ? "1" : "0";
        o.start_at_launch = p.checked({Control::start_chk}) ? "1" : "0";
        o.start_at_time = p.checked({Control::timer_chk}) ? "1" : "0";
        for (int k = 0; k < kStartTimeCount; ++k) {
            o.start_hour[static_cast<std::size_t>(k)] = p.text({Control::hour_txt, k});
            o.start_minute[static_cast<std::size_t>(k)] = p.text({Control::min_txt, k});
            o.shutdown_after[static_cast<std::size_t>(k)] = p.checked({Control::sdown, k});
        }
        if (p.selected_option(Control::rec_op) == 0) {
            o.record_history = "0";
        } else if (p.selected_option(Control::rec_op) == 1) {
            o.record_history = "1";
        }
        for (int k = 0; k < kSetCount; ++k) {
            auto& set = model.sets[static_cast<std::size_t>(k)];
            set.copy_subfolders = p.checked({Control::subfld_chk, k}) ? "1" : "0";
            set.skip_set = p.checked({Control::skip_chk, k}) ? "1" : "0";
        }
        c_.store.write_settings_file();
    } catch (const SystemError& error) {
        c_.reporter.report_system_error(error);
        return false;
    }
    v.Wait(0.3F);
    c_.store.load_settings();
    p.set_focus("mini_bt");
    return true;
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
            c_.main_vostrel.Msg_Box(c_.main_vostrel.KindErr, hour ? "入力された時間が範囲外です！"
                                                                  : "入力された分が範囲外です！");
            range_message_open_ = false;
            p.select_tab(kStartEventsTab);
            p.set_focus(ControlId{box, k}.name());
        }
        return false;
    }
    p.set_text({box, k}, (*value < 10 ? "0" : "") + std::to_string(*value));
    return true;
}

void SettingsEditor::confirm_unsaved_changes() {
    c_.settings.save_requested = 0;
    if (c_.settings.settings_changed != 1) {
        return;
    }
    c_.settings.settings_changed = 0;
    Vostrel& v = c_.main_vostrel;
    if (v.Msg_Box(v.KindYn, "システムデータが変更されています\r更新しますか？") == button::kYes) {
        c_.settings.save_requested = 1;
    }
}

void SettingsEditor::confirm_and_save() {
    confirm_unsaved_changes();
    if (c_.settings.save_requested == 1) {
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
    c_.page_selector = k + 1;
    const std::string path = c_.main_vostrel.FolderDialog(0);
    if (path.empty()) {
        return;
    }
    auto& set = c_.settings.model.sets[static_cast<std::size_t>(k)];
    if (i % 2 == 0) {
        set.src_folder = path;
        page().set_text({Control::srcfld_txt, k}, path);
    } else {
        set.dst_folder = path;
        page().set_text({Control::dstfld_txt, k}, path);
    }
}

}  // namespace tarvenix
