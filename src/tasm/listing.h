#pragma once
#include <string>

namespace krvs::tasm {

// Replaces blank runs by TABs wherever a run reaches a multiple-of-8 column; trailing blanks go.
std::string entab(const std::string& line);

}  // namespace krvs::tasm
