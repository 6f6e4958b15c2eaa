#include "common/platform/storage.h"

namespace tarvenix::platform {

StorageKind storage_kind(const Directory&) {
    return StorageKind::kLocal;
}

}  // namespace tarvenix::platform
