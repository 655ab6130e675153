#include "archive/format/name_clash.h"

#include <array>
#include <random>

#include "archive/display_text.h"
#include "archive/format/letter_case.h"

namespace tessapak::archive {

namespace {
constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFF;

std::uint64_t rotate(std::uint64_t x, int bits) {
    return (x << bits) | (x >> (64 - bits));
}

// SipHash-1-3 (Aumasson and Bernstein) under a key drawn once per process:
// names chosen to fall into one slot of one run fall apart in the next, so
// no archive can make the table's probing quadratic.
class KeyedHash {
  public:
    KeyedHash() {
        static const std::array<std::uint64_t, 2> key = [] {
            std::random_device random;
            auto draw = [&] { return std::uint64_t{random()} << 32 | random(); };
            return std::array<std::uint64_t, 2>{draw(), draw()};
        }();
        v0_ = key[0] ^ 0x736f6d6570736575ULL;
        v1_ = key[1] ^ 0x646f72616e646f6dULL;
        v2_ = key[0] ^ 0x6c7967656e657261ULL;
        v3_ = key[1] ^ 0x7465646279746573ULL;
    }
    void add(std::uint64_t word) {
        v3_ ^= word;
        round();
        v0_ ^= word;
        ++words_;
    }
    std::uint64_t finish() {
        v3_ ^= words_;
        round();
        v0_ ^= words_;
        v2_ ^= 0xFF;
        round();
        round();
        round();
        return v0_ ^ v1_ ^ v2_ ^ v3_;
    }

  private:
    void round() {
        v0_ += v1_;
        v1_ = rotate(v1_, 13) ^ v0_;
        v0_ = rotate(v0_, 32);
        v2_ += v3_;
        v3_ = rotate(v3_, 16) ^ v2_;
        v0_ += v3_;
        v3_ = rotate(v3_, 21) ^ v0_;
        v2_ += v1_;
        v1_ = rotate(v1_, 17) ^ v2_;
        v2_ = rotate(v2_, 32);
    }
    std::uint64_t v0_, v1_, v2_, v3_;
    std::uint64_t words_ = 0;
};

std::u16string_view firstComponent(std::u16string_view spelling) {
    return spelling.substr(0, spelling.find(kStoredSeparator));
}
}  // namespace

NameClashFinder::NameClashFinder(NameRules rules)
    : rules_(rules), slots_(64, Slot{kEmptySlot, 0}), lastFolder_(kNoParent) {}

std::uint32_t NameClashFinder::hashOf(std::uint32_t parent, std::u16string_view component) const {
    KeyedHash hash;
    hash.add(std::uint64_t{parent} << 32 | component.size());
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < component.size(); ++i) {
        const char16_t unit =
            rules_ == NameRules::Windows ? windowsUpperCase(component[i]) : component[i];
        word = word << 16 | unit;
        if (i % 4 == 3) {
            hash.add(word);
            word = 0;
        }
    }
    if (component.size() % 4 != 0) {
        hash.add(word);
    }
    const std::uint64_t h = hash.finish();
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

bool NameClashFinder::sameComponent(std::u16string_view a, std::u16string_view b) const {
    return rules_ == NameRules::Windows ? equalsIgnoringCase(a, b) : a == b;
}

std::size_t NameClashFinder::findSlot(std::uint32_t parent, std::u16string_view component,
                                      std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.node == kEmptySlot ||
            (slot.hash == hash && nodes_[slot.node].parent == parent &&
             sameComponent(firstComponent(spellingOf(slot.node)), component))) {
            return at;
        }
    }
}

void NameClashFinder::insert(std::uint32_t node, std::uint32_t hash) {
    if (2 * nodes_.size() > slots_.size()) {
        grow();
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = hash & mask;
    while (slots_[at].node != kEmptySlot) {
        at = (at + 1) & mask;
    }
    slots_[at] = {node, hash};
}

void NameClashFinder::grow() {
    std::vector<Slot> old(2 * slots_.size(), Slot{kEmptySlot, 0});
    old.swap(slots_);
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.node == kEmptySlot) {
            continue;
        }
        std::size_t at = slot.hash & mask;
        while (slots_[at].node != kEmptySlot) {
            at = (at + 1) & mask;
        }
        slots_[at] = slot;
    }
}

std::u16string_view NameClashFinder::spellingOf(std::uint32_t node) const {
    return std::u16string_view(spellings_).substr(nodes_[node].start, nodes_[node].length);
}

std::uint32_t NameClashFinder::addNode(std::u16string_view spelling, std::uint32_t parent,
                                       bool isFile) {
    // An archive holds under 2^31 bytes of names, so node numbers and
    // lengths fit 32 bits.
    const auto node = static_cast<std::uint32_t>(nodes_.size());
    nodes_.push_back({static_cast<std::uint32_t>(spellings_.size()), parent,
                      static_cast<std::uint32_t>(spelling.size()), isFile ? 1u : 0u});
    spellings_ += spelling;
    insert(node, hashOf(parent, firstComponent(spelling)));
    return node;
}

// One function rather than steps: the two loops share the walk's position
// (parent, start, offset) and a split of a node in the inner loop restarts
// the outer one from where it was.
std::string NameClashFinder::add(const std::u16string& name) {
    const std::u16string_view whole(name);
    std::uint32_t parent = kNoParent;
    std::size_t start = 0;
    // Names of one folder mostly come one after another; their folder was
    // judged with the first of them.
    const std::size_t cut = whole.rfind(kStoredSeparator);
    if (cut != std::u16string::npos && lastFolder_ != kNoParent &&
        whole.substr(0, cut) == lastFolderName_) {
        parent = lastFolder_;
        start = cut + 1;
    }
    while (true) {
        // The rest of the name goes in as one node unless a sibling holds
        // its first component already; then the two are walked side by side
        // and the node split where they part, so that a deep name costs one
        // node rather than one per folder.
        const std::u16string_view rest = whole.substr(start);
        const std::uint32_t hash = hashOf(parent, firstComponent(rest));
        const std::size_t at = findSlot(parent, firstComponent(rest), hash);
        const std::uint32_t found = slots_[at].node;
        if (found == kEmptySlot) {
            addNode(rest, parent, true);
            if (parent != kNoParent && start == cut + 1 && lastFolder_ != parent) {
                lastFolder_ = parent;
                lastFolderName_.assign(whole.substr(0, cut));
            }
            return {};
        }
        const std::u16string_view chain = spellingOf(found);
        std::size_t offset = 0;  // of the chain's component now compared
        while (true) {
            const std::size_t chainEnd =
                std::min(chain.find(kStoredSeparator, offset), chain.size());
            const std::size_t nameEnd = std::min(whole.find(kStoredSeparator, start), whole.size());
            const std::u16string_view ours = chain.substr(offset, chainEnd - offset);
            const std::u16string_view theirs = whole.substr(start, nameEnd - start);
            if (!sameComponent(ours, theirs)) {
                // Parted below the chain's first component: its head becomes
                // a folder node of its own with the old node's key, and the
                // rest of the chain hangs below it.
                const auto head = static_cast<std::uint32_t>(nodes_.size());
                nodes_.push_back({nodes_[found].start, nodes_[found].parent,
                                  static_cast<std::uint32_t>(offset - 1), 0});
                slots_[at].node = head;
                Node& tail = nodes_[found];
                tail.start += static_cast<std::uint32_t>(offset);
                tail.length -= static_cast<std::uint32_t>(offset);
                tail.parent = head;
                insert(found, hashOf(head, ours));
                parent = head;
                break;
            }
            if (ours != theirs) {
                return "the name differs only in letter case from \"" +
                       displayName(pathOf(found, chainEnd)) + "\", and Windows cannot hold both";
            }
            const bool chainEnds = chainEnd == chain.size();
            const bool nameEnds = nameEnd == whole.size();
            if (nameEnds || chainEnds) {
                const bool chainIsFile = chainEnds && nodes_[found].isFile != 0;
                if (nameEnds != chainIsFile) {
                    return "the name is used for a file and for a folder";
                }
                if (nameEnds) {
                    return {};
                }
                parent = found;
                start = nameEnd + 1;
                break;
            }
            offset = chainEnd + 1;
            start = nameEnd + 1;
        }
    }
}

std::u16string NameClashFinder::pathOf(std::uint32_t node, std::size_t length) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t at = nodes_[node].parent; at != kNoParent; at = nodes_[at].parent) {
        chain.push_back(at);
    }
    std::u16string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += spellingOf(*it);
        path.push_back(kStoredSeparator);
    }
    path += spellingOf(node).substr(0, length);
    return path;
}

}  // namespace tessapak::archive
