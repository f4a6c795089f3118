#pragma once
#include <span>
#include <string_view>

#include "value.h"

namespace krvs::tasm {

struct RegInfo {
    RegClass cls = RegClass::None;
    int num = -1;
};

// AL..BH, AX..DI, ES CS SS DS; cls None when the word is no register.
RegInfo registerByName(std::string_view name);

// Every register's name, upper case.
std::span<const std::string_view> registerNames();

}  // namespace krvs::tasm
