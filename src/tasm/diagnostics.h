#pragma once
// The diagnostics of the pass being run (only the last pass's are reported), and the errors that
// .ERR1 forces in the first pass, which outlive it.

#include <cstddef>
#include <vector>

#include "tasm/assembler.h"

namespace krvs::tasm {

class Diagnostics {
public:
    void add(Diagnostic d);
    bool fatal() const { return m_fatal; }

    size_t size() const { return m_list.size(); }
    const Diagnostic& operator[](size_t i) const { return m_list[i]; }
    std::vector<Diagnostic>::const_iterator begin() const { return m_list.begin(); }
    std::vector<Diagnostic>::const_iterator end() const { return m_list.end(); }
    // Forgets what was reported after the first `n` (a trial evaluation that is thrown away).
    void truncate(size_t n);

    // A new pass starts with no diagnostics; the kept first-pass errors wait to be shown again.
    void startPass();

    // First-pass errors: kept aside, and reported where a later pass meets the same place again
    // (so that they stand in order and in the listing) or, failing that, ahead of the rest.
    void keep(const Diagnostic& d) { m_kept.push_back(d); }
    void showKeptAt(const Diagnostic& place);
    std::vector<Diagnostic> keptNotShown() const;

private:
    std::vector<Diagnostic> m_list;
    bool m_fatal = false;
    std::vector<Diagnostic> m_kept;
    std::vector<bool> m_keptShown;
};

}  // namespace krvs::tasm
