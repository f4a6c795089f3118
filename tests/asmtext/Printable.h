#pragma once
// Case tables hold CR, LF and CJK text; test listings and names need them on one printable line.

#include <ostream>
#include <string>
#include <string_view>

namespace krvs::asmtext {

inline std::string printable(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto u = static_cast<unsigned char>(c);
    out += (u >= 0x20 && u < 0x7F) ? c : '.';
  }
  return out;
}

}  // namespace krvs::asmtext
