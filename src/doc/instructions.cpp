// The instruction reference: every mnemonic of the x86 table with the forms the table gives it;
// the description, the flags and the example come from instructions.txt.

#include <algorithm>
#include <set>

#include "doc/manual.h"
#include "html.h"
#include "sections.h"
#include "x86/table.h"

namespace krvs::doc {

namespace {

using x86::Enc;
using x86::Form;
using x86::OpClass;

// The order the categories are shown in; a text names its own in the field 类别.
const char* const kCategories[] = {"数据传送", "算术运算", "逻辑运算与移位", "串操作", "控制转移",
                                   "处理器控制", "前缀", "80186 新增", "80286 系统指令"};

std::string operandName(OpClass c) {
    switch (c) {
    case OpClass::None: return "";
    case OpClass::Al: return "AL";
    case OpClass::Ax: return "AX";
    case OpClass::Cl: return "CL";
    case OpClass::Dx: return "DX";
    case OpClass::Cs: return "CS";
    case OpClass::R8: return "r8";
    case OpClass::R16: return "r16";
    case OpClass::Sreg: return "sreg";
    case OpClass::SregW: return "sreg(非CS)";
    case OpClass::Rm8: return "r/m8";
    case OpClass::Rm16: return "r/m16";
    case OpClass::Mem: return "m";
    case OpClass::M32: return "m32";
    case OpClass::MFar: return "m32(远)";
    case OpClass::Moffs8: return "[addr]8";
    case OpClass::Moffs16: return "[addr]16";
    case OpClass::Imm8: return "imm8";
    case OpClass::Imm16: return "imm16";
    case OpClass::Imm8s: return "imm8(符号扩展)";
    case OpClass::One: return "1";
    case OpClass::Three: return "3";
    case OpClass::Rel8: return "短标号";
    case OpClass::Rel16: return "近标号";
    case OpClass::FarPtr: return "远标号";
    case OpClass::StrSrc8: return "源串8";
    case OpClass::StrSrc16: return "源串16";
    case OpClass::StrDst8: return "目的串8";
    case OpClass::StrDst16: return "目的串16";
    case OpClass::XlatTable: return "表";
    case OpClass::EscCode: return "code";
    case OpClass::RmAny: return "r/m";
    }
    return "?";
}

std::string formText(const Form& f) {
    std::string out(f.mnemonic);
    for (int i = 0; i < f.operandCount(); ++i) out += (i == 0 ? " " : ", ") + operandName(f.ops[i]);
    return out;
}

// The immediate bytes that follow, in the usual shorthand.
std::string immediateSuffix(const Form& f) {
    std::string out;
    for (int i = 0; i < f.operandCount(); ++i) {
        switch (f.ops[i]) {
        case OpClass::Imm8: case OpClass::Imm8s: out += " ib"; break;
        case OpClass::Imm16: out += " iw"; break;
        case OpClass::Rel8: out += " cb"; break;
        case OpClass::Rel16: out += " cw"; break;
        case OpClass::FarPtr: out += " cd"; break;
        case OpClass::Moffs8: case OpClass::Moffs16: out += " aw"; break;
        default: break;
        }
    }
    return out;
}

std::string encoding(const Form& f) {
    std::string op = f.twoByteOpcode() ? "0F " + hex2(f.opcode & 0xFF) : hex2(f.opcode);
    switch (f.enc) {
    case Enc::Plain: break;
    case Enc::ModRm: op += " /r"; break;
    case Enc::Digit: op += " /"; op += std::to_string(f.digit); break;
    case Enc::PlusReg: op += "+r"; break;
    case Enc::Suffix: op += ' '; op += hex2(f.digit); break;
    case Enc::Esc: op = hex2(f.opcode) + "-" + hex2(f.opcode + 7) + " /r"; break;
    case Enc::SregIn: {
        x86::OpcodeBytes bytes = x86::opcodeBytes(f);
        op.clear();
        for (int i = 0; i < bytes.count; ++i) {
            if (i) op += '/';
            op += hex2(bytes.byte[i]);
        }
        break;
    }
    }
    return op + immediateSuffix(f);
}

std::string cpuName(const Form& f) {
    if (f.has(x86::formflag::kOnly8086)) return "仅 8086";
    switch (f.cpu) {
    case x86::CpuModel::I8086: return "8086";
    case x86::CpuModel::I80186: return "80186 起";
    case x86::CpuModel::I80286: return "80286 起";
    }
    return "?";
}

std::string formsTable(const Record& r) {
    std::string rows;
    for (const std::string& key : r.keys) {
        for (const Form* f : x86::formsFor(key)) {
            if (f->has(x86::formflag::kDecodeOnly)) continue;
            rows += "<tr><td><code>" + escape(formText(*f)) + "</code></td><td><code>" + escape(encoding(*f)) +
                    "</code></td><td>" + cpuName(*f) + "</td></tr>\n";
        }
    }
    if (rows.empty()) return "";
    return "<table class=\"forms\">\n<tr><th>写法</th><th>编码</th><th>处理器</th></tr>\n" + rows + "</table>\n";
}

std::string entry(const Record& r) {
    std::string out = "<div class=\"entry\" id=\"" + instructionAnchor(r.keys[0]) + "\">\n";
    for (std::size_t i = 1; i < r.keys.size(); ++i) out += "<a id=\"" + instructionAnchor(r.keys[i]) + "\"></a>\n";
    std::string names;
    for (const std::string& key : r.keys) names += (names.empty() ? "" : " / ") + escape(key);
    out += "<h3>" + names + " — " + escape(r.field("名称")) + "</h3>\n";
    out += "<p class=\"flags\">影响的标志：" + escape(r.field("标志")) + "</p>\n";
    out += "<p>" + escapeProse(r.field("说明")) + "</p>\n";
    out += formsTable(r);
    if (!r.field("示例").empty()) out += "<pre>" + escape(r.field("示例")) + "</pre>\n";
    return out + "</div>\n";
}

// Every mnemonic the table lets a program write, in table order.
std::vector<std::string> tableMnemonics() {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const Form& f : x86::instructionTable()) {
        if (f.has(x86::formflag::kHidden)) continue;
        if (seen.insert(std::string(f.mnemonic)).second) out.emplace_back(f.mnemonic);
    }
    return out;
}

void checkCoverage(const RecordFile& texts, Gaps& gaps) {
    std::vector<std::string> mnemonics = tableMnemonics();
    for (const std::string& m : mnemonics)
        if (!texts.find(m)) gaps.push_back("instruction without text: " + m);
    for (const Record& r : texts.records) {
        for (const std::string& key : r.keys)
            if (std::find(mnemonics.begin(), mnemonics.end(), key) == mnemonics.end())
                gaps.push_back("text for an instruction the table does not have: " + key);
        for (const char* field : {"名称", "标志", "说明", "示例", "类别"})
            if (r.field(field).empty()) gaps.push_back("instruction " + r.keys[0] + " has no " + field);
        if (std::find(std::begin(kCategories), std::end(kCategories), r.field("类别")) == std::end(kCategories))
            gaps.push_back("instruction " + r.keys[0] + " has an unknown category " + r.field("类别"));
    }
}

const char* const kLegend =
    "<table class=\"legend\">\n"
    "<tr><th>记号</th><th>含义</th></tr>\n"
    "<tr><td><code>r8</code> / <code>r16</code></td><td>8 位寄存器（AL…BH）/ 16 位通用寄存器（AX…DI）</td></tr>\n"
    "<tr><td><code>r/m8</code> / <code>r/m16</code></td><td>寄存器或内存操作数，字节 / 字</td></tr>\n"
    "<tr><td><code>m</code>、<code>m32</code></td><td>内存操作数；m32 为双字（段:偏移）</td></tr>\n"
    "<tr><td><code>sreg</code></td><td>段寄存器 ES、CS、SS、DS</td></tr>\n"
    "<tr><td><code>imm8</code> / <code>imm16</code></td><td>立即数（常数），字节 / 字</td></tr>\n"
    "<tr><td><code>[addr]8</code> / <code>[addr]16</code></td><td>直接地址的变量（与 AL/AX 配合的短编码）</td></tr>\n"
    "<tr><td>短标号 / 近标号 / 远标号</td><td>转移目标：前后 128 字节内 / 同一段内 / 另一段（段:偏移）</td></tr>\n"
    "<tr><td>源串 / 目的串</td><td>串指令的操作数：DS:[SI]（可换段）/ ES:[DI]</td></tr>\n"
    "<tr><td>编码 <code>/r</code>、<code>/n</code>、<code>+r</code></td><td>ModR/M 字节含寄存器 / reg 字段固定为 n / 寄存器号加在操作码上；"
    "<code>ib iw</code> 立即数字节/字，<code>cb cw cd</code> 相对或远地址，<code>aw</code> 直接地址</td></tr>\n"
    "</table>\n";

}  // namespace

std::string instructionAnchor(std::string_view mnemonic) { return "i-" + anchorTail(mnemonic); }

std::string instructionSection(const RecordFile& texts, Gaps& gaps) {
    checkCoverage(texts, gaps);
    std::string index = "<div class=\"index\">\n";
    std::string body;
    for (const char* category : kCategories) {
        std::string links;
        std::string entries;
        for (const Record& r : texts.records) {
            if (r.field("类别") != category) continue;
            for (const std::string& key : r.keys)
                links += "<a href=\"#" + instructionAnchor(key) + "\">" + escape(key) + "</a> ";
            entries += entry(r);
        }
        if (entries.empty()) continue;
        index += "<p><b>" + std::string(category) + "</b>：" + links + "</p>\n";
        body += "<h3 class=\"category\">" + std::string(category) + "</h3>\n" + entries;
    }
    index += "</div>\n";
    return "<p>下面是 8086、80186 和 80286（实模式）的全部指令。“写法”和“编码”两列由汇编器、反汇编器和模拟 CPU 共用的指令表生成，"
           "与程序实际接受的写法一致。在程序开头写 <code>.186</code> 或 <code>.286</code> 后才能使用后两种处理器新增的指令。"
           "模拟 PC 的 CPU 默认是 80186：80286 的系统指令在它上面产生 6 号中断（无效操作码）。</p>\n" +
           std::string(kLegend) + index + body;
}

}  // namespace krvs::doc
