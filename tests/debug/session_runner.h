#pragma once
// Runs a DEBUG session in-process over a scripted input and records every write as one chunk.

#include <string>
#include <vector>

#include "debug/console.h"
#include "debug/session.h"

namespace krvs::debug::test {

class ChunkSink : public pc::ByteSink {
public:
    void write(const std::uint8_t* data, std::size_t size) override {
        chunks.emplace_back(reinterpret_cast<const char*>(data), size);
    }
    std::string all() const {
        std::string s;
        for (const auto& c : chunks) s += c;
        return s;
    }
    std::vector<std::string> chunks;
};

struct Transcript {
    std::string output;
    std::vector<std::string> chunks;
};

// `input` is sent as typed; with `crLines` every '\n' becomes the CR that ends a DEBUG line.
inline Transcript runSession(std::string input, const std::string& program = "", const std::string& args = "",
                             bool crLines = true) {
    for (char& c : input)
        if (crLines && c == '\n') c = '\r';
    pc::StringSource in(input);
    ChunkSink out;
    Console console(in, out, false);
    SessionOptions options;
    options.clockStart = 1;  // the time of day does not leak into a transcript
    Session session(console, options);
    if (std::string e = session.start(program, args); !e.empty()) console.write(e + "\r\n");
    session.run();
    return {out.all(), out.chunks};
}

inline std::string dataPath(const std::string& relative) { return std::string(KRVS_TEST_DATA) + "/" + relative; }

}  // namespace krvs::debug::test
