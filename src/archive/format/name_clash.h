#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/format/names.h"

namespace tessapak::archive {

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

}  // namespace tessapak::archive
