#include "gbk_text.h"

#include <QString>

#include "keymap.h"

namespace krvs::console {

namespace {

std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

void Utf8ToGbk::flushRaw(std::string& out) {
    out += m_pending;
    m_pending.clear();
    m_needed = 0;
}

std::string Utf8ToGbk::feed(std::string_view bytes) {
    std::string out;
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (m_needed > 0) {
            if ((b & 0xC0) == 0x80) {
                m_pending.push_back(ch);
                if (m_pending.size() == m_needed) {
                    QString text = QString::fromUtf8(m_pending.data(), static_cast<qsizetype>(m_pending.size()));
                    if (text.contains(QChar::ReplacementCharacter)) out += m_pending;
                    else out += toGbk(text).toStdString();
                    m_pending.clear();
                    m_needed = 0;
                }
                continue;
            }
            flushRaw(out);
        }
        if (std::size_t n = sequenceLength(b)) {
            m_pending.assign(1, ch);
            m_needed = n;
            continue;
        }
        out.push_back(ch);
    }
    return out;
}

}  // namespace krvs::console
