#pragma once
// The .LST file's lines as the pass assembles them: the object-code column of the line being
// assembled, the listed lines with their diagnostics, the titles and the cross reference. When no
// listing is asked for it keeps nothing.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace krvs::tasm {

// Replaces blank runs by TABs wherever a run reaches a multiple-of-8 column; trailing blanks go.
std::string entab(const std::string& line);

struct ListLine {
    int listNo = 0;
    bool hasOffset = false;
    std::uint32_t offset = 0;
    std::string code;   // object-code column
    std::string source;
    std::vector<size_t> diags;
    bool expansion = false;
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

    const std::vector<ListLine>& lines() const { return m_lines; }
    const std::vector<CrossRefs>& crossRefs() const { return m_crossRefs; }

private:
    bool m_on, m_allExpansions, m_crossRef;
    std::string m_code;
    int m_mute = 0;
    bool m_suppressed = false, m_showOffset = false, m_off = false;
    std::vector<std::pair<int, bool>> m_lineRefs;
    std::vector<ListLine> m_lines;
    std::vector<CrossRefs> m_crossRefs;
    std::string m_title, m_subtitle;
    int m_listNo = 0;
};

}  // namespace krvs::tasm
