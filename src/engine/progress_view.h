#pragma once

// The progress dialog as the engine sees it: the set's folders, the folder
// being listed and the file being copied, shown while a run is in progress.
// Its cancel button calls BackupEngine::request_abort().

#include <cstdint>
#include <string_view>

#include "common/system_error.h"

namespace tarvenix {

enum class ProgressLabel { srcfld, dstfld, subfld, cpfname, filesize };
// The label's name in the dialog: "srcfld" ...
std::string_view progress_label_name(ProgressLabel label);

class ProgressView : public ProgressVisibility {
public:
    // Shows the dialog without blocking (the main window stays usable); it
    // centres itself on its first showing.
    virtual void show() = 0;
    virtual bool visible() const = 0;
    // srcfld, dstfld and subfld.
    virtual void set_label(ProgressLabel label, std::string_view text) = 0;
    // The file about to be copied (cpfname) and its size in bytes (filesize
    // shows it in thousands); then the end of its copy.
    virtual void file_started(std::string_view name, std::uint64_t bytes) = 0;
    virtual void file_finished() = 0;
};

}  // namespace tarvenix
