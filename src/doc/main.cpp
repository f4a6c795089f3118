// krvsdoc TEXTS-DIR OUT.html: writes the manual. Malformed or unreadable texts fail the build; an
// entry of the code's tables without text is reported but still leaves a usable manual (the doc
// tests fail on it).

#include <cstdio>

#include "doc/manual.h"
#include "platform/files.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: krvsdoc TEXTS-DIR OUT.html\n");
        return 2;
    }
    krvs::doc::ManualBuild manual = krvs::doc::buildManual(argv[1]);
    for (const std::string& e : manual.errors) std::fprintf(stderr, "krvsdoc: error: %s\n", e.c_str());
    if (!manual.errors.empty()) return 1;
    for (const std::string& m : manual.missing) std::fprintf(stderr, "krvsdoc: warning: %s\n", m.c_str());
    if (krvs::platform::Error e = krvs::platform::writeFileAtomic(argv[2], manual.html); !e.empty()) {
        std::fprintf(stderr, "krvsdoc: cannot write %s: %s\n", argv[2], e.c_str());
        return 1;
    }
    return 0;
}
