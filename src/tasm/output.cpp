// The end of a run: publics checked, the object module written through the OMF writer, the listing
// laid out, and the diagnostics counted.

#include <omf/writer.h>

#include <algorithm>
#include <ctime>
#include <string_view>
#include <unordered_set>

#include "context.h"

namespace krvs::tasm {

namespace {

omf::Align omfAlign(int align) {
    switch (align) {
        case 1: return omf::Align::Byte;
        case 2: return omf::Align::Word;
        case 4: return omf::Align::Dword;
        case 256: return omf::Align::Page;
        default: return omf::Align::Para;
    }
}

omf::Combine omfCombine(Combine c) {
    switch (c) {
        case Combine::Public: return omf::Combine::Public;
        case Combine::Stack: return omf::Combine::Stack;
        case Combine::Common: return omf::Combine::Common;
        case Combine::Memory: return omf::Combine::Public4;
        default: return omf::Combine::Private;
    }
}

omf::Location omfLocation(FixKind k) {
    switch (k) {
        case FixKind::Lo8:
        case FixKind::Rel8: return omf::Location::LowByte;
        case FixKind::Base16: return omf::Location::Base;
        case FixKind::Ptr32: return omf::Location::Pointer32;
        default: return omf::Location::Offset16;
    }
}

omf::Fixup omfFixup(Fixup f, std::uint32_t base, const std::vector<Segment>& segs) {
    if (f.groupFrame && f.target == RefKind::Segment && f.targetIndex < static_cast<int>(segs.size()) &&
        segs[static_cast<size_t>(f.targetIndex)].group >= 0) {
        f.frame = RefKind::Group;
        f.frameIndex = segs[static_cast<size_t>(f.targetIndex)].group;
    }
    omf::Fixup o;
    o.offset = f.offset - base;
    o.location = omfLocation(f.kind);
    o.segmentRelative = f.kind != FixKind::Rel8 && f.kind != FixKind::Rel16;
    o.ref.displacement = f.disp;
    auto idx = [](int i) { return static_cast<std::uint16_t>(i + 1); };
    switch (f.target) {
        case RefKind::Group: o.ref.target = omf::TargetMethod::Group; break;
        case RefKind::Extern: o.ref.target = omf::TargetMethod::External; break;
        default: o.ref.target = omf::TargetMethod::Segment; break;
    }
    o.ref.targetDatum = idx(f.targetIndex);
    switch (f.frame) {
        case RefKind::Segment: o.ref.frame = omf::FrameMethod::Segment, o.ref.frameDatum = idx(f.frameIndex); break;
        case RefKind::Group: o.ref.frame = omf::FrameMethod::Group, o.ref.frameDatum = idx(f.frameIndex); break;
        case RefKind::Extern: o.ref.frame = omf::FrameMethod::External, o.ref.frameDatum = idx(f.frameIndex); break;
        case RefKind::Target: o.ref.frame = omf::FrameMethod::Target; break;
    }
    return o;
}

// Counts what passes on to the sink behind it.
struct CountingSink : omf::RecordSink {
    explicit CountingSink(omf::RecordSink& to) : out(to) {}
    bool write(std::span<const std::uint8_t> bytes) override {
        count += bytes.size();
        return out.write(bytes);
    }
    omf::RecordSink& out;
    size_t count = 0;
};

std::string baseName(const std::string& path) {
    size_t slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string formatDiagnostic(const Diagnostic& d) {
    std::string prefix = d.severity == Severity::Error ? "**Error** " : d.severity == Severity::Warning ? "*Warning* " : "**Fatal** ";
    if (d.file.empty()) return prefix + d.message;
    std::string s = prefix + d.file + "(" + std::to_string(d.line) + ") ";
    if (!d.macro.empty()) s += d.macro + "(" + std::to_string(d.macroLine) + ") ";
    return s + d.message;
}

void Assembler::checkPublics() {
    for (const Symbol& s : m_syms) {
        if (!s.isPublic) continue;
        bool ok = s.definedPass == m_pass && (s.kind == SymKind::Label || s.kind == SymKind::Proc ||
                                               s.kind == SymKind::Var || s.kind == SymKind::Number);
        if (!ok) {
            Diagnostic d;
            d.file = m_sources.mainFile();
            d.line = 0;
            d.message = "Undefined symbol: " + std::string(s.name);
            m_diags.add(d);
        }
    }
}

// The object module indexes the names of segments, classes and groups with 15 bits: a module with
// more distinct names cannot be written. Each segment brings its name and perhaps a class of its own.
void Assembler::checkObjectNames() {
    std::unordered_set<std::string_view> names{""};
    for (const Segment& s : m_segs.all()) {
        names.insert(s.name);
        names.insert(s.className);
    }
    for (const Group& g : m_segs.groups()) names.insert(g.name);
    if (names.size() <= omf::ObjectWriter::kMaxIndex) return;
    Diagnostic d;
    d.severity = Severity::Fatal;
    d.message = "Too many segments";
    m_diags.add(d);
}

std::string Assembler::writeObject(omf::RecordSink& out, size_t& written) {
    CountingSink counted(out);
    omf::ObjectWriter w(baseName(m_sources.mainFile()), counted);
    if (!m_opts.quiet) {
        std::string t = "Korvash TASM 1.0";
        w.addComment(0x00, std::vector<std::uint8_t>(t.begin(), t.end()));
    }
    if (m_mod.dosseg) w.addComment(0x9E, {}, 0x40);
    for (const Segment& s : m_segs.all()) {
        omf::SegmentSpec def;
        def.name = s.name;
        def.className = s.className;
        def.align = s.combine == Combine::At ? omf::Align::Absolute : omfAlign(s.align);
        def.combine = omfCombine(s.combine);
        def.length = s.size;
        def.absFrame = s.atFrame;
        w.addSegment(def);
    }
    for (const Group& g : m_segs.groups()) {
        std::vector<std::uint16_t> segs;
        for (int s : g.segs) segs.push_back(static_cast<std::uint16_t>(s + 1));
        w.addGroup(g.name, segs);
    }
    for (const Extern& e : m_segs.externs()) w.addExternal(e.name);
    for (const Symbol& s : m_syms) {
        if (!s.isPublic || s.definedPass != m_pass) continue;
        if (s.kind == SymKind::Number) {
            w.addAbsolutePublic(std::string(s.name), 0, static_cast<std::uint32_t>(s.val().num) & 0xFFFF);
        } else if (m_segs.exists(s.seg)) {
            int grp = m_segs[s.seg].group;
            w.addPublic(std::string(s.name), static_cast<std::uint16_t>(s.seg + 1), static_cast<std::uint32_t>(s.value) & 0xFFFF,
                        static_cast<std::uint16_t>(grp + 1));
        }
    }
    if (m_mod.hasStart && m_segs.exists(m_mod.start.seg)) {
        omf::Reference r;
        r.target = omf::TargetMethod::Segment;
        r.targetDatum = static_cast<std::uint16_t>(m_mod.start.seg + 1);
        r.displacement = m_mod.start.num;
        int grp = m_segs[m_mod.start.seg].group;
        if (grp >= 0) r.frame = omf::FrameMethod::Group, r.frameDatum = static_cast<std::uint16_t>(grp + 1);
        else r.frame = omf::FrameMethod::Segment, r.frameDatum = static_cast<std::uint16_t>(m_mod.start.seg + 1);
        w.setStart(r);
    } else if (m_mod.hasStart && m_mod.start.ext >= 0) {
        omf::Reference r;
        r.target = omf::TargetMethod::External;
        r.targetDatum = static_cast<std::uint16_t>(m_mod.start.ext + 1);
        r.frame = omf::FrameMethod::Target;
        w.setStart(r);
    }
    for (int i = 0; i < m_segs.size(); ++i) {
        const Segment& s = m_segs[i];
        std::vector<std::pair<std::uint32_t, std::uint32_t>> runs = s.runs;
        std::sort(runs.begin(), runs.end());
        std::vector<std::pair<std::uint32_t, std::uint32_t>> merged;
        for (auto r : runs) {
            if (!merged.empty() && r.first <= merged.back().second) merged.back().second = std::max(merged.back().second, r.second);
            else merged.push_back(r);
        }
        for (auto [from, to] : merged) {
            std::vector<omf::Fixup> fix;
            for (const Fixup& f : s.fixups)
                if (f.offset >= from && f.offset < to) fix.push_back(omfFixup(f, from, m_segs.all()));
            w.addData(static_cast<std::uint16_t>(i + 1), from,
                      std::span<const std::uint8_t>(s.bytes.data() + from, to - from), std::move(fix));
        }
        Segment& done = m_segs[i];
        std::vector<std::uint8_t>().swap(done.bytes);
        std::vector<Fixup>().swap(done.fixups);
        std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(done.runs);
    }
    // Line numbers follow all data, segment by segment.
    for (int i = 0; i < m_segs.size(); ++i) {
        for (auto [line, off] : m_segs[i].lines)
            w.addLine(static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(line), off);
        std::vector<std::pair<int, std::uint32_t>>().swap(m_segs[i].lines);
    }
    std::string error = w.finish();
    written = counted.count;
    return error;
}

void Assembler::recordLine(int startSeg, std::uint32_t startLc) {
    const std::vector<Frame>& frames = m_sources.frames();
    if (startSeg < 0 || frames.empty()) return;
    int line = 0;
    bool inMain = false;
    for (const Frame& f : frames)
        if (f.kind == Frame::Kind::File) line = f.line, inMain = &f == &frames.front();
    if (!inMain) return;
    auto& lines = m_segs[startSeg].lines;
    if (!lines.empty() && lines.back().first == line) return;
    lines.emplace_back(line, startLc);
}

AssemblyResult Assembler::finish(omf::RecordSink* object, ListingSink* listing) {
    AssemblyResult r;
    if (!m_diags.fatal()) checkPublics();
    if (!m_diags.fatal()) checkObjectNames();
    r.passes = m_pass;
    // Pass-1 errors whose line the last pass did not reach again (a skipped branch) go first.
    std::vector<Diagnostic> early = m_diags.keptNotShown();
    r.errorCount = static_cast<int>(early.size());
    for (const Diagnostic& d : m_diags) {
        if (d.severity == Severity::Warning) ++r.warningCount;
        else ++r.errorCount;
    }
    r.messages = m_mod.outMessages;
    if (r.errorCount == 0) {
        omf::VectorSink inResult(r.object);
        r.objectError = writeObject(object ? *object : inResult, r.objectSize);
    }
    if (m_opts.listing) {
        const std::string& date = m_date;
        const std::string& time = m_time;
        std::string header = "Korvash TASM";
        header.resize(17, ' ');
        header += "Version";
        header.resize(25, ' ');
        header += "1.0";
        header.resize(36, ' ');
        header += date;
        header.resize(45, ' ');
        header += time;
        r.listing = buildListing(header, listing);
    }
    r.diagnostics = std::move(early);
    r.diagnostics.insert(r.diagnostics.end(), m_diags.begin(), m_diags.end());
    return r;
}

AssemblyResult assemble(const std::string& fileName, const std::string& source, const Options& options,
                        const FileReader& reader) {
    Assembler a(options, reader);
    TextSource text(source);
    return a.run(fileName, text, nullptr);
}

AssemblyResult assemble(const std::string& fileName, SourceReader& source, const Options& options,
                        const FileReader& reader, omf::RecordSink& object, ListingSink* listing) {
    Assembler a(options, reader);
    return a.run(fileName, source, &object, listing);
}

}  // namespace krvs::tasm
