#pragma once
// Private to the doc library: the manual's parts, each written from its table and its texts.

#include <string>
#include <vector>

#include "doc/records.h"

namespace krvs::doc {

// Entries of a table without text, or texts that name nothing in the table.
using Gaps = std::vector<std::string>;

std::string instructionSection(const RecordFile& texts, Gaps& gaps);
std::string serviceSections(const RecordFile& dos, const RecordFile& bios, Gaps& gaps);
std::string messageSection();
// Directives and operators, DEBUG's commands: the texts as written, one entry per record.
std::string recordEntries(const RecordFile& texts, const std::string& anchorPrefix);

// A key made into the tail of an anchor name: letters and digits kept, anything else '_' and its
// code in hex ("$" and "+" must not meet in one name).
std::string anchorTail(std::string_view key);

}  // namespace krvs::doc
