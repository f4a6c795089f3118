#pragma once
// What each flag of DEBUG's flags field means, in Chinese, and why it changed in the last step.
#include <string>
#include <vector>

namespace krvs::ide {

struct FlagView {
  std::string text;     // the two letters DEBUG shows, "ZR"
  bool changed = false;
  std::string tooltip;  // UTF-8
};

// The eight flags of `flags` (23 characters), compared with `previous` (empty: nothing to compare);
// `executed` is the instruction of the last step.
std::vector<FlagView> describeFlags(const std::string& flags, const std::string& previous,
                                    const std::string& executed);

// A register's tooltip when it changed: old and new value and the instruction that changed it.
std::string registerChangeText(const std::string& name, const std::string& before, const std::string& after,
                               const std::string& executed);

}  // namespace krvs::ide
