#include "sources.h"

#include <algorithm>
#include <cstring>

namespace krvs::tasm {

namespace {
constexpr size_t kMaxFrames = 64;
constexpr size_t kStreamBuffer = 16 * 1024;  // reads stay few (a 100,000-line source is under 100 per pass)

// Eight bytes a step: the fingerprint costs a pass far less than reading its lines.
std::uint64_t hashBytes(std::uint64_t h, const char* p, size_t n) {
    constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * kMul;
        h ^= h >> 29;
    }
    for (; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * kMul;
    return h;
}
}  // namespace

std::optional<size_t> TextSource::read(char* buffer, size_t size) {
    size_t n = std::min(size, m_text.size() - m_pos);
    std::memcpy(buffer, m_text.data() + m_pos, n);
    m_pos += n;
    return n;
}

bool LineStream::start(SourceReader& reader) {
    m_reader = &reader;
    if (!m_buffer) m_buffer.reset(new char[kStreamBuffer]);  // not zeroed: only what is read is touched
    m_pos = m_len = 0;
    m_hash = m_bytes = 0;
    m_failed = !reader.rewind();
    m_atEnd = m_failed;
    return !m_failed;
}

// The buffer is filled whole (short reads go on) so that a pass sees the same blocks as the last one.
bool LineStream::fill() {
    m_pos = m_len = 0;
    while (!m_atEnd && m_len < kStreamBuffer) {
        std::optional<size_t> n = m_reader->read(m_buffer.get() + m_len, kStreamBuffer - m_len);
        if (!n) m_failed = true;
        if (!n || *n == 0) m_atEnd = true;
        else m_len += *n;
    }
    m_hash = hashBytes(m_hash, m_buffer.get(), m_len);
    m_bytes += m_len;
    return m_len > 0;
}

bool LineStream::next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (m_pos == m_len && !fill()) break;
        const char* from = m_buffer.get() + m_pos;
        const void* nl = std::memchr(from, '\n', m_len - m_pos);
        if (nl) {
            const char* to = static_cast<const char*>(nl);
            line.append(from, static_cast<size_t>(to - from));
            m_pos += static_cast<size_t>(to - from) + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.append(from, m_len - m_pos);
        m_pos = m_len;
        any = true;
    }
    if (m_failed || !any) return false;
    // The last line has no LF; a lone DOS end-of-file mark there ends the text.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line != "\x1a";
}

std::shared_ptr<const LineText> LineText::view(std::string_view text) {
    auto t = std::make_shared<LineText>();
    t->m_text = text;
    t->split();
    return t;
}

std::shared_ptr<const LineText> LineText::own(std::string text) {
    auto t = std::make_shared<LineText>();
    t->m_owned = std::move(text);
    t->m_text = t->m_owned;  // the object stays where make_shared put it: the view stays good
    t->split();
    return t;
}

void LineText::split() {
    m_split = true;
    std::string_view s = m_text;
    m_starts.reserve(static_cast<size_t>(std::count(s.begin(), s.end(), '\n')) + 1);
    size_t start = 0;
    for (size_t i = s.find('\n'); i != std::string_view::npos; i = s.find('\n', start)) {
        m_starts.push_back(static_cast<std::uint32_t>(start));
        start = i + 1;
    }
    m_end = static_cast<std::uint32_t>(start);
    if (start < s.size()) {
        std::string_view last = s.substr(start);
        if (last.back() == '\r') last.remove_suffix(1);
        // A DOS end-of-file mark ends the text.
        if (!(last.size() == 1 && last[0] == '\x1a')) {
            m_starts.push_back(static_cast<std::uint32_t>(start));
            m_end = static_cast<std::uint32_t>(s.size());
        }
    }
}

void LineText::reserve(size_t lines, size_t chars) {
    m_starts.reserve(lines);
    m_owned.reserve(chars);
}

void LineText::add(std::string_view line) {
    m_starts.push_back(static_cast<std::uint32_t>(m_owned.size()));
    m_owned.append(line);
    m_owned.push_back('\n');
    m_text = m_owned;
    m_end = static_cast<std::uint32_t>(m_owned.size());
}

std::string_view LineText::operator[](size_t i) const {
    size_t from = m_starts[i];
    size_t to = i + 1 < m_starts.size() ? m_starts[i + 1] : m_end;
    std::string_view l = m_text.substr(from, to - from);
    if (!l.empty() && l.back() == '\n') l.remove_suffix(1);
    if (m_split && !l.empty() && l.back() == '\r') l.remove_suffix(1);
    return l;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::shared_ptr<const LineText> lines = LineText::view(text);
    std::vector<std::string> out;
    out.reserve(lines->size());
    for (size_t i = 0; i < lines->size(); ++i) out.emplace_back((*lines)[i]);
    return out;
}

bool SourceStack::startPass(const std::string& fileName, SourceReader& source) {
    m_frames.clear();
    m_conds.clear();
    m_commentDelim = 0;
    m_mainFile = fileName;
    Frame f;
    f.kind = Frame::Kind::File;
    f.name = fileName;
    m_frames.push_back(std::move(f));
    return m_main.start(source);
}

void SourceStack::startSingle(const std::string& name, const std::string& line) {
    m_mainFile = name;
    auto text = std::make_shared<LineText>();
    text->add(line);
    Frame f;
    f.kind = Frame::Kind::File;
    f.lines = std::move(text);
    f.name = name;
    m_frames.push_back(std::move(f));
}

bool SourceStack::next(std::string& line) {
    while (!m_frames.empty()) {
        Frame& f = m_frames.back();
        if (!f.lines) {
            if (!m_main.next(line)) return false;
            f.line = static_cast<int>(++f.next);
            return true;
        }
        if (f.next < f.lines->size()) {
            line.assign((*f.lines)[f.next++]);
            f.line = f.bodyLines > 0 ? static_cast<int>((f.next - 1) % static_cast<size_t>(f.bodyLines)) + 1
                                     : static_cast<int>(f.next);
            return true;
        }
        if (m_frames.size() == 1) return false;
        pop();
    }
    return false;
}

bool SourceStack::push(Frame f) {
    if (m_frames.size() >= kMaxFrames) return false;
    f.condDepth = m_conds.size();
    m_frames.push_back(std::move(f));
    return true;
}

void SourceStack::pop() {
    const Frame& f = m_frames.back();
    // A conditional left open in a macro, repeat block or include file is closed with it.
    if (m_conds.size() > f.condDepth && (f.kind != Frame::Kind::File || m_frames.size() > 1))
        m_conds.resize(f.condDepth);
    m_frames.pop_back();
}

SourceStack::Include SourceStack::include(const std::string& name) {
    auto it = m_fileCache.find(name);
    std::shared_ptr<const LineText> lines;
    if (it != m_fileCache.end()) {
        lines = it->second;
    } else {
        std::optional<std::string> text = m_reader ? m_reader(name) : std::nullopt;
        if (!text) return Include::Unreadable;
        lines = LineText::own(std::move(*text));
        m_fileCache[name] = lines;
    }
    Frame f;
    f.kind = Frame::Kind::File;
    f.lines = std::move(lines);
    f.name = name;
    return push(std::move(f)) ? Include::Ok : Include::TooDeep;
}

bool SourceStack::exitMacro() {
    for (size_t i = m_frames.size(); i-- > 0;) {
        if (m_frames[i].kind == Frame::Kind::File) break;
        // Everything above the innermost expansion ends with it.
        while (m_frames.size() > i + 1) pop();
        m_frames[i].next = m_frames[i].lines->size();
        if (m_conds.size() > m_frames[i].condDepth) m_conds.resize(m_frames[i].condDepth);
        return true;
    }
    return false;
}

void SourceStack::dropToMain() {
    while (m_frames.size() > 1) m_frames.pop_back();
}

Diagnostic SourceStack::locate(Diagnostic d) const {
    for (const Frame& f : m_frames) {
        if (f.kind == Frame::Kind::File) {
            d.file = f.name;
            d.line = f.line;
        }
    }
    if (inExpansion()) {
        d.macro = m_frames.back().name;
        d.macroLine = m_frames.back().line;
    }
    return d;
}

}  // namespace krvs::tasm
