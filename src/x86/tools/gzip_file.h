#pragma once
// Reads a whole gzip-compressed file into memory (the CPU vector files are stored compressed).

#include <zlib.h>

#include <optional>
#include <string>

namespace krvs::x86::vectors {

inline std::optional<std::string> readGzipFile(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (f == nullptr) return std::nullopt;
    std::string out;
    char buf[1 << 16];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
    bool ok = n == 0;
    gzclose(f);
    if (!ok) return std::nullopt;
    return out;
}

}  // namespace krvs::x86::vectors
