#pragma once

#include <QString>
#include <filesystem>

class QFontMetrics;

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

// A status line for a failure: text with %1 where the path goes, the path cut
// in the middle ("…") so that the whole line fits width pixels.
QString fittedStatus(const QString& text, const QString& path, const QFontMetrics& metrics,
                     int width);

// prefix (such as "解包失败：") and the description of error, fitted as above.
QString failureStatus(const QString& prefix, const archive::ArchiveError& error,
                      const QFontMetrics& metrics, int width);

}  // namespace tessapak::app
