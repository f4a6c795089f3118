#pragma once
// The .LST file's lines as the pass assembles them: the object-code column of the line being
// assembled, the listed lines with their diagnostics, the titles and the cross reference. When no
// listing is asked for it keeps nothing.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "arena.h"

namespace krvs::tasm {

// Replaces blank runs by TABs wherever a run reaches a multiple-of-8 column; trailing blanks go.
std::string entab(const std::string& line);

// A listed line, small: its texts (object-code column, then source) lie in the recorder's text
// store and its diagnostics are a range (a line's diagnostics are consecutive).
struct ListLine {
    int listNo = 0;
    std::uint32_t offset = 0;
    const char* text = nullptr;
    std::uint32_t codeSize = 0, sourceSize = 0;
    std::uint32_t diagFrom = 0, diagTo = 0;
    bool hasOffset = false;
    bool expansion = false;

    std::string_view code() const { return {text, codeSize}; }
    std::string_view source() const { return {text + codeSize, sourceSize}; }
};

// Listing lines that name a symbol, in order, `true` where the line defines it.
using CrossRefs = std::vector<std::pair<int, bool>>;

// How the line that ends was assembled, for its listing line.
struct LineEnd {
    std::string_view source;
    bool expansion = false;      // read from a macro expansion or repeat block
    bool hasOffset = false;      // the line shows the location counter
    std::uint32_t offset = 0;
    bool emitted = false;        // the line produced code or data
    size_t diagFrom = 0, diagTo = 0;  // its diagnostics
    size_t symbolCount = 0;      // symbols known (the cross reference is indexed by symbol)
};

class ListingRecorder {
public:
    ListingRecorder(bool listing, bool listExpansions, bool crossRef)
        : m_on(listing), m_allExpansions(listExpansions), m_crossRef(crossRef && listing) {}
    void reset();
    bool on() const { return m_on; }

    // The object-code column of the current line.
    void code(std::string_view text);
    void byte(std::uint8_t b);
    void field(std::uint32_t value, int width, bool reloc, bool segment);
    // What the column holds so far, and replacing it (a DUP shows its items once, in brackets).
    const std::string& column() const { return m_code; }
    void setColumn(std::string text) { m_code = std::move(text); }
    // Nested data repeated by DUP is listed once: muted for the other rounds.
    void mute() { ++m_mute; }
    void unmute() { --m_mute; }
    bool muted() const { return m_mute != 0; }

    // What the current line asks of its listing line.
    void startLine();
    void suppressLine() { m_suppressed = true; }  // skipped by conditional assembly
    void showOffset() { m_showOffset = true; }    // .MODEL shows 0000 with no code
    void noteRef(int sym, bool defines) {
        if (m_crossRef && sym >= 0) m_lineRefs.emplace_back(sym, defines);
    }
    // .XLIST and %NOLIST stop the listing, .LIST and %LIST start it again.
    void setOff(bool off) { m_off = off; }
    void endLine(const LineEnd& e);

    void setTitle(std::string t) { m_title = std::move(t); }
    void setSubtitle(std::string t) { m_subtitle = std::move(t); }
    const std::string& title() const { return m_title; }

    const std::deque<ListLine>& lines() const { return m_lines; }
    const std::vector<CrossRefs>& crossRefs() const { return m_crossRefs; }

private:
    bool m_on, m_allExpansions, m_crossRef;
    std::string m_code;
    int m_mute = 0;
    bool m_suppressed = false, m_showOffset = false, m_off = false;
    std::vector<std::pair<int, bool>> m_lineRefs;
    // A deque and a store of blocks that never move: a long listing is never copied while it grows.
    std::deque<ListLine> m_lines;
    ByteArena m_text;
    const char* storeText(std::string_view code, std::string_view source);
    std::vector<CrossRefs> m_crossRefs;
    std::string m_title, m_subtitle;
    int m_listNo = 0;
};

}  // namespace krvs::tasm
