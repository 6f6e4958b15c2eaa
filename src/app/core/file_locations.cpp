#include "app/core/file_locations.h"

#include "common/platform/files.h"
#include "common/platform/process.h"

namespace tarvenix {

namespace {

std::string joined(const std::string& folder, const std::string& name) {
    return folder + platform::kPathSeparator + name;
}

bool exists(const std::string& path) {
    return platform::status(path, true).has_value();
}

// Inside the folder, or the folder itself.
bool inside(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.starts_with(folder) &&
           (path.size() == folder.size() || path[folder.size()] == platform::kPathSeparator);
}

}  // namespace

FileLocations FileLocations::beside(const std::string& program_folder) {
    return FileLocations{program_folder, joined(program_folder, kHelpFileName)};
}

FileLocations locate_program_files(const std::string& program_folder) {
    FileLocations files = FileLocations::beside(program_folder);
    const std::string shared_help =
        joined(joined(joined(platform::split_parent(program_folder).first, "share"), "tarvenix"),
               kHelpFileName);
    if (!exists(files.help_file_path) && exists(shared_help)) {
        files.help_file_path = shared_help;
    }
    // The system's folder belongs to the package manager, even for root, who
    // may write there.
    if (platform::folder_writable(program_folder) &&
        !inside(program_folder, platform::system_folder())) {
        return files;
    }
    const std::string user_folder = platform::user_config_folder();
    if (!user_folder.empty()) {
        files.data_folder = joined(user_folder, platform::kUserFolderName);
        // For the user alone (the settings hold the user's folder names). A
        // failure is left for the first read or write of a file there to
        // report, with the path in the message.
        (void)platform::make_folders(files.data_folder, 0700);
    }
    return files;
}

}  // namespace tarvenix
