#pragma once

// Writing whole files safely: system.dat is replaced in one step, the
// history is appended to. posix/file_writes_posix.cpp and
// win32/file_writes_win32.cpp implement it.

#include <string>
#include <string_view>

#include "common/platform/result.h"

namespace tarvenix::platform {

// Replaces the file's contents as one step: the bytes go to a temporary file
// in the same folder, are flushed to the disk and renamed over the file, so a
// failure or a crash leaves either the old or the new file, never a mix. With
// keep_old_tail, the old file's bytes past the length of the new ones stay
// (copied in pieces, never held in memory). A target that exists and is not
// a regular file is refused with EINVAL and left alone.
Status replace_file_contents(const std::string& path, std::string_view bytes,
                             bool keep_old_tail = false);

// Appends bytes at the end of the file (creating it). With start_on_new_line,
// a file whose last byte is not a line feed first gets "\r\n", so the new text
// never continues a line a crash or a full disk left unfinished. A write that
// fails part-way is cut back off, leaving the file as it was.
Status append_to_file(const std::string& path, std::string_view bytes, bool start_on_new_line);

}  // namespace tarvenix::platform
