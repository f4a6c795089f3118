#pragma once
// The interpreter's own messages are UTF-8 text; a DOS screen holds GBK bytes. This turns a UTF-8 byte
// stream into GBK as it arrives (a character may be split between two writes) and passes bytes that are
// no UTF-8 through unchanged, since those already are what a DOS program meant to show.

#include <string>
#include <string_view>

namespace krvs::console {

class Utf8ToGbk {
public:
    std::string feed(std::string_view bytes);

private:
    void flushRaw(std::string& out);
    std::string m_pending;  // the start of a multi-byte character
    std::size_t m_needed = 0;
};

}  // namespace krvs::console
