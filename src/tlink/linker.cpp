#include <algorithm>

#include "linker_impl.h"
#include "omf/reader.h"
#include "platform/dosnames.h"

namespace krvs::tlink {

std::string formatMessage(const Message& message) {
    static const char* const kPrefix[] = {"Warning: ", "Error: ", "Fatal: "};
    return kPrefix[static_cast<int>(message.severity)] + message.text;
}

LinkResult link(const std::vector<LinkInput>& inputs, const LinkOptions& options) {
    return detail::Linker(inputs, options).run();
}

namespace detail {

Linker::Linker(const std::vector<LinkInput>& inputs, const LinkOptions& options)
    : m_inputs(inputs), m_options(options) {}

std::string Linker::key(const std::string& name) const {
    // DOS folds ASCII letters only, whatever the host's locale.
    return m_options.caseSensitive ? name : platform::upperAscii(name);
}

void Linker::report(Severity severity, std::string text) {
    m_result.messages.push_back(Message{severity, std::move(text)});
}

bool Linker::hasErrors() const {
    return std::any_of(m_result.messages.begin(), m_result.messages.end(),
                       [](const Message& m) { return m.severity != Severity::Warning; });
}

const Segment& Linker::segmentOf(const Module& m, std::uint16_t segdefIndex) const {
    return m_segments[m_contributions[m.segmentMap[segdefIndex - 1]].segment];
}

bool Linker::load() {
    for (const auto& input : m_inputs) {
        auto read = omf::readObject(input.bytes);
        if (!read) {
            char where[32];
            std::snprintf(where, sizeof where, " at offset %zXh", read.error().offset);
            report(Severity::Fatal, "Bad object file " + input.fileName + ": " + read.error().message + where);
            return false;
        }
        Module m;
        m.fileName = input.fileName;
        m.obj = std::move(read.value());
        m_modules.push_back(std::move(m));
    }
    return true;
}

LinkResult Linker::run() {
    if (m_options.com && m_options.debugInfo) report(Severity::Warning, "Debug info switch ignored for COM files");
    if (!load()) return std::move(m_result);
    collectSegments();
    orderSegments();
    if (!layout()) return std::move(m_result);
    collectGroups();
    defineSymbols();
    resolveExternals();
    if (!buildImage()) return std::move(m_result);
    applyFixups();
    findEntryAndStack();
    if (!hasErrors()) {
        if (m_options.com) writeCom();
        else writeExe();
    }
    m_result.ok = !hasErrors();
    if (!m_result.ok) m_result.program.clear();
    m_result.map = buildMap();
    return std::move(m_result);
}

}  // namespace detail
}  // namespace krvs::tlink
