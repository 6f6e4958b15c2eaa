#pragma once

// Where the program keeps its files. The settings and the history live
// beside the executable, so a copy of the program in a folder of its own
// (the portable zip, a per-user install) carries them along; a program the
// user cannot write beside (installed by the system's package manager, in
// Program Files) keeps them in the user's own configuration folder instead.

#include <string>

namespace tarvenix {

inline constexpr char kHelpFileName[] = "Tarvenix7.chm";

struct FileLocations {
    // Everything in the program's folder, without asking the system.
    static FileLocations beside(const std::string& program_folder);

    std::string data_folder;  // system.dat and history.txt
    std::string help_file_path;
};

// The program folder when the user may write there and it is not part of the
// system (/usr); else the user's configuration folder ($XDG_CONFIG_HOME or
// ~/.config, %APPDATA% on Windows) with a folder of the program's own, created
// when needed. The help is the one beside the executable, else the one in
// <prefix>/share/tarvenix, where a package puts it (/usr/bin → /usr/share);
// with neither, the one beside the executable, which is the path the help
// command's error then names.
FileLocations locate_program_files(const std::string& program_folder);

}  // namespace tarvenix
