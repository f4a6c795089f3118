// Shared pieces of the linker tests: a small two-module program built with the object writer, file
// helpers and the debugger's reading of the map's line numbers.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "omf/writer.h"
#include "tlink/linker.h"

namespace krvs::tlink::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string readText(const std::filesystem::path& path) {
    Bytes b = readBytes(path);
    return std::string(b.begin(), b.end());
}

inline void writeBytes(const std::filesystem::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline LinkInput input(const std::string& name, const omf::ObjectWriter& writer) {
    return LinkInput{name, writer.build()};
}

inline std::vector<std::string> texts(const LinkResult& r) {
    std::vector<std::string> out;
    for (const auto& m : r.messages) out.push_back(formatMessage(m));
    return out;
}

inline omf::Reference ref(omf::FrameMethod f, std::uint16_t fd, omf::TargetMethod t, std::uint16_t td,
                          std::int32_t disp = 0) {
    return omf::Reference{f, fd, t, td, disp};
}

// Module A ("a.asm"): _TEXT (CODE, byte, 20h bytes), _DATA (DATA, para, 10h bytes, DGROUP), STACK
// (40h bytes); public ENTRY = _TEXT:0, the start address; externals FARPROC (1) and VAR (2).
// Module B ("b.asm"): FARSEG (CODE, para, private, 30h bytes) with FARPROC at 10h; _DATA (word, 8 bytes,
// DGROUP) with VAR at 4.
// Layout: _TEXT 00h, FARSEG 20h (frame 2), _DATA 50h (frame 5, B's part at 60h), STACK 70h (frame 7).
struct World {
    static constexpr std::uint16_t kText = 1, kData = 2, kStack = 3, kDgroup = 1, kFarproc = 1, kVar = 2;

    static omf::ObjectWriter moduleA(std::vector<omf::Fixup> fixups, Bytes code = Bytes(0x20, 0)) {
        omf::ObjectWriter w("a.asm");
        w.addSegment({"_TEXT", "CODE", "", omf::Align::Byte, omf::Combine::Public, 0x20});
        w.addSegment({"_DATA", "DATA", "", omf::Align::Para, omf::Combine::Public, 0x10});
        w.addSegment({"STACK", "STACK", "", omf::Align::Para, omf::Combine::Stack, 0x40});
        w.addGroup("DGROUP", {kData});
        w.addExternal("FARPROC");
        w.addExternal("VAR");
        w.addPublic("ENTRY", kText, 0);
        w.addData(kText, 0, code, std::move(fixups));
        Bytes data(0x10, 0x11);
        w.addData(kData, 0, data);
        w.setStart(ref(omf::FrameMethod::Segment, kText, omf::TargetMethod::Segment, kText));
        return w;
    }

    static omf::ObjectWriter moduleB() {
        omf::ObjectWriter w("b.asm");
        auto far = w.addSegment({"FARSEG", "CODE", "", omf::Align::Para, omf::Combine::Private, 0x30});
        auto data = w.addSegment({"_DATA", "DATA", "", omf::Align::Word, omf::Combine::Public, 8});
        auto group = w.addGroup("DGROUP", {data});
        w.addPublic("FARPROC", far, 0x10);
        w.addPublic("VAR", data, 4, group);
        Bytes code(0x30, 0xCB);
        w.addData(far, 0, code);
        Bytes bytes(8, 0x22);
        w.addData(data, 0, bytes);
        return w;
    }

    static LinkResult link(std::vector<omf::Fixup> fixups, const LinkOptions& options = {},
                           Bytes code = Bytes(0x20, 0)) {
        return krvs::tlink::link({input("a.obj", moduleA(std::move(fixups), std::move(code))), input("b.obj", moduleB())},
                                 options);
    }
};

// The debugger's reading of a map: the line table from the first "Line numbers for" section up to the
// "Program entry point at" line; nothing when the map does not have that form.
inline std::optional<std::map<int, std::string>> debuggerLineTable(const std::string& map) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < map.size(); ++i) {
        char c = map[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < map.size() && map[i + 1] == '\n') ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty()) lines.push_back(current);
    std::size_t header = 0;
    while (header < lines.size() && lines[header].rfind("Line numbers for", 0) != 0) ++header;
    if (header + 2 >= lines.size()) return std::nullopt;
    std::map<int, std::string> table;
    for (std::size_t row = header + 2; row < lines.size(); ++row) {
        const std::string& text = lines[row];
        if (text.substr(0, 22) == "Program entry point at") return table;
        std::size_t c = 0;
        while (true) {
            if (text.size() < c + 16) return std::nullopt;
            std::string number = text.substr(c, 7);
            number.erase(0, number.find_first_not_of(' '));
            number.erase(number.find_last_not_of(' ') + 1);
            if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
            int line = std::stoi(number);
            if (line > 32768 || text[c + 11] != ':') return std::nullopt;
            std::string offset = text.substr(c + 12, 4);
            if (offset.find_first_not_of("0123456789ABCDEFabcdef ") != std::string::npos) return std::nullopt;
            table[line] = offset;
            if (text.size() >= c + 20) c += 16;
            else break;
        }
    }
    return std::nullopt;
}

}  // namespace krvs::tlink::test
