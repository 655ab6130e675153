#pragma once

#include <QString>
#include <filesystem>

namespace tessapak::app {

// Path boxes hold text; the engine takes host paths. Both conversions use
// the encoding Qt uses for file names (UTF-16 on Windows), so what a dialog
// returned arrives unchanged.
std::filesystem::path toHostPath(const QString& text);
QString fromHostPath(const std::filesystem::path& path);

// True when the last four characters, in any letter case, are ".rdb".
bool hasRdbExtension(const QString& name);

// The pickers' existence test: an ordinary file, not a folder and not a
// hidden file (on POSIX, one whose name starts with ".").
bool visibleFileExists(const QString& name);

// Any file of that name, hidden or not: what a replace question must see.
bool anyFileExists(const QString& name);

// The folder that holds a file, as the path boxes show it: no trailing
// separator, except that a file in the root gives the root itself.
QString containingFolder(const QString& name);

// The archive that packing a folder proposes: the folder's path and ".rdb".
QString archiveNameForFolder(const QString& folder);

// The text before the first NUL, for names that came through a C buffer.
QString cutAtNul(const QString& name);

// A typed or pasted path as it is meant: without surrounding blanks and
// without one pair of surrounding double quotes, as Windows' 复制为路径
// puts them around a path.
QString cleanedPath(const QString& text);

// True when the path ends with a separator ("\" or "/"), so it names a
// folder and no file.
bool endsWithSeparator(const QString& path);

// The name the pack run writes: the path with ".rdb" added unless it has it.
QString archiveNameFor(const QString& output);

}  // namespace tessapak::app
