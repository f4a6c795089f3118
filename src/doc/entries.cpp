// The message list (from the table the IDE's error list uses too) and the parts written entirely
// by hand as records: directives and operators, DEBUG's commands.

#include "doc/manual.h"
#include "doc/messages.h"
#include "html.h"
#include "sections.h"

namespace krvs::doc {

namespace {

std::string messageRows(MessageTool tool) {
    std::string out = "<table class=\"messages\">\n<tr><th>信息</th><th>含义与改正方法</th></tr>\n";
    for (const MessageText& m : messageTable()) {
        if (m.tool != tool) continue;
        out += "<tr id=\"" + messageAnchor(m.message) + "\"><td><code>" + escape(m.message) + "</code></td><td>" +
               escape(m.help) + "</td></tr>\n";
    }
    return out + "</table>\n";
}

std::string lowerSlug(std::string_view text) {
    std::string out;
    for (char c : text) {
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum) out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        else if (!out.empty() && out.back() != '-') out += '-';
    }
    while (!out.empty() && out.back() == '-') out.pop_back();
    return out;
}

}  // namespace

std::string anchorTail(std::string_view key) {
    std::string out;
    for (char c : key) {
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alnum) {
            out += c;
        } else {
            out += '_';
            out += hex2(static_cast<unsigned char>(c));
        }
    }
    return out;
}

// The tool is part of the name: the assembler's "Undefined symbol:" and the linker's "Undefined
// symbol" are two entries.
std::string messageAnchor(std::string_view message) {
    const MessageText* m = findMessage(message);
    std::string tool = m && m->tool == MessageTool::Linker ? "l-" : "a-";
    return "msg-" + tool + lowerSlug(message);
}

std::string messageSection() {
    return "<p>编译或生成后，下方“编译输出”页的第一行是结论（如“编译成功！”“链接失败!”），其后是汇编器和链接器的信息。"
           "“错误:第12行”表示第 12 行有错误；单击这一行，编辑器会跳到该行并用红底白字标出，鼠标停在信息上或选中它时显示下面的说明。"
           "信息本身保持工具输出的英文原文，冒号后面通常是出错的名字。</p>\n"
           "<h3 id=\"msg-assembler\">汇编器 TASM 的信息</h3>\n" +
           messageRows(MessageTool::Assembler) + "<h3 id=\"msg-linker\">链接器 TLink 的信息</h3>\n" +
           messageRows(MessageTool::Linker);
}

std::string recordEntries(const RecordFile& texts, const std::string& anchorPrefix) {
    std::string out = "<p class=\"index\">";
    for (const Record& r : texts.records)
        for (const std::string& key : r.keys)
            out += "<a href=\"#" + anchorPrefix + anchorTail(key) + "\">" + escape(key) + "</a> ";
    out += "</p>\n";
    for (const Record& r : texts.records) {
        out += "<div class=\"entry\" id=\"" + anchorPrefix + anchorTail(r.keys[0]) + "\">\n";
        std::string names;
        for (std::size_t i = 0; i < r.keys.size(); ++i) {
            if (i > 0) out += "<a id=\"" + anchorPrefix + anchorTail(r.keys[i]) + "\"></a>\n";
            names += (i ? " / " : "") + escape(r.keys[i]);
        }
        out += "<h3>" + names + (r.field("名称").empty() ? "" : " — " + escape(r.field("名称"))) + "</h3>\n";
        if (!r.field("格式").empty()) out += "<p class=\"syntax\"><code>" + escapeLines(r.field("格式")) + "</code></p>\n";
        out += "<p>" + escapeProse(r.field("说明")) + "</p>\n";
        if (!r.field("示例").empty()) out += "<pre>" + escape(r.field("示例")) + "</pre>\n";
        out += "</div>\n";
    }
    return out;
}

}  // namespace krvs::doc
