#pragma once
// Readable, stable names for the cases of a parameterised test: ctest shows them instead of the
// bytes of the case's struct (which hold pointers and change with every build).

#include <cctype>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace krvs::tasm::test {

// "07_mov_ax_bx": the case's number (which keeps names unique) and its text, where every run of
// characters that is no letter or digit becomes one underscore.
inline std::string caseName(std::size_t index, std::string_view text) {
    std::string name = index < 10 ? "0" : "";
    name += std::to_string(index);
    name += "_";
    for (char c : text.substr(0, 40)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        else if (name.back() != '_') name += '_';
    }
    if (name.back() == '_') name.pop_back();
    return name;
}

// The generator for INSTANTIATE_TEST_SUITE_P, for parameters whose first field is the text under test.
struct CaseNamer {
    template <class Info>
    std::string operator()(const Info& info) const {
        return caseName(info.index, textOf(info.param));
    }
};

}  // namespace krvs::tasm::test
