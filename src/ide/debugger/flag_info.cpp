#include "debugger/flag_info.h"

namespace krvs::ide {

namespace {

struct FlagDesc {
  const char* set;
  const char* clear;
  const char* name;
  const char* meaning;
  const char* whenSet;
  const char* whenClear;
};

// In the order of DEBUG's flags field.
const FlagDesc kFlags[] = {
    {"OV", "NV", "OF 溢出标志", "有符号数运算的结果超出了范围时为1。", "结果发生了有符号溢出", "结果没有发生有符号溢出"},
    {"DN", "UP", "DF 方向标志", "串操作指令的方向：为1时地址递减，为0时地址递增。", "由STD指令置为递减", "由CLD指令置为递增"},
    {"EI", "DI", "IF 中断标志", "为1时CPU响应可屏蔽中断。", "允许中断（STI）", "禁止中断（CLI或进入中断）"},
    {"NG", "PL", "SF 符号标志", "结果的最高位，为1表示结果是负数。", "结果的最高位为1（负数）", "结果的最高位为0（非负数）"},
    {"ZR", "NZ", "ZF 零标志", "结果为零时为1。", "结果为零", "结果不为零"},
    {"AC", "NA", "AF 辅助进位标志", "低4位向高4位有进位或借位时为1，用于BCD运算。", "低4位产生了进位或借位",
     "低4位没有进位或借位"},
    {"PE", "PO", "PF 奇偶标志", "结果低8位中1的个数为偶数时为1。", "结果低8位中1的个数为偶数", "结果低8位中1的个数为奇数"},
    {"CY", "NC", "CF 进位标志", "无符号数运算的最高位有进位或借位时为1。", "最高位产生了进位或借位", "最高位没有进位或借位"},
};

std::string field(const std::string& flags, int i) {
  std::size_t at = std::size_t(i) * 3;
  return flags.size() >= at + 2 ? flags.substr(at, 2) : std::string();
}

}  // namespace

std::vector<FlagView> describeFlags(const std::string& flags, const std::string& previous,
                                    const std::string& executed) {
  std::vector<FlagView> out;
  for (int i = 0; i < 8; ++i) {
    const FlagDesc& d = kFlags[i];
    FlagView v;
    v.text = field(flags, i);
    std::string before = field(previous, i);
    bool isSet = v.text == d.set;
    v.tooltip = std::string(d.name) + "（" + d.set + "=1，" + d.clear + "=0）：" + d.meaning + "\n当前：" + v.text +
                "，" + (isSet ? d.whenSet : d.whenClear) + "。";
    v.changed = !before.empty() && before != v.text;
    if (v.changed) {
      v.tooltip += "\n上一步由 " + before + " 变为 " + v.text;
      if (!executed.empty()) v.tooltip += "，因为执行了指令 " + executed;
      v.tooltip += "。";
    }
    out.push_back(v);
  }
  return out;
}

std::string registerChangeText(const std::string& name, const std::string& before, const std::string& after,
                               const std::string& executed) {
  std::string text = name + " 由 " + before + " 变为 " + after;
  if (!executed.empty()) text += "（执行了指令 " + executed + "）";
  return text;
}

}  // namespace krvs::ide
