#pragma once

// The progress dialog as the engine sees it: five labels, shown while a run
// is in progress. Its cancel button calls BackupEngine::request_abort().

#include <string_view>

#include "common/system_error.h"

namespace tarvenix {

enum class ProgressLabel { srcfld, dstfld, subfld, cpfname, filesize };

class ProgressView : public ProgressVisibility {
public:
    // Shows the dialog without blocking (the main window stays usable); it
    // centres itself on its first showing.
    virtual void show() = 0;
    virtual bool visible() const = 0;
    virtual void set_label(ProgressLabel label, std::string_view text) = 0;
};

}  // namespace tarvenix
