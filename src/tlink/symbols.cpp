// Publics and externals: one global table (case-insensitive unless /c), module-local tables for
// LPUBDEF/LEXTDEF.
#include "linker_impl.h"

namespace krvs::tlink::detail {

void Linker::defineSymbols() {
    for (std::size_t mi = 0; mi < m_modules.size(); ++mi) {
        const Module& m = m_modules[mi];
        for (const auto& p : m.obj.publics) {
            Symbol s;
            s.name = p.name;
            s.module = static_cast<int>(mi);
            s.offset = p.offset;
            if (p.groupIndex) s.group = m.groupMap[p.groupIndex - 1];
            if (p.segmentIndex) {
                s.contribution = m.segmentMap[p.segmentIndex - 1];
                const Contribution& c = m_contributions[s.contribution];
                s.linear = c.base + p.offset;
                s.frame = s.group >= 0 ? m_groups[s.group].frame : m_segments[c.segment].frame;
                s.fixed = m_segments[c.segment].absolute;
            } else {
                s.absFrame = p.frame;
                s.fixed = true;
                s.frame = p.frame;
                s.linear = p.frame * 16u + p.offset;
            }
            int index = static_cast<int>(m_symbols.size());
            auto& table = m_globals;
            if (p.local) {
                auto [it, added] = m_locals.try_emplace({s.module, key(p.name)}, index);
                if (!added) continue;
            } else {
                auto [it, added] = table.try_emplace(key(p.name), index);
                if (!added) {
                    const Symbol& first = m_symbols[it->second];
                    report(Severity::Error, p.name + " defined in module " + m_modules[first.module].obj.name +
                                                " is duplicated in module " + m.obj.name);
                    continue;
                }
            }
            m_symbols.push_back(std::move(s));
        }
    }
}

void Linker::resolveExternals() {
    for (std::size_t mi = 0; mi < m_modules.size(); ++mi) {
        Module& m = m_modules[mi];
        for (const auto& e : m.obj.externals) {
            int found = -1;
            if (e.local) {
                auto it = m_locals.find({static_cast<int>(mi), key(e.name)});
                if (it != m_locals.end()) found = it->second;
            }
            if (found < 0) {
                auto it = m_globals.find(key(e.name));
                if (it != m_globals.end()) found = it->second;
            }
            if (found >= 0) m_symbols[found].referenced = true;
            else if (m_undefinedReported.insert({key(e.name), static_cast<int>(mi)}).second)
                report(Severity::Error, "Undefined symbol " + e.name + " in module " + m.obj.name);
            m.externMap.push_back(found);
        }
    }
}

}  // namespace krvs::tlink::detail
