#pragma once
// Private to the doc library: small pieces of HTML writing.

#include <string>
#include <string_view>

namespace krvs::doc {

// Text made safe inside an element or an attribute.
std::string escape(std::string_view text);
// Escaped, with each line break of the text a <br> (syntax lines).
std::string escapeLines(std::string_view text);
// Escaped, the lines joined into one paragraph: a prose field is wrapped in its text file only to
// keep the lines short, and Chinese runs on without a blank.
std::string escapeProse(std::string_view text);
// Two-digit upper-case hex.
std::string hex2(int value);
// An <h2> section with its anchor, around `body`.
std::string section(std::string_view id, std::string_view title, std::string_view body);

}  // namespace krvs::doc
