#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/utf.h"

namespace tessapak::archive {

// The one place where stored names meet host paths: "\" <-> the host's
// separator, UTF-16 code units <-> UTF-8 on POSIX hosts, wide paths on Windows.

// Which file systems a name must suit. Windows refuses more names than POSIX
// hosts do: an archive written anywhere must unpack on Windows, while an
// unpack on POSIX accepts whatever POSIX can hold.
enum class NameRules { Posix, Windows };

// Between the folders of a stored name.
inline constexpr char16_t kStoredSeparator = u'\\';

// The rules of the host this program runs on.
NameRules hostNameRules();

// Relative host path of a stored name, to be joined below the target folder,
// or nothing when the name is unsafe on this host. Below the target folder a
// name's UTF-16 units map one to one: UTF-8 on POSIX, the same units on Windows.
// A name is unsafe when it is empty, has an empty component, a component "." or
// "..", starts with "\" or a drive, contains ":" or a control character, holds
// a host separator other than "\", or holds an unpaired surrogate. Under
// Windows rules also when it holds < > " | ? or *, a component ends in a dot
// or a space, or a component is a device name (CON, PRN, AUX, NUL, COM0-COM9,
// LPT0-LPT9, CONIN$, CONOUT$, with or without an extension, in any case).
std::optional<std::filesystem::path> hostPathFor(const std::u16string& storedName);

// The host's form of a name judged safe already, into native, without
// judging it again or parsing a path: for work done once per file. False
// when it does not convert.
[[nodiscard]] bool hostFormOfJudged(std::u16string_view storedName,
                                    std::filesystem::path::string_type& native);

// Length of a safe name's longest folder or file name on this host: UTF-16
// units on Windows, UTF-8 bytes elsewhere. Builds no path, so that a name of
// millions of folders costs no memory beyond itself.
std::size_t longestHostComponent(std::u16string_view storedName);

// The fixed order of names within one folder, which the walk sorts by and an
// update inserts by: ASCII letters upper-cased, then code unit by code unit;
// names equal under it fall back to the plain units, so that the order never
// depends on the file system.
bool walkOrderBefore(std::u16string_view a, std::u16string_view b);

// Why a stored name is unsafe, in English, or an empty string when it is safe.
std::string unsafeNameReason(const std::u16string& storedName, NameRules rules = hostNameRules());

// Stored form of a path relative to the packed folder, or nothing when the
// format cannot hold it (a "\" inside a POSIX name, bytes that are not UTF-8)
// or when it would be an unsafe name under Windows rules, so that every
// archive written anywhere unpacks on Windows.
std::optional<std::u16string> storedNameFor(const std::filesystem::path& relative);

// Why storedNameFor refuses a relative path, in English, or an empty string.
std::string unstorableNameReason(const std::filesystem::path& relative);

// Whether a path's last component is a name that Windows takes for a device
// in every folder (NUL, CON, COM1, "aux.rdb" ...), so that no file there has it.
bool isWindowsDeviceName(const std::filesystem::path& path);

}  // namespace tessapak::archive
