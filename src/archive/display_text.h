#pragma once

// Names and paths shown to a person. They come from archives and folders that
// anyone may have made: shown raw, an escape sequence in one could retitle or
// clear a terminal, a bidi override could make "gpj.exe" read as "exe.jpg",
// and a 32,000-character name would bury the message it appears in.
//
// The shown form: control characters (C0, DEL, C1) and invisible format
// characters (bidi marks, embeddings, overrides and isolates, zero-width
// characters, line and paragraph separators, tags) appear as escapes, "\x1b"
// for ASCII controls, "\u202e" or "\U000e0001" for the rest, and a byte that
// is not UTF-8 as "\xff". A "\" in a shown name or path therefore always
// starts an escape; a backslash that belongs to a host name shows as "\\".
// Everything else, Chinese included, is shown as it is.

#include <cstddef>
#include <filesystem>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tessapak::archive {

// Longest shown form of one name or path, in characters; a longer one keeps
// its beginning and its end around "…", so that one error stays one line.
inline constexpr std::size_t kDisplayLimit = 200;
inline constexpr std::size_t kNoDisplayLimit = std::numeric_limits<std::size_t>::max();

// Collects the shown form one character at a time, so that a long text is
// cut between characters and never inside an escape.
class DisplayBuilder {
  public:
    // A character of the name; escaped when it could act on a terminal or
    // hide itself.
    void addCodePoint(char32_t codePoint);
    // A byte that does not decode as UTF-8.
    void addRawByte(unsigned char byte);
    // Shown as given, counted as one character (a separator).
    void addLiteral(std::string_view text);
    // Decodes UTF-8 leniently: what does not decode is shown byte by byte.
    void addUtf8(std::string_view text);

    // The shown form, cut in the middle when longer than limit characters.
    std::string take(std::size_t limit = kDisplayLimit) &&;

  private:
    void endPiece(std::size_t width);

    std::string text_;
    // Byte end and character count after each character, for the cut.
    std::vector<std::size_t> byteEnds_;
    std::vector<std::size_t> widthEnds_;
    std::size_t width_ = 0;
};

// A host path as shown to a person (see above), cut at limit characters.
std::string displayPath(const std::filesystem::path& path, std::size_t limit = kDisplayLimit);

// A whole message made safe for a terminal or a message box: controls, format
// characters and bytes that are not UTF-8 are escaped, but "\" and the length
// are left alone, since the names inside were shown through displayName or
// displayPath already.
std::string displayLine(std::string_view text);

// Stored name as shown to a person: "/" between folders, UTF-8, with the
// escapes and the cut above (an unpaired surrogate shows as U+FFFD). Every
// message and listing that names an entry goes through it.
std::string displayName(const std::u16string& storedName, std::size_t limit = kDisplayLimit);

}  // namespace tessapak::archive
