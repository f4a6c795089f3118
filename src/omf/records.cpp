#include <cstdio>

#include "omf/reader.h"

namespace krvs::omf {

namespace {

std::string hexByte(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02Xh", value & 0xFF);
    return text;
}

}  // namespace

Result<std::vector<RawRecord>> splitRecords(std::span<const std::uint8_t> bytes) {
    std::vector<RawRecord> records;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (bytes.size() - pos < 3)
            return Error{pos, "record header past the end of the file"};
        std::uint8_t type = bytes[pos];
        std::size_t length = bytes[pos + 1] | (bytes[pos + 2] << 8);
        if (length == 0) return Error{pos, "record " + hexByte(type) + " has length 0"};
        if (length > bytes.size() - pos - 3)
            return Error{pos, "record " + hexByte(type) + " runs past the end of the file"};
        auto whole = bytes.subspan(pos, length + 3);
        if (whole.back() != 0) {
            std::uint8_t sum = 0;
            for (auto b : whole) sum = static_cast<std::uint8_t>(sum + b);
            if (sum != 0) return Error{pos, "bad checksum in record " + hexByte(type)};
        }
        records.push_back(RawRecord{type, pos, whole.subspan(3, length - 1)});
        pos += length + 3;
        if (type == kModend || type == kModend32) return records;
    }
    return Error{pos, "no MODEND record: the module is truncated"};
}

const std::string& ObjectModule::nameAt(std::uint16_t index) const {
    static const std::string kEmpty;
    if (index == 0 || index > names.size()) return kEmpty;
    return names[index - 1];
}

bool ObjectModule::hasDosseg() const {
    for (const auto& c : comments)
        if (c.commentClass == 0x9E) return true;
    return false;
}

}  // namespace krvs::omf
