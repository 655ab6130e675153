#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace tessapak::cli {

// The commands that look inside an archive without unpacking all of it.
// Entry names on the command line are UTF-8 with "/" between folders.

// One JSON document: the archive's path, counts and every entry in order.
void runListJson(const std::filesystem::path& archive, std::ostream& out);

// Writes the named entries (all without names; a folder's name, or a name
// ending in "/", takes everything below it) under folder, made if missing.
void runExtract(const std::filesystem::path& archive, const std::filesystem::path& folder,
                const std::vector<std::string>& names, bool overwrite,
                const CommandOptions& options, std::ostream& out);

// The entry's bytes and nothing else.
void runCat(const std::filesystem::path& archive, const std::string& name, std::ostream& out);

// A name as the command line gives it, in stored form; nothing when it is
// not UTF-8.
std::optional<std::u16string> storedFormOf(const std::string& name);

// A JSON string literal for a stored name: "/" between folders, UTF-8, and
// JSON's escapes for quotes and control characters; a lone surrogate is kept
// as its \u escape.
std::string jsonStoredName(const std::u16string& storedName);

// A JSON string literal for UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::string jsonText(std::string_view utf8);

}  // namespace tessapak::cli
