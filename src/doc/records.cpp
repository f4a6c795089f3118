#include "doc/records.h"

#include <algorithm>
#include <set>

namespace krvs::doc {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// A continuation line without the blanks that mark it (two spaces or a tab); any further indent
// is the text's own, as in an example's columns.
std::string_view continuation(std::string_view raw) {
    if (raw.starts_with('\t')) raw.remove_prefix(1);
    else for (int i = 0; i < 2 && raw.starts_with(' '); ++i) raw.remove_prefix(1);
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t')) raw.remove_suffix(1);
    return raw;
}

std::vector<std::string> splitWords(std::string_view s) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        std::size_t start = i;
        while (i < s.size() && s[i] != ' ') ++i;
        if (i > start) words.emplace_back(s.substr(start, i - start));
    }
    return words;
}

class Parser {
public:
    Parser(const std::string& fileName, const std::vector<std::string>& fields)
        : m_fileName(fileName), m_allowed(fields.begin(), fields.end()) {}

    void line(std::string_view raw, int number) {
        m_number = number;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        std::string_view text = trim(raw);
        if (text.empty() || text.front() == '#') return;
        if (text.starts_with("==")) return startRecord(text.substr(2));
        if (raw.front() == ' ' || raw.front() == '\t') return continueField(continuation(raw));
        addField(text);
    }

    RecordFile finish() { return std::move(m_out); }

private:
    void error(const std::string& what) {
        m_out.errors.push_back(m_fileName + "(" + std::to_string(m_number) + "): " + what);
    }

    void startRecord(std::string_view keyText) {
        Record r;
        r.keys = splitWords(trim(keyText));
        r.line = m_number;
        if (r.keys.empty()) error("a record needs a key after ==");
        for (const std::string& key : r.keys)
            if (!m_keys.insert(key).second) error("the key " + key + " names two records");
        m_out.records.push_back(std::move(r));
        m_lastField.clear();
    }

    void addField(std::string_view text) {
        std::size_t colon = text.find(':');
        if (m_out.records.empty()) return error("a field before the first record");
        if (colon == std::string_view::npos) return error("a line that is neither a field (name: text) nor its continuation");
        std::string name(trim(text.substr(0, colon)));
        if (!m_allowed.count(name)) return error("unknown field " + name);
        Record& r = m_out.records.back();
        if (r.fields.count(name)) return error("the field " + name + " twice in one record");
        r.fields[name] = std::string(trim(text.substr(colon + 1)));
        m_lastField = name;
    }

    void continueField(std::string_view text) {
        if (m_out.records.empty() || m_lastField.empty()) return error("a continuation line without a field above");
        std::string& value = m_out.records.back().fields[m_lastField];
        if (!value.empty()) value += '\n';
        value += text;
    }

    std::string m_fileName;
    std::set<std::string> m_allowed;
    std::set<std::string> m_keys;
    std::string m_lastField;
    int m_number = 0;
    RecordFile m_out;
};

}  // namespace

const std::string& Record::field(const std::string& name) const {
    static const std::string kEmpty;
    auto it = fields.find(name);
    return it == fields.end() ? kEmpty : it->second;
}

const Record* RecordFile::find(std::string_view key) const {
    for (const Record& r : records)
        if (std::find(r.keys.begin(), r.keys.end(), key) != r.keys.end()) return &r;
    return nullptr;
}

RecordFile parseRecords(std::string_view text, const std::string& fileName, const std::vector<std::string>& fields) {
    Parser parser(fileName, fields);
    int number = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        parser.line(text.substr(pos, end - pos), ++number);
        pos = end + 1;
    }
    return parser.finish();
}

}  // namespace krvs::doc
