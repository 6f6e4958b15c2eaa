// Fuzzes the reading of system.dat: the input is the whole file as it lies on
// disk. The file is the one thing of the program's state a user (or a broken
// disk, or a copy from another machine) can hand us in any shape, and the
// program loads it at every start and every run, so a bad file must never
// crash us, never be altered by a load, and a file we could load must survive
// a save intact.

#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/ports.h"
#include "common/system_error.h"
#include "common/text_codec.h"
#include "fuzz_check.h"
#include "settings/settings_model.h"
#include "settings/settings_store.h"

namespace tarvenix::fuzzing {
namespace {

constexpr std::size_t kImageBytes =
    SettingsRecordFile::kRecordLength * static_cast<std::size_t>(SettingsRecordFile::kRecordCount);

// A message box nobody sees: it answers OK and counts, so a reported system
// error is visible to the checks below without a display.
// One private folder per fuzzing process, made once: creating a folder per
// input would cost more than the load itself.
std::string g_folder;

void remove_folder() {
    if (g_folder.empty()) {
        return;
    }
    if (DIR* dir = ::opendir(g_folder.c_str())) {
        std::vector<std::string> names;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
        for (const auto& name : names) {
            ::unlink((g_folder + "/" + name).c_str());
        }
    }
    ::rmdir(g_folder.c_str());
}

const std::string& folder() {
    if (g_folder.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern =
            std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tarvenix-fuzz-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (::mkdtemp(buf.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        g_folder = buf.data();
        std::atexit(remove_folder);
    }
    return g_folder;
}

// Plain stdio on purpose: the file is put down and read back without the
// product's own file layer, which is part of what is being checked.
void write_bytes(const std::string& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size());
    FUZZ_CHECK(std::fclose(f) == 0);
}

std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    FUZZ_CHECK(in.good());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every text field of the model, for checks that apply to all of them alike.
std::vector<const std::string*> text_fields(const SettingsModel& m) {
    const GlobalOptions& o = m.options;
    std::vector<const std::string*> fields = {&o.copy_mode.text(),       &o.start_at_launch.text(),
                                              &o.backup_at_close.text(), &o.start_at_time.text(),
                                              &o.skip_open_files.text(), &o.record_history.text()};
    for (const auto& time : o.start_times) {
        fields.push_back(&time.hour_text);
        fields.push_back(&time.minute_text);
    }
    for (const auto& set : m.sets) {
        fields.push_back(&set.src_folder);
        fields.push_back(&set.dst_folder);
        fields.push_back(&set.copy_subfolders.text());
        fields.push_back(&set.skip_set.text());
    }
    return fields;
}

void check_fields(const SettingsModel& m) {
    for (const std::string* field : text_fields(m)) {
        const auto chars = utf8_code_points(*field);
        FUZZ_CHECK(chars.has_value());
        FUZZ_CHECK(*chars <= SettingsRecordFile::kFieldChars);
        // Trailing blanks are padding and are never part of a loaded value.
        FUZZ_CHECK(field->empty() || field->back() != ' ');
    }
}

}  // namespace
}  // namespace tarvenix::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvenix;
    using namespace tarvenix::fuzzing;

    const std::string original(reinterpret_cast<const char*>(data), size);
    const std::string path = folder() + "/system.dat";
    write_bytes(path, original);

    SettingsState state;
    SettingsStore store(state, path);
    const bool load_failed = !store.load_settings();

    check_fields(state.model);
    // A load reads; it never writes, not even to "repair" a file.
    FUZZ_CHECK(read_bytes(path) == original);

    if (load_failed) {
        return 0;
    }
    // A finished load leaves the page unmarked, whatever it showed.
    FUZZ_CHECK(state.settings_changed == 0);

    // A save can only be asked to keep what the code page can hold; a value
    // that cannot be stored is refused by design, not a round-trip failure.
    for (const std::string* field : text_fields(state.model)) {
        if (!text::to_cp932(*field)) {
            return 0;
        }
    }

    if (const auto saved = store.write_settings_file(); !saved) {
        std::fprintf(stderr, "write_settings_file failed: %s\n", saved.error().what());
        FUZZ_CHECK(!"a loadable, encodable model must save");
    }

    const std::string written = read_bytes(path);
    // All 47 records are there after a save, and whatever lay past them
    // (another program's data, a newer version's records) is kept byte for byte.
    if (original.size() > kImageBytes) {
        FUZZ_CHECK(written.size() == original.size());
        FUZZ_CHECK(std::string_view(written).substr(kImageBytes) ==
                   std::string_view(original).substr(kImageBytes));
    } else {
        FUZZ_CHECK(written.size() == kImageBytes);
    }

    SettingsState reloaded;
    FUZZ_CHECK(SettingsStore(reloaded, path).load_settings().ok());
    // Every value and the text it was read from, as loaded before the save.
    FUZZ_CHECK(state.model == reloaded.model);
    // The save goes through a temporary file; none may be left beside system.dat.
    int entries = 0;
    if (DIR* dir = ::opendir(folder().c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name != "." && name != "..") {
                ++entries;
            }
        }
        ::closedir(dir);
    }
    FUZZ_CHECK(entries == 1);
    return 0;
}
