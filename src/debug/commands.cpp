#include "commands.h"

namespace krvs::debug {

const std::vector<CommandEntry>& commandTable() {
    static const std::vector<CommandEntry> table = {
        {'A', cmd::assemble}, {'C', cmd::compare},  {'D', cmd::dump},          {'E', cmd::enter},
        {'F', cmd::fill},     {'G', cmd::go},       {'H', cmd::hexArithmetic}, {'I', cmd::input},
        {'L', cmd::load},     {'M', cmd::move},     {'N', cmd::name},          {'O', cmd::output},
        {'P', cmd::proceed},  {'Q', cmd::quit},     {'R', cmd::registers},     {'S', cmd::search},
        {'T', cmd::trace},    {'U', cmd::unassemble}, {'W', cmd::write},       {'?', cmd::help},
    };
    return table;
}

}  // namespace krvs::debug
