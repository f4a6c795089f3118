#pragma once
// A small checker of the generated page: the tags it may use, their nesting, its anchors.

#include <set>
#include <string>
#include <vector>

namespace krvs::doc::test {

struct HtmlCheck {
    std::vector<std::string> problems;  // unbalanced or unknown tags, text that is not UTF-8
    std::set<std::string> ids;
    std::vector<std::string> duplicateIds;
    std::vector<std::string> internalLinks;  // the targets of href="#…"
};

HtmlCheck checkHtml(const std::string& html);

// The text of `html` from the element with id `id` to the end of that element's section (the
// next <section or the end), for looking up what a part says.
std::string sectionText(const std::string& html, const std::string& id);

}  // namespace krvs::doc::test
