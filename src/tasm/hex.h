#pragma once
// Upper-case hexadecimal text of at least `digits` digits (more when the value needs them), as the
// listing and the messages show numbers. Written out by hand: printf's formatting was a fifth of the
// instructions of assembling a small program with a listing.

#include <cstdint>
#include <string>

namespace krvs::tasm {

inline std::string hexText(std::uint64_t v, int digits) {
    char rev[16];
    int n = 0;
    do {
        rev[n++] = "0123456789ABCDEF"[v & 15];
        v >>= 4;
    } while (v != 0);
    std::string s(digits > n ? static_cast<size_t>(digits - n) : 0, '0');
    while (n > 0) s += rev[--n];
    return s;
}

}  // namespace krvs::tasm
