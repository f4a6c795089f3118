// The fuzz target's script filter judges a line as DEBUG will read it, after line editing, so no input
// can make the fuzzer run a program (which may never end) or touch files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script_filter.h"

namespace krvs::debug::fuzz {
namespace {

std::vector<std::string> linesOf(const std::string& script) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, cr; (cr = script.find('\r', at)) != std::string::npos; at = cr + 1)
        lines.push_back(script.substr(at, cr - at));
    return lines;
}

std::string filtered(const std::string& input) {
    return safeScript(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

TEST(FuzzScriptFilter, JudgesTheEditedLine) {
    struct Case {
        std::string input;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"U\x08g5\r", {}},                          // backspace turns it into G
        {"dd\x7f\x7fp\r", {}},                      // delete likewise
        {" ,t\rw\rq", {}},                          // separators before the letter; a last line without CR
        {"gx\x08\x08" "d 100\r", {"d 100"}},        // edited from a run command into a dump
        {"d 1\n00\rr\r", {"d 100", "r"}},           // a LF does not split a line
        {std::string(79, 'e') + "g\r", {std::string(79, 'e')}},  // past 79 characters nothing is taken
    };
    for (const Case& c : cases) {
        const std::string script = filtered(c.input);
        EXPECT_EQ(linesOf(script), c.kept) << c.input;
        EXPECT_EQ(filtered(script), script) << "an edited script reads back unchanged: " << c.input;
    }
}

}  // namespace
}  // namespace krvs::debug::fuzz
