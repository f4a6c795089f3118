#include "html.h"

namespace krvs::doc {

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string escapeLines(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t end = text.find('\n', pos);
        out += escape(text.substr(pos, end - pos));
        if (end == std::string_view::npos) break;
        out += "<br>";
        pos = end + 1;
    }
    return out;
}

std::string escapeProse(std::string_view text) {
    std::string joined(text);
    std::erase(joined, '\n');
    return escape(joined);
}

std::string hex2(int value) {
    static const char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(value >> 4) & 15], kDigits[value & 15]};
}

std::string section(std::string_view id, std::string_view title, std::string_view body) {
    std::string out = "<section id=\"";
    out += id;
    out += "\">\n<h2>";
    out += title;
    out += "</h2>\n";
    out += body;
    out += "<p class=\"top\"><a href=\"#toc\">返回目录</a></p>\n</section>\n";
    return out;
}

}  // namespace krvs::doc
