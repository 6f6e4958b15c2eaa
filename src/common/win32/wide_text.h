#pragma once

// The program's UTF-8 text and the UTF-16 text of the wide Windows calls:
// the one conversion the Windows platform layer and the Win32 windows share.

#include <string>
#include <string_view>

namespace tarvenix::platform {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace tarvenix::platform
