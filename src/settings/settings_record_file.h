#pragma once

// system.dat: 47 records of 160 bytes, each holding one text field of 80
// characters in code page 932, padded with spaces. No header, no checksum.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/system_error.h"

namespace tarvenix {

class SettingsRecordFile {
public:
    static constexpr int kRecordCount = 47;
    static constexpr std::size_t kRecordLength = 160;
    static constexpr std::size_t kFieldChars = 80;

    using Slots = std::array<std::string, kRecordCount>;

    explicit SettingsRecordFile(std::string path);

    const std::string& path() const { return path_; }

    using Records = std::vector<std::optional<std::string>>;

    // Record n (1..47; another number throws std::out_of_range) as its
    // 80-character slot; a record the file does not hold reads as 80 spaces.
    // The error when the file cannot be read.
    SystemResult<std::string> read_record(int n) const;

    // Writes record n (1..47); the other records and any bytes past record 47
    // stay as they are. After a failure the file is unchanged.
    SystemStatus write_record(int n, std::string_view text) const;

    // All 47 records; nothing for a record that lies past the end of the file
    // (a missing file holds none). The error when the file cannot be read.
    SystemResult<Records> read_all() const;

    // Replaces records 1..47 in one step, keeping any bytes past record 47.
    // After a failure the file is unchanged.
    SystemStatus write_all(const Slots& slots) const;

    // The 160 bytes of a record holding `value`, cut or padded to 80
    // characters. An error when the value holds a character that code page
    // 932 cannot represent: a stored path is never altered silently.
    static SystemResult<std::string> encode_record(std::string_view value);

    // The 80-character text of a record's bytes. Bytes that are not code page
    // 932 decode as U+FFFD; a NUL byte ends the text.
    static std::string decode_record(std::string_view bytes);

    // Whether the value can be stored as it is (every character it keeps
    // exists in code page 932).
    static bool can_store(std::string_view value);

    // A value cut or padded with spaces to 80 characters.
    static std::string to_slot(std::string_view value);

private:
    SystemResult<std::string> read_bytes() const;
    std::string path_;
};

}  // namespace tarvenix
