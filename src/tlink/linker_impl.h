// Internal: the state of one link, shared by the layout, symbol, fixup, image and map steps.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "omf/module.h"
#include "tlink/linker.h"

namespace krvs::tlink::detail {

struct Module {
    std::string fileName;
    omf::ObjectModule obj;
    std::vector<int> segmentMap;  // SEGDEF index - 1 -> contribution
    std::vector<int> groupMap;    // GRPDEF index - 1 -> group
    std::vector<int> externMap;   // EXTDEF index - 1 -> symbol, -1 when undefined
};

struct Contribution {
    int module = 0;
    int segdef = 0;  // 0-based
    int segment = 0;
    std::uint32_t base = 0;  // linear address in the image
    std::uint32_t length = 0;
    omf::Align align = omf::Align::Para;
};

struct Segment {
    std::string name, className;
    std::uint8_t combine = 0;
    bool absolute = false;
    bool use32 = false;
    std::vector<int> contributions;
    int group = -1;
    std::uint32_t start = 0, length = 0;
    std::uint16_t frame = 0;
};

struct Group {
    std::string name;
    std::vector<int> segments;
    std::uint16_t frame = 0;
};

struct Symbol {
    std::string name;
    int module = 0;
    int contribution = -1;  // -1: absolute
    int group = -1;
    std::uint32_t offset = 0;
    std::uint16_t absFrame = 0;
    bool referenced = false;
    bool fixed = false;  // an absolute public or one in an AT segment: no relocation refers to it
    std::uint32_t linear = 0;
    std::uint16_t frame = 0;
    bool absolute() const { return fixed; }
};

// Where a frame or target of a fixup lies.
struct Address {
    std::int64_t linear = 0;  // of the segment, group or symbol itself; the displacement is kept apart
    std::int64_t displacement = 0;
    std::uint16_t frame = 0;
    bool relocatable = false;
    // The segment, group or symbol named in messages; it outlives the fixup step, and a fixup is applied
    // for every few bytes of code, so it is not copied. Empty for a bare frame number (see describe()).
    std::string_view name;
    std::int64_t address() const { return linear + displacement; }
    // The name as a fixup overflow message gives it: a bare frame number as "1234h".
    std::string describe() const;
};

class Linker {
public:
    Linker(const std::vector<LinkInput>& inputs, const LinkOptions& options);
    LinkResult run();

    // Steps, in order; each returns false when the link cannot go on.
    bool load();
    void collectSegments();
    void orderSegments();
    bool layout();
    void collectGroups();
    void defineSymbols();
    void resolveExternals();
    bool buildImage();
    void applyFixups();
    void findEntryAndStack();
    void writeExe();
    void writeCom();
    std::string buildMap() const;
    bool listsLineNumbers(const Segment& segment) const;

    // Helpers shared by the steps.
    std::string key(const std::string& name) const;
    void report(Severity severity, std::string text);
    bool hasErrors() const;
    std::optional<Address> target(const Module& m, const omf::Reference& ref) const;
    std::optional<Address> frame(const Module& m, const omf::Reference& ref, const Address& target,
                                 const Segment* location) const;
    const Segment& segmentOf(const Module& m, std::uint16_t segdefIndex) const;
    void applyFixup(const Module& m, const Segment& location, std::uint32_t at, const omf::Fixup& f);
    bool patchOffset(std::uint32_t at, const omf::Fixup& f, const Address& tgt, const Address& frm);
    bool patchBase(std::uint32_t at, const omf::Fixup& f, const Address& tgt, const Address& frm,
                   const Segment& location);
    void addRelocation(const Segment& location, std::uint32_t where);

    const std::vector<LinkInput>& m_inputs;
    LinkOptions m_options;
    LinkResult m_result;
    std::vector<Module> m_modules;
    std::vector<Contribution> m_contributions;
    std::vector<Segment> m_segments;
    std::vector<int> m_order;  // segment indexes in memory order
    std::vector<Group> m_groups;
    std::vector<Symbol> m_symbols;
    std::map<std::string, int> m_globals;
    std::map<std::pair<int, std::string>, int> m_locals;
    std::set<std::pair<std::string, int>> m_undefinedReported;
    std::vector<std::uint8_t> m_image;
    std::uint32_t m_layoutEnd = 0;
    std::uint32_t m_initEnd = 0;
    std::uint32_t m_lowestData = 0xFFFFFFFF;
    bool m_hasStart = false;
    int m_entrySegment = -1;
    std::uint16_t m_cs = 0, m_ip = 0, m_ss = 0, m_sp = 0;
    bool m_hasStack = false;
};

}  // namespace krvs::tlink::detail
