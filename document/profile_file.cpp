// Our own profile (INI) file, so that engine and toolkit read and write
// documents alike on every platform, and as the system's profile functions
// read them on Windows. Parsed once into line spans with an index of sections
// and key hashes, so lookups do not rescan the text.
#include "document/profile_file.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/text.h"

namespace quillon::document {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// ASCII only: the document's names are ASCII, and folding bytes of other code
// pages would make lookups depend on the locale.
// The name of a section header line, or nullopt when the line is no header.
// A '[' without a closing ']' is not taken as a header.
std::optional<std::string_view> HeaderName(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  std::size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(trimmed.substr(1, close - 1));
}

// Position of the '=' of a key line; npos for comments and lines without one.
std::size_t KeySeparator(std::string_view line) {
  std::string_view trimmed = Trim(line);
  if (!trimmed.empty() && trimmed.front() == ';') return std::string_view::npos;
  return line.find('=');
}

bool IsEmptyLine(std::string_view line) { return Trim(line).empty(); }

// FNV-1a over the folded bytes: lets a lookup skip most keys without
// comparing their text.
std::uint32_t FoldedHash(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(LowerAscii(c));
    hash *= 16777619u;
  }
  return hash;
}

std::string_view KeyOf(std::string_view line) { return Trim(line.substr(0, line.find('='))); }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A trimmed value as the system's reader returns it: without one pair of
// matching quotes around it. It judges the value as a C string, so the quotes
// are looked for before a NUL.
std::string_view WithoutQuotes(std::string_view value) {
  std::string_view text = value.substr(0, value.find('\0'));
  if (text.size() >= 2 && IsQuote(text.front()) && text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return value;
}

constexpr std::string_view kUtf16Mark = "\xFF\xFE";

std::u16string Utf16LeUnits(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');  // an odd last byte is no character
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return units;
}

void AppendUtf16Le(std::string& bytes, std::u16string_view units) {
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
}

// Where the line starting at `pos` ends and the next begins: CR LF, CR and LF
// each end a line.
template <typename Text>
std::pair<std::size_t, std::size_t> LineEnd(const Text& text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
  std::size_t next = end + 1;
  if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') ++next;
  return {end, next};
}

}  // namespace

// Each line of `source` converted to UTF-8 on its own by `convert`, so that
// it keeps where its own units are for writing back.
template <typename Units, typename Convert>
void ProfileFile::AddConvertedLines(std::basic_string_view<Units> source, Convert convert) {
  for (std::size_t pos = 0; pos < source.size();) {
    const auto [end, next] = LineEnd(source, pos);
    const std::string narrow = convert(source.substr(pos, end - pos));
    Line line{text_.size(), narrow.size(), false, pos, end - pos};
    text_ += narrow;
    text_ += '\n';
    AddLine(line);
    pos = next;
  }
}

ProfileFile ProfileFile::Parse(std::string_view bytes) {
  ProfileFile file;
  file.utf16_ = bytes.substr(0, kUtf16Mark.size()) == kUtf16Mark;
  if (file.utf16_) {
    file.wide_ = Utf16LeUnits(bytes.substr(kUtf16Mark.size()));
    file.AddConvertedLines(std::u16string_view(file.wide_),
                           [](std::u16string_view line) { return platform::Utf16ToNarrow(line); });
    return file;
  }
  file.text_ = platform::CodePageToNarrow(bytes);
  if (file.text_ != bytes) {
    // The ANSI code page of Windows, not plain ASCII: converted line by line
    // (no code page has CR or LF inside a character).
    file.text_.clear();
    file.raw_ = std::string(bytes);
    file.AddConvertedLines(std::string_view(file.raw_),
                           [](std::string_view line) { return platform::CodePageToNarrow(line); });
    return file;
  }
  const std::string_view text = file.text_;
  // The next CR and LF are each searched for once, so a file with one kind
  // of line end only is still read in one pass.
  auto next = [&text](char c, std::size_t from) {
    std::size_t at = text.find(c, from);
    return at == std::string_view::npos ? text.size() : at;
  };
  std::size_t nextCr = next('\r', 0), nextLf = next('\n', 0);
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (nextCr < pos) nextCr = next('\r', pos);
    if (nextLf < pos) nextLf = next('\n', pos);
    const std::size_t end = std::min(nextCr, nextLf);
    file.AddLine(Line{pos, end - pos, false});
    pos = end == nextCr && end + 1 == nextLf ? end + 2 : end + 1;
  }
  return file;
}

std::string_view ProfileFile::View(const Line& line) const {
  return std::string_view(line.edited ? edits_ : text_).substr(line.begin, line.size);
}

ProfileFile::Line ProfileFile::AddEdit(std::string_view text) {
  Line line{edits_.size(), text.size(), true};
  edits_ += text;
  return line;
}

void ProfileFile::AddLine(Line line) {
  std::string_view text = View(line);
  if (std::optional<std::string_view> name = HeaderName(text)) {
    Section section;
    section.name = std::string(*name);
    sectionIndex_.emplace(LowerAscii(section.name), sections_.size());  // the first one wins
    section.lines.push_back(line);
    sections_.push_back(std::move(section));
    return;
  }
  if (sections_.empty()) {
    preamble_.push_back(line);
    return;
  }
  Section& section = sections_.back();
  std::size_t separator = KeySeparator(text);
  if (separator != std::string_view::npos) {
    section.keys.push_back(KeyEntry{FoldedHash(Trim(text.substr(0, separator))),
                                    section.lines.size()});
  }
  section.lines.push_back(line);
}

const ProfileFile::Section* ProfileFile::FindSection(std::string_view name) const {
  auto found = sectionIndex_.find(LowerAscii(Trim(name)));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

ProfileFile::Section* ProfileFile::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

std::size_t ProfileFile::FindKey(const Section& section, std::string_view key) const {
  key = Trim(key);
  const std::uint32_t hash = FoldedHash(key);
  for (const KeyEntry& entry : section.keys) {
    if (entry.hash == hash && EqualsIgnoringCase(KeyOf(View(section.lines[entry.line])), key)) {
      return entry.line;
    }
  }
  return std::string_view::npos;
}

std::size_t ProfileFile::LinesBefore(const Section& section) const {
  std::size_t count = preamble_.size();
  for (const Section& other : sections_) {
    if (&other == &section) break;
    count += other.lines.size();
  }
  return count;
}

std::size_t ProfileFile::LineOfSection(std::string_view section) const {
  const Section* found = FindSection(section);
  return found == nullptr ? 0 : LinesBefore(*found) + 1;
}

std::size_t ProfileFile::LineOfKey(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return 0;
  std::size_t index = FindKey(*found, key);
  if (index == std::string_view::npos) return 0;
  return LinesBefore(*found) + index + 1;
}

std::optional<std::string> ProfileFile::GetValue(std::string_view section,
                                                 std::string_view key) const {
  const Section* found = FindSection(section);
  if (found == nullptr) return std::nullopt;
  std::size_t index = FindKey(*found, key);
  if (index == std::string_view::npos) return std::nullopt;
  std::string_view line = View(found->lines[index]);
  return std::string(WithoutQuotes(Trim(line.substr(line.find('=') + 1))));
}

void ProfileFile::SetValue(std::string_view section, std::string_view key,
                           std::string_view value) {
  // A value is one line; a line break inside it would start a new line, and
  // possibly a new section, when the file is read again.
  std::string text(value);
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  // Quotes that reading would take off get a pair of their own around them.
  if (WithoutQuotes(Trim(text)) != Trim(text)) text = '"' + text + '"';

  Section* target = FindSection(section);
  if (target == nullptr) {
    std::vector<Line>& last = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!last.empty() && !IsEmptyLine(View(last.back()))) last.push_back(Line{});
    Section added;
    added.name = std::string(Trim(section));
    added.lines.push_back(AddEdit("[" + added.name + "]"));
    sectionIndex_.emplace(LowerAscii(added.name), sections_.size());
    sections_.push_back(std::move(added));
    target = &sections_.back();
  }

  std::size_t index = FindKey(*target, key);
  if (index != std::string_view::npos) {
    // The line keeps its key as spelled in the file.
    std::string line = std::string(KeyOf(View(target->lines[index]))) + "=" + text;
    target->lines[index] = AddEdit(line);
    return;
  }
  // After the last non-empty line, so that the blank line before the next
  // section stays where it is. Only empty lines follow, so no key index moves.
  std::size_t at = target->lines.size();
  while (at > 1 && IsEmptyLine(View(target->lines[at - 1]))) --at;
  std::string name(Trim(key));
  target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(at),
                       AddEdit(name + "=" + text));
  target->keys.push_back(KeyEntry{FoldedHash(name), at});
}

std::string ProfileFile::SerializeUtf16(const std::vector<const Line*>& lines) const {
  std::string bytes(kUtf16Mark);
  for (const Line* line : lines) {
    if (utf16_ && !line->edited) {
      AppendUtf16Le(bytes, std::u16string_view(wide_).substr(line->sourceBegin, line->sourceSize));
    } else {
      AppendUtf16Le(bytes, platform::NarrowToUtf16(View(*line)));
    }
    AppendUtf16Le(bytes, u"\r\n");
  }
  return bytes;
}

std::string ProfileFile::Serialize() const {
  std::vector<const Line*> lines;
  for (const Line& line : preamble_) lines.push_back(&line);
  for (const Section& section : sections_) {
    for (const Line& line : section.lines) lines.push_back(&line);
  }
  if (utf16_) return SerializeUtf16(lines);
  std::size_t size = 0;
  for (const Line* line : lines) size += line->size + 2;
  std::string bytes;
  bytes.reserve(size);
  for (const Line* line : lines) {
    if (line->edited) {
      // Text the code page lacks would be saved as "?": the file becomes
      // UTF-16, which this reader and the system's profile functions read.
      const platform::NarrowText encoded = platform::NarrowToCodePage(View(*line));
      if (!encoded.exact) return SerializeUtf16(lines);
      bytes += encoded.text;
    } else if (!raw_.empty()) {
      bytes += std::string_view(raw_).substr(line->sourceBegin, line->sourceSize);
    } else {
      bytes += View(*line);
    }
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace quillon::document
