#include "asmtext/TextUtil.h"

namespace krvs::asmtext {

std::string_view trim(std::string_view text) {
  std::size_t b = 0;
  while (b < text.size() && isTrimmable(static_cast<unsigned char>(text[b]))) ++b;
  return trimRight(text.substr(b));
}

std::string_view trimRight(std::string_view text) {
  std::size_t e = text.size();
  while (e > 0 && isTrimmable(static_cast<unsigned char>(text[e - 1]))) --e;
  return text.substr(0, e);
}

std::string upperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upperAscii(c);
  return out;
}

std::string lowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lowerAscii(c);
  return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upperAscii(a[i]) != upperAscii(b[i])) return false;
  }
  return true;
}

static std::size_t byteWidth(unsigned char c) {
  if (c < 0x80) return 1;
  return (c & 0xC0) == 0x80 ? 0 : 2;  // continuation bytes belong to the lead byte's character
}

std::size_t gbkWidth(std::string_view text) {
  std::size_t w = 0;
  for (char c : text) w += byteWidth(static_cast<unsigned char>(c));
  return w;
}

std::string_view prefixByWidth(std::string_view text, std::size_t maxWidth) {
  std::size_t w = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t len = utf8CharLength(text, pos);
    std::size_t cw = static_cast<unsigned char>(text[pos]) < 0x80 ? 1 : 2;
    if (w + cw > maxWidth) break;
    w += cw;
    pos += len;
  }
  return text.substr(0, pos);
}

namespace {

// Walks the line with the quote rules above; stop(pos, part) returns true to end the walk there.
template <class Stop>
LinePart walkLine(std::string_view line, Stop stop) {
  char quote = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote) {
      if (stop(i, LinePart::String)) return LinePart::String;
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      if (stop(i, LinePart::String)) return LinePart::String;
      quote = c;
    } else if (c == ';') {
      stop(i, LinePart::Comment);
      return LinePart::Comment;
    } else if (stop(i, LinePart::Code)) {
      return LinePart::Code;
    }
  }
  return LinePart::Code;
}

}  // namespace

std::size_t findCommentStart(std::string_view line) {
  std::size_t at = std::string_view::npos;
  walkLine(line, [&](std::size_t i, LinePart part) {
    if (part == LinePart::Comment) at = i;
    return false;
  });
  return at;
}

LinePart linePartAt(std::string_view line, std::size_t pos) {
  return walkLine(line, [&](std::size_t i, LinePart) { return i >= pos; });
}

bool hasControlCharacter(std::string_view line) {
  for (char c : line) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return true;
  }
  return false;
}

std::size_t utf8CharLength(std::string_view text, std::size_t pos) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char c = byte(pos);
  std::size_t len = 1;
  if (c >= 0xC2 && c <= 0xDF) len = 2;
  else if (c >= 0xE0 && c <= 0xEF) len = 3;
  else if (c >= 0xF0 && c <= 0xF4) len = 4;
  if (len == 1 || pos + len > text.size()) return 1;
  for (std::size_t i = 1; i < len; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 1;
  }
  return len;
}

}  // namespace krvs::asmtext
