#include "diagnostics.h"

namespace krvs::tasm {

namespace {
bool samePlace(const Diagnostic& a, const Diagnostic& b) {
    return a.file == b.file && a.line == b.line && a.macro == b.macro && a.macroLine == b.macroLine;
}
}  // namespace

void Diagnostics::add(Diagnostic d) {
    if (d.severity == Severity::Fatal) m_fatal = true;
    m_list.push_back(std::move(d));
}

void Diagnostics::truncate(size_t n) {
    if (n < m_list.size()) m_list.resize(n);
}

void Diagnostics::startPass() {
    m_list.clear();
    m_fatal = false;
    m_keptShown.assign(m_kept.size(), false);
}

void Diagnostics::showKeptAt(const Diagnostic& place) {
    for (size_t i = 0; i < m_kept.size(); ++i) {
        if (i < m_keptShown.size() && !m_keptShown[i] && samePlace(m_kept[i], place)) {
            m_keptShown[i] = true;
            m_list.push_back(m_kept[i]);
            return;
        }
    }
}

std::vector<Diagnostic> Diagnostics::keptNotShown() const {
    std::vector<Diagnostic> out;
    for (size_t i = 0; i < m_kept.size(); ++i)
        if (i >= m_keptShown.size() || !m_keptShown[i]) out.push_back(m_kept[i]);
    return out;
}

}  // namespace krvs::tasm
