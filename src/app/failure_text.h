#pragma once

#include <QString>
#include <filesystem>

#include "archive/archive_error.h"

namespace tessapak::app {

// A path as a message box shows it: escaped and cut like every name shown to
// a person (see archive/display_text.h), with the host's separators.
QString shownPath(const std::filesystem::path& path);

// An English message from a library, with anything that could hide itself or
// break the line escaped.
QString shownMessage(const char* text);

// A short Simplified Chinese description of why a pack run failed, naming
// the file or folder concerned; it follows the pack failure message directly.
QString describePackFailure(const archive::ArchiveError& error);

}  // namespace tessapak::app
