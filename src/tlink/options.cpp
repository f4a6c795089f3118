#include "tlink/options.h"

#include <algorithm>
#include <cctype>

namespace krvs::tlink {

namespace {

constexpr int kMaxResponseDepth = 8;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1A'; }

std::size_t lastComponentStart(const std::string& name) {
    auto slash = name.find_last_of("/\\:");
    return slash == std::string::npos ? 0 : slash + 1;
}

bool hasLowerCase(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return std::islower(c); });
}

// Default extensions follow the spelling of the name they are added to: HELLO gets .OBJ, hello gets .obj.
std::string spelledLike(const std::string& name, const std::string& ext) {
    if (!hasLowerCase(name.substr(lastComponentStart(name)))) return ext;
    std::string lower = ext;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower;
}

// A /t link writes a .COM even when the name ends in .EXE; the spelling of the extension is kept (.Exe → .Com).
std::string comName(const std::string& name) {
    auto dot = name.find_last_of('.');
    if (dot == std::string::npos || dot < lastComponentStart(name)) return name;
    std::string ext = name.substr(dot + 1);
    std::string upper = ext;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper != "EXE") return name;
    std::string com = "COM";
    for (std::size_t i = 0; i < 3; ++i)
        if (std::islower(static_cast<unsigned char>(ext[i]))) com[i] = static_cast<char>(std::tolower(com[i]));
    return name.substr(0, dot + 1) + com;
}

// The single-letter switches, each with what it does here. Both the reading of a token and the help text
// come from this one table, so an option the help names is always one the command line accepts.
struct Switch {
    char letter;
    bool LinkOptions::*field;  // null: accepted, no effect on a DOS program
    bool inverted;             // /x: on means no map
    const char* help;
};

constexpr Switch kSwitches[] = {
    {'m', &LinkOptions::publics, false, "map file with publics"},
    {'M', &LinkOptions::publics, false, "map file with publics (as /m)"},
    {'s', &LinkOptions::detailed, false, "detailed map of segments (implies /m)"},
    {'l', &LinkOptions::lineNumbers, false, "source line numbers in the map"},
    {'x', &LinkOptions::map, true, "no map file"},
    {'t', &LinkOptions::com, false, "create a .COM file"},
    {'v', &LinkOptions::debugInfo, false, "debug information: accepted; the debugger reads the map's line numbers (/l)"},
    {'c', &LinkOptions::caseSensitive, false, "case is significant in symbol names"},
    {'i', &LinkOptions::initAll, false, "write uninitialised trailing segments too"},
    {'3', &LinkOptions::records32, false, "32-bit records: accepted; both record widths are always read"},
    {'n', &LinkOptions::noDefaultLibs, false, "no default libraries: accepted; no library is ever searched"},
    {'d', &LinkOptions::warnDuplicates, false, "warn on duplicates in libraries: accepted; libraries are not supported"},
    {'e', nullptr, false, "no extended dictionary: accepted, no effect"},
    {'o', nullptr, false, "overlays: accepted, no effect"},
    {'P', nullptr, false, "pack code segments: accepted, no effect"},
    {'C', nullptr, false, "accepted, no effect"},
    {'k', nullptr, false, "accepted, no effect"},
};

const Switch* findSwitch(char letter) {
    for (const Switch& s : kSwitches)
        if (s.letter == letter) return &s;
    return nullptr;
}

// Options longer than one letter that are accepted and change nothing for a DOS program.
bool isIgnoredLongPiece(const std::string& p) {
    if (p.rfind("A=", 0) == 0 || p.rfind("P=", 0) == 0) return true;
    if (p == "ye" || p == "yx") return true;
    return p.size() == 3 && p[0] == 'T' && (p[1] == 'd' || p[1] == 'w');
}

// Splits an optional trailing '+' or '-' off a piece; returns whether the option is on.
bool splitSign(std::string& piece) {
    if (piece.size() != 2 || (piece[1] != '-' && piece[1] != '+')) return true;
    const bool on = piece[1] == '+';
    piece.pop_back();
    return on;
}

bool isOptionPiece(std::string p) {
    splitSign(p);
    if (p.size() == 1) return findSwitch(p[0]) != nullptr;
    if (p[0] == 'L') return p.find_first_of(":\\;") != std::string::npos || p.size() <= 3;
    return isIgnoredLongPiece(p);
}

// A token beginning with '/' is a path unless it reads as options: POSIX paths such as /home/u/HELLO.OBJ
// share the switch character. One short piece (/z) is an option even when unknown, so it is reported.
bool looksLikeOption(const std::string& token) {
    if (token.size() < 2 || token[0] == '-') return true;
    std::size_t pos = 1;
    bool single = token.find('/', 1) == std::string::npos;
    if (single && token.size() <= 3) return true;
    while (pos < token.size()) {
        std::size_t end = token[pos] == 'L' ? std::string::npos : token.find('/', pos);
        std::string piece = token.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!piece.empty() && !isOptionPiece(piece)) return false;
        pos = end == std::string::npos ? token.size() : end + 1;
    }
    return true;
}

}  // namespace

std::string withDefaultExtension(const std::string& name, const std::string& ext) {
    std::size_t start = lastComponentStart(name);
    if (name.find('.', start) != std::string::npos) return name;
    return name + spelledLike(name, ext);
}

std::string replaceExtension(const std::string& name, const std::string& ext) {
    std::size_t start = lastComponentStart(name);
    auto dot = name.find_last_of('.');
    std::string base = (dot == std::string::npos || dot < start) ? name : name.substr(0, dot);
    return base + spelledLike(base, ext);
}

bool CommandLine::Fields::any() const {
    return std::any_of(items.begin(), items.end(), [](const auto& list) { return !list.empty(); });
}

void CommandLine::addConfig(const std::string& text) { parse(text, m_configFields, false, 0); }

void CommandLine::addArguments(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& arg : args) {
        if (!joined.empty()) joined += ' ';
        joined += arg;
    }
    parse(joined, m_lineFields, false, 0);
}

void CommandLine::option(const std::string& token) {
    // Glued options (/m/s/l) arrive as one token; L takes the rest of the token as a path list.
    std::size_t pos = 1;
    while (pos < token.size() && !m_error) {
        std::size_t end = token.find('/', pos);
        if (token[pos] == 'L') end = std::string::npos;
        std::string piece = token.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? token.size() : end + 1;
        if (piece.empty()) continue;
        if (piece[0] == 'L') {
            if (piece.size() > 1) m_options.libraryPaths.push_back(piece.substr(1));
            continue;
        }
        const bool on = splitSign(piece);
        if (piece.size() == 1) {
            if (const Switch* s = findSwitch(piece[0])) {
                if (s->field) m_options.*(s->field) = on != s->inverted;
                if (s->letter == 's' && on) m_options.publics = true;
                continue;
            }
        } else if (isIgnoredLongPiece(piece)) {
            continue;
        }
        m_error = "Unknown option " + std::string(1, token[0]) + piece;
    }
}

std::string helpText() {
    std::string text =
        "Syntax: TLINK objfiles, exefile, mapfile, libfiles\r\n"
        "@xxxx indicates use response file xxxx\r\n"
        "Options may be glued (/v/m/M/l/s) or separate, and also stand in TLink.CFG.\r\n"
        "A trailing - turns an option off.\r\n";
    for (const Switch& s : kSwitches) text += std::string("  /") + s.letter + "  " + s.help + "\r\n";
    text +=
        "  /Lpath  library search path: accepted; .LIB files are not supported\r\n"
        "  /A=n /P=n /ye /yx /Tdx /Twx  accepted, no effect on a DOS program\r\n";
    return text;
}

void CommandLine::parse(const std::string& text, Fields& fields, bool newlineIsComma, int depth) {
    int field = 0;
    for (std::size_t i = 0; i < 5; ++i)
        if (!fields.items[i].empty()) field = static_cast<int>(i);
    bool lineHasFile = false;
    bool continued = false;
    std::size_t i = 0;
    while (i < text.size() && !m_error) {
        char c = text[i];
        if (c == '\n' && newlineIsComma) {
            if (lineHasFile && !continued) ++field;
            lineHasFile = false;
            ++i;
            continue;
        }
        if (isBlank(c)) { ++i; continue; }
        if (c == ',') { ++field; continued = false; ++i; continue; }
        if (c == '+') { continued = true; ++i; continue; }
        std::size_t end = i;
        while (end < text.size() && !isBlank(text[end]) && text[end] != ',' && (text[end] != '+' || c == '/' || c == '-'))
            ++end;
        std::string token = text.substr(i, end - i);
        i = end;
        continued = false;
        if (c == '@') {
            if (depth >= kMaxResponseDepth) { m_error = "Response files nested too deeply"; return; }
            auto content = m_reader(token.substr(1));
            if (!content) { m_error = "Unable to open file '" + token.substr(1) + "'"; return; }
            parse(*content, fields, true, depth + 1);
            for (std::size_t k = 0; k < 5; ++k)
                if (!fields.items[k].empty()) field = std::max(field, static_cast<int>(k));
            continue;
        }
        if ((c == '/' || c == '-') && looksLikeOption(token)) {
            // "/v+" at a line end is an option, "/v++" an option followed by a continuation.
            while (token.size() > 3 && token.back() == '+' && token[token.size() - 2] == '+') token.pop_back();
            option(token);
            continue;
        }
        fields.items[static_cast<std::size_t>(std::min(field, 4))].push_back(token);
        lineHasFile = true;
    }
}

std::optional<std::string> CommandLine::finish(LinkRequest& out) const {
    if (m_error) return m_error;
    const Fields& fields = m_lineFields.any() ? m_lineFields : m_configFields;
    out.options = m_options;
    out.objects.clear();
    for (const auto& name : fields.items[0]) out.objects.push_back(withDefaultExtension(name, ".OBJ"));
    if (out.objects.empty()) return std::string("No object files specified");
    const char* exeExt = m_options.com ? ".COM" : ".EXE";
    out.exe = fields.items[1].empty() ? replaceExtension(out.objects.front(), exeExt)
                                      : withDefaultExtension(fields.items[1].front(), exeExt);
    if (m_options.com) out.exe = comName(out.exe);
    out.map = fields.items[2].empty() ? replaceExtension(out.exe, ".MAP")
                                      : withDefaultExtension(fields.items[2].front(), ".MAP");
    out.libraries.clear();
    for (const auto& name : fields.items[3]) out.libraries.push_back(withDefaultExtension(name, ".LIB"));
    out.def = fields.items[4].empty() ? std::string() : withDefaultExtension(fields.items[4].front(), ".DEF");
    return std::nullopt;
}

}  // namespace krvs::tlink
