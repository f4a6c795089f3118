// Arbitrary command lines through DEBUG's parser and commands. Crashes and sanitizer reports are what
// libFuzzer finds by itself; this property traps when broken:
//  - an "^ Error" mark never points beyond the end of the line it belongs to.
// Commands that run the program or touch files are left out (script_filter.h).
//
//   fuzz_debug -max_total_time=60 corpus_dir/

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "debug/console.h"
#include "debug/session.h"
#include "script_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script = krvs::debug::fuzz::safeScript(data, size);
    krvs::pc::StringSource in(script);
    krvs::pc::StringSink out;
    krvs::debug::Console console(in, out, false);
    krvs::debug::Session session(console);
    session.run();

    // Every error mark lies under the line echoed just before it (prompt width 1, or 10 in A mode).
    const std::string& text = out.text();
    for (std::size_t at = text.find("^ Error"); at != std::string::npos; at = text.find("^ Error", at + 1)) {
        const std::size_t lineStart = text.rfind("\r\n", at);
        const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 2;
        const std::size_t blanks = at - from;
        // Only a line of blanks and the mark is DEBUG's own; the same text inside an echo is not.
        if (text.find_first_not_of(' ', from) != at) continue;
        const std::size_t echoEnd = lineStart == std::string::npos ? 0 : text.rfind('\r', lineStart - 1);
        const std::size_t echoStart = echoEnd == std::string::npos ? 0 : text.rfind('\n', echoEnd);
        const std::size_t echoed = echoEnd - (echoStart == std::string::npos ? 0 : echoStart + 1);
        if (blanks > echoed + 1) std::abort();
    }
    return 0;
}
