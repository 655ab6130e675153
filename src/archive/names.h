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

// Length of a safe name's longest folder or file name on this host: UTF-16
// units on Windows, UTF-8 bytes elsewhere. Builds no path, so that a name of
// millions of folders costs no memory beyond itself.
std::size_t longestHostComponent(std::u16string_view storedName);

// Why a stored name is unsafe, in English, or an empty string when it is safe.
std::string unsafeNameReason(const std::u16string& storedName, NameRules rules = hostNameRules());

// Finds names that cannot lie side by side in one tree: a file and a folder
// of one name, and under Windows rules two names (of files or folders) that
// differ only in letter case, which Windows would merge or overwrite. Two
// entries of exactly one name are no clash: the later one wins. Memory grows
// with the total length of the names, never with their depth.
class NameClashFinder {
  public:
    explicit NameClashFinder(NameRules rules = hostNameRules());

    // Adds a safe name; returns why it clashes with a name added before
    // (naming that one), or an empty string.
    std::string add(const std::u16string& storedName);

  private:
    // A file or folder name, or a run of folders down to one (a chain)
    // where no other name has branched off yet; its spelling is a slice of
    // spellings_, with "\\" between the names of a chain. A node is keyed by
    // its parent and its first name.
    struct Node {
        std::uint32_t start;
        std::uint32_t parent;
        std::uint32_t length : 31;
        std::uint32_t isFile : 1;  // of the chain's last name
    };
    // Open addressing over node numbers, with each node's hash kept beside
    // it so that a probe reads no name. Written by hand: std::unordered_set
    // over node numbers hashes names again while probing, and took a
    // quarter of the user time of packing 100,000 small files; this takes
    // a sixteenth.
    struct Slot {
        std::uint32_t node;
        std::uint32_t hash;
    };
    std::uint32_t hashOf(std::uint32_t parent, std::u16string_view component) const;
    bool sameComponent(std::u16string_view a, std::u16string_view b) const;
    // The slot of the node with this parent and first name, or the empty
    // slot where it would go.
    std::size_t findSlot(std::uint32_t parent, std::u16string_view component,
                         std::uint32_t hash) const;
    void insert(std::uint32_t node, std::uint32_t hash);
    void grow();
    std::uint32_t addNode(std::u16string_view spelling, std::uint32_t parent, bool isFile);
    std::u16string_view spellingOf(std::uint32_t node) const;
    // The path down to the first length units of a node's spelling.
    std::u16string pathOf(std::uint32_t node, std::size_t length) const;

    NameRules rules_;
    std::vector<Node> nodes_;
    std::u16string spellings_;
    std::vector<Slot> slots_;  // a power of two in size, at most half full
    std::uint32_t lastFolder_;
    std::u16string lastFolderName_;
};

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
