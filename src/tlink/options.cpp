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

bool isOptionPiece(const std::string& piece) {
    static const std::string kSingle = "msxltvc3indeoPCk";
    std::string p = piece;
    if (p.size() == 2 && (p[1] == '-' || p[1] == '+')) p.pop_back();
    if (p.size() == 1) return kSingle.find(p[0]) != std::string::npos;
    if (p[0] == 'L') return p.find_first_of(":\\;") != std::string::npos || p.size() <= 3;
    if (p.rfind("A=", 0) == 0 || p.rfind("P=", 0) == 0) return true;
    if (p == "ye" || p == "yx") return true;
    return p.size() == 3 && p[0] == 'T' && (p[1] == 'd' || p[1] == 'w');
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
        bool on = true;
        if (piece.size() == 2 && (piece[1] == '-' || piece[1] == '+')) {
            on = piece[1] == '+';
            piece.pop_back();
        }
        if (piece.size() == 1) {
            switch (piece[0]) {
                case 'm': m_options.publics = on; continue;
                case 's': m_options.detailed = on; if (on) m_options.publics = true; continue;
                case 'l': m_options.lineNumbers = on; continue;
                case 'x': m_options.map = !on; continue;
                case 't': m_options.com = on; continue;
                case 'v': m_options.debugInfo = on; continue;
                case 'c': m_options.caseSensitive = on; continue;
                case '3': m_options.records32 = on; continue;
                case 'i': m_options.initAll = on; continue;
                case 'n': m_options.noDefaultLibs = on; continue;
                case 'd': m_options.warnDuplicates = on; continue;
                case 'e': case 'o': case 'P': case 'C': case 'k': continue;  // no effect on a DOS program
                default: break;
            }
        } else if (piece[0] == 'L') {
            if (piece.size() > 1) m_options.libraryPaths.push_back(piece.substr(1));
            continue;
        } else if (piece.rfind("A=", 0) == 0 || piece == "ye" || piece == "yx" || piece.rfind("Td", 0) == 0 ||
                   piece.rfind("Tw", 0) == 0 || piece.rfind("P=", 0) == 0) {
            continue;
        }
        m_error = "Unknown option " + std::string(1, token[0]) + piece;
    }
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
