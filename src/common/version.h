#pragma once

namespace tessaly {

// Program version shown by the front ends.
const char* version_text();

}  // namespace tessaly
