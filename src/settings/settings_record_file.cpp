#include "settings/settings_record_file.h"

#include <cerrno>
#include <stdexcept>

#include "common/platform/file_writes.h"
#include "common/platform/files.h"
#include "common/system_error.h"
#include "common/text_codec.h"

namespace tarvenix {
namespace {

constexpr std::size_t kImageBytes =
    SettingsRecordFile::kRecordLength * static_cast<std::size_t>(SettingsRecordFile::kRecordCount);

// Only the program names a record: a number outside 1..47 is its own fault.
void check_record_number(int n) {
    if (n < 1 || n > SettingsRecordFile::kRecordCount) {
        throw std::out_of_range("system.dat has no record " + std::to_string(n));
    }
}

// The platform refuses anything but a regular file with EINVAL; the user is
// told that, not "invalid argument".
SystemError file_error(int err, FileOperation what, const std::string& path) {
    if (err == EINVAL) {
        return SystemError(error_code::kPathFileAccess,
                           std::string(describe_error_code(error_code::kPathFileAccess)) +
                               error_detail("通常のファイルではありません", path));
    }
    return error_from_errno(err, what, path);
}

}  // namespace

SettingsRecordFile::SettingsRecordFile(std::string path)
    : path_(std::move(path)) {}

std::string SettingsRecordFile::to_slot(std::string_view value) {
    std::string slot(text::first_chars(value, kFieldChars));
    const std::size_t chars = text::char_count(slot);
    if (chars < kFieldChars) {
        slot.append(kFieldChars - chars, ' ');
    }
    return slot;
}

SystemResult<std::string> SettingsRecordFile::encode_record(std::string_view value) {
    auto encoded = text::to_cp932(to_slot(value));
    if (!encoded) {
        return SystemError(error_code::kUnencodableText,
                           std::string(describe_error_code(error_code::kUnencodableText)) + " (" +
                               std::string(value) + ")");
    }
    encoded->resize(kRecordLength, ' ');
    return std::move(*encoded);
}

bool SettingsRecordFile::can_store(std::string_view value) {
    return text::to_cp932(to_slot(value)).has_value();
}

std::string SettingsRecordFile::decode_record(std::string_view bytes) {
    const auto nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    }
    return to_slot(text::from_cp932_prefix(bytes, kFieldChars));
}

SystemResult<std::string> SettingsRecordFile::read_bytes() const {
    // Only the 47 records are ever read: a file of any size (or a link to a
    // device) costs no more than they do; bytes past them stay on the disk.
    auto bytes = platform::read_file(path_, kImageBytes);
    if (bytes.error() == ENOENT) {
        return std::string();  // no file yet: it holds no record
    }
    if (!bytes) {
        return file_error(bytes.error(), FileOperation::kRead, path_);
    }
    return std::move(*bytes);
}

SystemResult<SettingsRecordFile::Records> SettingsRecordFile::read_all() const {
    const auto read = read_bytes();
    if (!read) {
        return read.error();
    }
    const std::string& bytes = *read;
    Records records(kRecordCount);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::size_t offset = i * kRecordLength;
        if (offset < bytes.size()) {
            records[i] = decode_record(std::string_view(bytes).substr(offset, kRecordLength));
        }
    }
    return records;
}

SystemResult<std::string> SettingsRecordFile::read_record(int n) const {
    check_record_number(n);
    const auto records = read_all();
    if (!records) {
        return records.error();
    }
    const auto& record = (*records)[static_cast<std::size_t>(n - 1)];
    return record ? *record : std::string(kFieldChars, ' ');
}

SystemStatus SettingsRecordFile::write_record(int n, std::string_view text) const {
    check_record_number(n);
    const auto record = encode_record(text);
    if (!record) {
        return record.error();
    }
    auto read = read_bytes();
    if (!read) {
        return read.error();
    }
    std::string bytes = std::move(*read);
    const std::size_t offset = static_cast<std::size_t>(n - 1) * kRecordLength;
    if (bytes.size() < offset + kRecordLength) {
        bytes.resize(offset + kRecordLength, ' ');
    }
    bytes.replace(offset, kRecordLength, *record);
    if (const int err = platform::replace_file_contents(path_, bytes, true).error()) {
        return file_error(err, FileOperation::kWrite, path_);
    }
    return {};
}

SystemStatus SettingsRecordFile::write_all(const Slots& slots) const {
    std::string image;
    image.reserve(kImageBytes);
    for (const auto& slot : slots) {
        const auto record = encode_record(slot);
        if (!record) {
            return record.error();
        }
        image += *record;
    }
    if (const int err = platform::replace_file_contents(path_, image, true).error()) {
        return file_error(err, FileOperation::kWrite, path_);
    }
    return {};
}

}  // namespace tarvenix
