#include "PathText.h"

#include <cctype>
#include <cstddef>
#include <cstring>

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when the byte there does not start
// one (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at, char32_t& codePoint) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = at + 1; i < at + length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i) & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

bool IsControl(char32_t codePoint) {
  return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

void AppendEscaped(std::string& out, unsigned char byte) {
  static const char kLetters[] = "abtnvfr";  // \a is 7, ..., \r is 13
  out += '\\';
  if (byte >= 7 && byte <= 13) {
    out += kLetters[byte - 7];
  } else {
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
  }
}

}  // namespace

std::string QuotedName(const std::string& name) {
  std::string out;
  bool anyEscaped = false;
  bool escaping = false;
  bool segmentOpen = false;
  for (std::size_t at = 0; at < name.size();) {
    char32_t codePoint;
    const std::size_t length = Utf8SequenceLength(name, at, codePoint);
    const bool escape = length == 0 || IsControl(codePoint);
    anyEscaped = anyEscaped || escape;
    if (!segmentOpen || escape != escaping) {
      if (segmentOpen) out += '\'';
      out += escape ? "$'" : "'";
      escaping = escape;
      segmentOpen = true;
    }
    const std::size_t taken = length == 0 ? 1 : length;
    for (std::size_t i = at; i < at + taken; ++i) {
      if (escape) {
        AppendEscaped(out, static_cast<unsigned char>(name[i]));
      } else if (name[i] == '\'') {
        out += "'\\''";
      } else {
        out += name[i];
      }
    }
    at += taken;
  }
  if (!anyEscaped && name.find('\'') != std::string::npos &&
      name.find_first_of("\"$`\\!") == std::string::npos) {
    return '"' + name + '"';
  }
  return segmentOpen ? out + '\'' : "''";
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string SystemErrorText(int errorNumber) {
  std::string text = std::strerror(errorNumber);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}
