#include "options.h"

#include <cctype>

#include "lexer.h"

namespace krvs::tasm {

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string cur;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\x1a') {
            if (!cur.empty()) words.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) words.push_back(cur);
    return words;
}

namespace {

bool parseInt(const std::string& s, int& out) {
    if (s.empty() || s.size() > 6) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    out = std::stoi(s);
    return true;
}

// One option without its leading slash; `rest` is what follows the letters the option used.
bool applyOption(const std::string& opt, CommandLine& cl, std::string& error) {
    std::string u = upper(opt);
    Options& o = cl.options;
    auto bad = [&] {
        error = "Bad switch: /" + opt;
        return false;
    };
    if (u.empty()) return bad();
    switch (u[0]) {
        case 'L':
            if (u == "L") o.listing = true;
            else if (u == "LA") o.listing = o.listingAll = true;
            else return bad();
            return true;
        case 'C': if (u != "C") return bad(); o.crossRef = true; return true;
        case 'N': if (u != "N") return bad(); o.noSymbolTable = true; return true;
        case 'Q': if (u != "Q") return bad(); o.quiet = true; return true;
        case 'T': if (u != "T") return bad(); o.terse = true; return true;
        case 'A': case 'S': case 'E': case 'R': case 'P': case 'X': case 'U':
            return u.size() == 1 || u[0] == 'U' ? true : bad();
        case 'H': case '?': cl.help = true; return true;
        case 'Z':
            if (u == "Z") o.showSource = true;
            else if (u == "ZI") o.lineNumbers = o.fullDebug = true;
            else if (u == "ZD") o.lineNumbers = true;
            else if (u == "ZN") o.lineNumbers = o.fullDebug = false;
            else return bad();
            return true;
        case 'M':
            if (u == "ML") o.caseMode = CaseMode::All;
            else if (u == "MX") o.caseMode = CaseMode::Globals;
            else if (u == "MU") o.caseMode = CaseMode::Upper;
            else if (u == "M") o.maxPasses = 5;
            else if (u.size() > 2 && u[1] == 'V') return true;  // symbol length: all lengths kept
            else if (int n = 0; parseInt(u.substr(1), n)) o.maxPasses = n;
            else {
                error = "Invalid number after /m";
                return false;
            }
            return true;
        case 'W':
            if (u == "W0") o.warnLevel = 0;
            else if (u == "W1") o.warnLevel = 1;
            else if (u == "W2" || u == "W") o.warnLevel = 2;
            else if (u.size() > 2 && (u[1] == '-' || u[1] == '+')) return true;  // per-class switches
            else return bad();
            return true;
        case 'I':
            if (opt.size() < 2) return bad();
            o.includeDirs.push_back(opt.substr(1));
            return true;
        case 'D': {
            if (opt.size() < 2) return bad();
            std::string def = opt.substr(1);
            size_t eq = def.find('=');
            if (eq == std::string::npos) o.defines.emplace_back(def, "");
            else o.defines.emplace_back(def.substr(0, eq), def.substr(eq + 1));
            return true;
        }
        case 'J': return u.size() > 1 ? true : bad();
        case 'K': return u.size() > 2 && u[1] == 'H' ? true : bad();
        case 'O': return u == "O" || u == "OS" || u == "OP" || u == "OI" ? true : bad();
        default: return bad();
    }
}

// "-la-zi-p" is three options; "/iC:\INC" keeps its path whole.
bool applySwitches(const std::string& word, CommandLine& cl, std::string& error) {
    size_t i = 0;
    while (i < word.size()) {
        size_t start = i + 1;
        char lead = static_cast<char>(std::toupper(static_cast<unsigned char>(start < word.size() ? word[start] : 0)));
        size_t end = start;
        if (lead == 'I' || lead == 'D' || lead == 'J') {
            end = word.size();
        } else {
            while (end < word.size() && word[end] != '/' && word[end] != '-') ++end;
            // "/w-xxx" keeps its sign.
            if (lead == 'W' && end < word.size() && end == start + 1) {
                while (end + 1 < word.size() && word[end + 1] != '/' && word[end + 1] != '-') ++end;
                ++end;
            }
        }
        if (!applyOption(word.substr(start, end - start), cl, error)) return false;
        i = end;
    }
    return true;
}

}  // namespace

bool parseWords(const std::vector<std::string>& words, CommandLine& cl, std::string& error, const PathTest& isPath) {
    // Everything that is no switch forms "source, object, listing, xref".
    std::string files;
    for (const std::string& w : words) {
        bool path = isPath && isPath(w);
        if (!path && !w.empty() && (w[0] == '/' || (w[0] == '-' && w.size() > 1))) {
            if (!applySwitches(w, cl, error)) return false;
            continue;
        }
        files += w;
    }
    if (files.empty()) return true;
    std::vector<std::string> parts(1);
    for (char c : files) {
        if (c == ',') parts.emplace_back();
        else if (c == ';') break;
        else parts.back().push_back(c);
    }
    if (parts.size() > 4 || parts[0].empty()) {
        error = "Invalid command line";
        return false;
    }
    cl.source = parts[0];
    if (parts.size() > 1) cl.object = parts[1];
    if (parts.size() > 2) {
        cl.listing = parts[2];
        cl.listingNamed = !parts[2].empty();
    }
    return true;
}

std::string configDirectory(const std::string& argv0, const std::string& cwd, const std::string& runningExe) {
    const std::string& path = argv0.find('/') == std::string::npos ? runningExe : argv0;
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return cwd;
    std::string dir = path.substr(0, slash == 0 ? 1 : slash);
    if (dir[0] == '/' || cwd.empty()) return dir;
    return cwd.back() == '/' ? cwd + dir : cwd + "/" + dir;
}

}  // namespace krvs::tasm
