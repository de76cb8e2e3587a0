#include "common/version.h"

namespace tessaly {

const char* version_text() {
    return "0.1.0";
}

}  // namespace tessaly
