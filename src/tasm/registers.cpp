#include "registers.h"

#include <array>
#include <iterator>

#include "lexer.h"

namespace krvs::tasm {

namespace {
struct RegRow {
    const char* name;
    RegClass cls;
    int num;
};
constexpr RegRow kRegs[] = {
    {"AL", RegClass::R8, 0},  {"CL", RegClass::R8, 1},  {"DL", RegClass::R8, 2},  {"BL", RegClass::R8, 3},
    {"AH", RegClass::R8, 4},  {"CH", RegClass::R8, 5},  {"DH", RegClass::R8, 6},  {"BH", RegClass::R8, 7},
    {"AX", RegClass::R16, 0}, {"CX", RegClass::R16, 1}, {"DX", RegClass::R16, 2}, {"BX", RegClass::R16, 3},
    {"SP", RegClass::R16, 4}, {"BP", RegClass::R16, 5}, {"SI", RegClass::R16, 6}, {"DI", RegClass::R16, 7},
    {"ES", RegClass::Seg, 0}, {"CS", RegClass::Seg, 1}, {"SS", RegClass::Seg, 2}, {"DS", RegClass::Seg, 3},
};
}  // namespace

std::span<const std::string_view> registerNames() {
    static const auto kNames = [] {
        std::array<std::string_view, std::size(kRegs)> names{};
        for (size_t i = 0; i < names.size(); ++i) names[i] = kRegs[i].name;
        return names;
    }();
    return kNames;
}

RegInfo registerByName(std::string_view name) {
    if (name.size() != 2) return {};
    char a = upperChar(name[0]), b = upperChar(name[1]);
    static constexpr char kFirst[] = "ACDB";  // row order of AL CL DL BL / AH ... / AX ...
    int row = -1;
    for (int i = 0; i < 4; ++i)
        if (kFirst[i] == a) row = i;
    if (row >= 0 && b == 'L') return {RegClass::R8, row};
    if (row >= 0 && b == 'H') return {RegClass::R8, row + 4};
    if (row >= 0 && b == 'X') return {RegClass::R16, row};
    for (const RegRow& r : kRegs)
        if (r.name[0] == a && r.name[1] == b) return {r.cls, r.num};
    return {};
}

}  // namespace krvs::tasm
