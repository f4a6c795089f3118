// Splitting a command line into words and redirections, and expanding the prompt codes.

#include <cctype>

#include "cmd/interpreter.h"

namespace krvs::cmd {

namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && blank(s[b])) ++b;
    while (e > b && blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Reads one word starting at `i` (quotes group blanks and are removed); stops at a blank or a redirection.
std::string readWord(const std::string& s, std::size_t& i) {
    std::string w;
    bool quoted = false;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') { quoted = !quoted; continue; }
        if (!quoted && (blank(c) || c == '<' || c == '>')) break;
        w.push_back(c);
    }
    return w;
}

}  // namespace

CommandLine parseCommandLine(const std::string& line) {
    CommandLine out;
    std::string rest;
    std::size_t i = 0;
    bool quoted = false;
    bool first = true;
    while (i < line.size()) {
        char c = line[i];
        if (!quoted && (c == '<' || c == '>')) {
            bool input = c == '<';
            ++i;
            if (!input && i < line.size() && line[i] == '>') { out.append = true; ++i; }
            while (i < line.size() && blank(line[i])) ++i;
            std::string file = readWord(line, i);
            if (file.empty()) out.error = "命令语法不正确。";
            (input ? out.inputFile : out.outputFile) = file;
            continue;
        }
        if (!quoted && blank(c)) {
            if (!first) rest.push_back(c);
            ++i;
            continue;
        }
        // A word: copy it raw into `rest` (after the first) and unquoted into `words`.
        std::size_t start = i;
        std::string w;
        for (; i < line.size(); ++i) {
            char d = line[i];
            if (d == '"') { quoted = !quoted; continue; }
            if (!quoted && (blank(d) || d == '<' || d == '>')) break;
            w.push_back(d);
        }
        if (!first) rest += line.substr(start, i - start);
        out.words.push_back(w);
        first = false;
    }
    out.rest = trim(rest);
    return out;
}

std::string expandPrompt(const std::string& prompt, const std::string& directory) {
    struct Code { char letter; const char* text; };
    static constexpr Code kCodes[] = {{'G', ">"}, {'L', "<"}, {'B', "|"}, {'Q', "="}, {'$', "$"},
                                      {'_', "\r\n"}, {'N', "C"}, {'S', " "}, {'A', "&"}};
    std::string out;
    for (std::size_t i = 0; i < prompt.size(); ++i) {
        if (prompt[i] != '$' || i + 1 >= prompt.size()) { out.push_back(prompt[i]); continue; }
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(prompt[++i])));
        if (letter == 'P') { out += directory; continue; }
        for (const auto& c : kCodes)
            if (c.letter == letter) out += c.text;
    }
    return out;
}

}  // namespace krvs::cmd
