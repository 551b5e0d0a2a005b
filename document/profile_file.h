// Our own Windows-style profile (INI) file, read as the system's profile
// functions read it: the first matching section and key (letters compared
// without regard to case), values trimmed and one pair of surrounding quotes
// removed, lines ended by CR LF, CR or LF, a UTF-16LE file with its byte order
// mark taken as text. Written back with comment lines, foreign keys and their
// order kept, lines in CR LF, in the file's own encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon::document {

class ProfileFile {
 public:
  // Parses the file's bytes into UTF-8 text. A UTF-16LE file (byte order mark
  // FF FE) is converted; any other is the host's 8-bit text as the system's
  // profile functions take it (the ANSI code page on Windows, converted; on
  // POSIX the bytes as they are), a UTF-8 mark included (Windows does not
  // know it).
  static ProfileFile Parse(std::string_view bytes);

  // The value of the first matching key of the first matching section, blanks
  // and tabs around it removed, then one pair of matching quotes (" or ')
  // around it; nullopt when the section or the key is absent.
  std::optional<std::string> GetValue(std::string_view section, std::string_view key) const;

  // The 1-based line in the parsed file of the line GetValue reads the key
  // from (0 when absent), and of the header of the section it reads from.
  // Counted as parsed: lines added by SetValue are not numbered.
  std::size_t LineOfKey(std::string_view section, std::string_view key) const;
  std::size_t LineOfSection(std::string_view section) const;

  // Replaces that key's value in place; a missing key is added after the last
  // non-empty line of its section, a missing section at the end of the file.
  // A value whose quotes GetValue would take off (one kind at both ends once
  // trimmed) is written inside a pair of double quotes, so that it reads back
  // as set, surrounding blanks aside.
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  // Every line followed by CR LF; UTF-16LE with its mark when parsed so, or
  // when a value set is text the 8-bit file's code page (ANSI on Windows)
  // cannot hold.
  std::string Serialize() const;

 private:
  // A line is a span of the original text or, once edited or added, of
  // `edits_`; parsing a large file then copies it once and allocates little.
  struct Line {
    std::size_t begin = 0;
    std::size_t size = 0;
    bool edited = false;
    // The line as the file held it, in `wide_` (UTF-16) or `raw_` (the ANSI
    // code page, when not plain ASCII): written back as it was unless edited,
    // so reading and writing never change a line nobody touched.
    std::size_t sourceBegin = 0;
    std::size_t sourceSize = 0;
  };
  struct KeyEntry {
    std::uint32_t hash;  // of the key folded to lower case
    std::size_t line;    // index in the section's lines
  };
  struct Section {
    std::string name;         // as in the header, trimmed
    std::vector<Line> lines;  // the header line first
    std::vector<KeyEntry> keys;  // key lines in file order
  };
  std::string text_;
  std::string edits_;
  bool utf16_ = false;
  std::u16string wide_;  // a UTF-16 file's text, without its mark
  std::string raw_;      // an 8-bit file's bytes, when the code page's text is not UTF-8's
  std::vector<Line> preamble_;  // lines before the first section
  std::vector<Section> sections_;
  // Section name folded to lower case -> index of its first section.
  std::unordered_map<std::string, std::size_t> sectionIndex_;

  std::string_view View(const Line& line) const;
  std::string SerializeUtf16(const std::vector<const Line*>& lines) const;
  Line AddEdit(std::string_view text);
  void AddLine(Line line);
  template <typename Units, typename Convert>
  void AddConvertedLines(std::basic_string_view<Units> source, Convert convert);
  const Section* FindSection(std::string_view name) const;
  Section* FindSection(std::string_view name);
  // Lines before `section`'s header in the parsed file.
  std::size_t LinesBefore(const Section& section) const;
  // Index in `section.lines` of the first key line for `key`, or npos.
  std::size_t FindKey(const Section& section, std::string_view key) const;
};

}  // namespace quillon::document
