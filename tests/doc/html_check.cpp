#include "html_check.h"

#include <cstdint>

namespace krvs::doc::test {

namespace {

const std::set<std::string> kElements = {"html", "head", "body", "title", "style", "section", "nav", "div", "table",
                                         "tr", "td", "th", "p", "pre", "code", "ul", "ol", "li", "h1", "h2", "h3",
                                         "b", "a", "dl", "dt", "dd", "span"};
const std::set<std::string> kVoidElements = {"meta", "br"};

bool validUtf8(const std::string& s, std::size_t& badAt) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<std::uint8_t>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t extra = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        bool ok = extra != 0 && c > 0xC1 && c < 0xF5 && i + extra < s.size();
        for (std::size_t k = 1; ok && k <= extra; ++k) ok = (static_cast<std::uint8_t>(s[i + k]) & 0xC0) == 0x80;
        if (!ok) {
            badAt = i;
            return false;
        }
        i += extra + 1;
    }
    return true;
}

// The value of attribute `name` in the tag text, empty when absent.
std::string attribute(const std::string& tag, const std::string& name) {
    std::string key = " " + name + "=\"";
    std::size_t at = tag.find(key);
    if (at == std::string::npos) return {};
    std::size_t start = at + key.size();
    return tag.substr(start, tag.find('"', start) - start);
}

struct Scanner {
    const std::string& html;
    HtmlCheck out;
    std::vector<std::string> open;

    void tag(std::size_t at, const std::string& text) {
        bool closing = text.size() > 1 && text[1] == '/';
        std::size_t nameStart = closing ? 2 : 1;
        std::size_t nameEnd = text.find_first_of(" >", nameStart);
        std::string name = text.substr(nameStart, nameEnd - nameStart);
        std::string where = " at byte " + std::to_string(at);
        if (kVoidElements.count(name) && !closing) return;
        if (!kElements.count(name)) return out.problems.push_back("unknown tag <" + name + ">" + where);
        if (closing) {
            if (open.empty() || open.back() != name)
                return out.problems.push_back("</" + name + "> closes <" + (open.empty() ? "" : open.back()) + ">" + where);
            open.pop_back();
            return;
        }
        open.push_back(name);
        if (std::string id = attribute(text, "id"); !id.empty())
            if (!out.ids.insert(id).second) out.duplicateIds.push_back(id);
        if (std::string href = attribute(text, "href"); !href.empty()) {
            if (href[0] == '#') out.internalLinks.push_back(href.substr(1));
            else out.problems.push_back("a link that leaves the page: " + href + where);
        }
    }

    void run() {
        std::size_t i = 0;
        if (html.starts_with("<!DOCTYPE html>")) i = html.find('\n');
        bool inStyle = false;
        while ((i = html.find('<', i)) != std::string::npos) {
            std::size_t end = html.find('>', i);
            if (end == std::string::npos) return out.problems.push_back("a tag without its end");
            std::string text = html.substr(i, end - i + 1);
            if (inStyle && text != "</style>") { i = end + 1; continue; }
            tag(i, text);
            inStyle = text == "<style>";
            i = end + 1;
        }
        for (const std::string& name : open) out.problems.push_back("<" + name + "> is never closed");
    }
};

}  // namespace

HtmlCheck checkHtml(const std::string& html) {
    Scanner s{html, {}, {}};
    std::size_t badAt = 0;
    if (!validUtf8(html, badAt)) s.out.problems.push_back("not UTF-8 at byte " + std::to_string(badAt));
    s.run();
    return s.out;
}

std::string sectionText(const std::string& html, const std::string& id) {
    std::size_t start = html.find("id=\"" + id + "\"");
    if (start == std::string::npos) return {};
    std::size_t end = html.find("<section", start);
    return html.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace krvs::doc::test
