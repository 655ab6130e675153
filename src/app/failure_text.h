#pragma once

#include <QString>

#include "archive/archive_error.h"

namespace tessapak::app {

// A short Simplified Chinese description of why a pack run failed, naming
// the file or folder concerned; it follows the pack failure message directly.
QString describePackFailure(const archive::ArchiveError& error);

}  // namespace tessapak::app
