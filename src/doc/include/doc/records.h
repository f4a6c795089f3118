#pragma once
// The hand-written texts of the manual (resources/manual/*.txt) are plain records, so that a
// writer edits Chinese prose without touching code:
//
//   # a comment
//   == MOV                 one record, named by one or more keys (aliases share a record)
//   名称: 传送              a field: name, colon, text
//   示例: MOV AX, BX        a line that starts with a blank continues the field above
//     MOV DS, AX
//
// Errors are values: each names its file and line.

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace krvs::doc {

struct Record {
    std::vector<std::string> keys;
    std::map<std::string, std::string> fields;
    int line = 0;  // where its "==" stands

    // The field's text, empty when absent.
    const std::string& field(const std::string& name) const;
};

struct RecordFile {
    std::vector<Record> records;
    std::vector<std::string> errors;

    // The record that `key` names, nullptr when none.
    const Record* find(std::string_view key) const;
};

// Parses `text`; `fields` lists the field names a record may have (others are errors).
RecordFile parseRecords(std::string_view text, const std::string& fileName,
                        const std::vector<std::string>& fields);

}  // namespace krvs::doc
