#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "archive/display_text.h"

namespace tessapak::archive {

// The one place where stored names meet host paths: "\" <-> the host's
// separator, UTF-16 code units <-> UTF-8 on POSIX hosts, wide paths on Windows.

// Relative host path of a stored name, to be joined below the target folder,
// or nothing when the name is unsafe.
// A name is unsafe when it is empty, has an empty component, a component "." or
// "..", starts with "\" or a drive, contains ":" or a control character, holds
// a host separator other than "\", or holds an unpaired surrogate.
std::optional<std::filesystem::path> hostPathFor(const std::u16string& storedName);

// Why a stored name is unsafe, in English, or an empty string when it is safe.
std::string unsafeNameReason(const std::u16string& storedName);

// Stored form of a path relative to the packed folder, or nothing when the
// format cannot hold it (a "\" inside a POSIX name, bytes that are not UTF-8)
// or when it would be an unsafe name that no unpacker should accept.
std::optional<std::u16string> storedNameFor(const std::filesystem::path& relative);

// Why storedNameFor refuses a relative path, in English, or an empty string.
std::string unstorableNameReason(const std::filesystem::path& relative);

// Strict conversions: overlong forms, encoded surrogates, code points past
// U+10FFFF, cut-off sequences and unpaired surrogates give nothing.
std::optional<std::u16string> utf8ToUtf16(std::string_view utf8);
std::optional<std::string> utf16ToUtf8(std::u16string_view utf16);

// Stored name as shown to a person: "/" between folders, UTF-8, with the
// escapes and the cut of display_text.h (an unpaired surrogate shows as
// U+FFFD). Every message and listing that names an entry goes through it.
std::string displayName(const std::u16string& storedName, std::size_t limit = kDisplayLimit);

}  // namespace tessapak::archive
