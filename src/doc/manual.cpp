#include "doc/manual.h"

#include <fstream>
#include <sstream>

#include "html.h"
#include "sections.h"

namespace krvs::doc {

namespace {

const std::vector<std::string> kInstructionFields = {"名称", "类别", "标志", "说明", "示例"};
const std::vector<std::string> kServiceFields = {"名称", "入口", "出口"};
const std::vector<std::string> kEntryFields = {"名称", "格式", "说明", "示例"};

struct Texts {
    RecordFile instructions, dos, bios, directives, operators, debug;
    std::string start, menus, settings, basics, faq, updates, author;
    std::vector<std::string> errors;
};

std::string readText(const std::filesystem::path& path, std::vector<std::string>& errors) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        errors.push_back(path.string() + ": cannot be read");
        return {};
    }
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

RecordFile readRecords(const std::filesystem::path& dir, const char* name, const std::vector<std::string>& fields,
                       std::vector<std::string>& errors) {
    RecordFile file = parseRecords(readText(dir / name, errors), name, fields);
    errors.insert(errors.end(), file.errors.begin(), file.errors.end());
    return file;
}

Texts readTexts(const std::filesystem::path& dir) {
    Texts t;
    t.instructions = readRecords(dir, "instructions.txt", kInstructionFields, t.errors);
    t.dos = readRecords(dir, "dos.txt", kServiceFields, t.errors);
    t.bios = readRecords(dir, "bios.txt", kServiceFields, t.errors);
    t.directives = readRecords(dir, "directives.txt", kEntryFields, t.errors);
    t.operators = readRecords(dir, "operators.txt", kEntryFields, t.errors);
    t.debug = readRecords(dir, "debug.txt", kEntryFields, t.errors);
    t.start = readText(dir / "start.html", t.errors);
    t.menus = readText(dir / "menus.html", t.errors);
    t.settings = readText(dir / "settings.html", t.errors);
    t.basics = readText(dir / "basics.html", t.errors);
    t.faq = readText(dir / "faq.html", t.errors);
    t.updates = readText(dir / "updates.html", t.errors);
    t.author = readText(dir / "author.html", t.errors);
    return t;
}

struct TocEntry {
    const char* id;
    const char* title;
};

const TocEntry kToc[] = {
    {"start", "快速开始"},
    {"menus", "菜单与快捷键"},
    {"settings", "环境设置"},
    {"basics", "寄存器、标志与寻址方式"},
    {"instructions", "指令参考（8086/80186/80286）"},
    {"dos", "DOS 功能调用（INT 21H）"},
    {"bios", "BIOS 调用（INT 10H、16H、1AH）"},
    {"directives", "伪指令与运算符"},
    {"messages", "汇编和链接信息"},
    {"debug", "DEBUG 命令"},
    {"faq", "常见问题"},
    {"updates", "最近更新"},
    {"author", "关于作者"},
};

const char* const kStyle =
    "body { font-family: \"Noto Sans CJK SC\", \"宋体\", sans-serif; max-width: 60em; margin: 1em auto; padding: 0 1em; line-height: 1.6; }\n"
    "code, pre { font-family: \"Noto Sans Mono CJK SC\", \"Courier New\", monospace; }\n"
    "pre { background: #f4f4f4; padding: 0.6em; border-left: 3px solid #888; overflow-x: auto; }\n"
    "table { border-collapse: collapse; margin: 0.5em 0; }\n"
    "th, td { border: 1px solid #aaa; padding: 0.2em 0.6em; vertical-align: top; }\n"
    "th { background: #eee; }\n"
    "h2 { border-bottom: 1px solid #ccc; margin-top: 2em; }\n"
    "h3.category { background: #e8eef8; padding: 0.2em 0.4em; }\n"
    ".entry { border-top: 1px dotted #ccc; margin-top: 1em; }\n"
    ".flags { color: #444; }\n"
    ".top { text-align: right; font-size: small; }\n"
    ".index a { margin-right: 0.3em; }\n";

std::string toc() {
    std::string out = "<nav id=\"toc\">\n<h2>目录</h2>\n<ol>\n";
    for (const TocEntry& e : kToc) out += "<li><a href=\"#" + std::string(e.id) + "\">" + e.title + "</a></li>\n";
    return out + "</ol>\n</nav>\n";
}

std::string body(const Texts& t, Gaps& gaps) {
    std::string out;
    out += section("start", kToc[0].title, t.start);
    out += section("menus", kToc[1].title, t.menus);
    out += section("settings", kToc[2].title, t.settings);
    out += section("basics", kToc[3].title, t.basics);
    out += section("instructions", kToc[4].title, instructionSection(t.instructions, gaps));
    out += serviceSections(t.dos, t.bios, gaps);
    out += section("directives", kToc[7].title,
                   "<h3 id=\"directive-list\">伪指令</h3>\n" + recordEntries(t.directives, "dir-") +
                       "<h3 id=\"operator-list\">运算符</h3>\n" + recordEntries(t.operators, "op-"));
    out += section("messages", kToc[8].title, messageSection());
    out += section("debug", kToc[9].title, recordEntries(t.debug, "debug-"));
    out += section("faq", kToc[10].title, t.faq);
    out += section("updates", kToc[11].title, t.updates);
    out += section("author", kToc[12].title, t.author);
    return out;
}

}  // namespace

ManualBuild buildManual(const std::filesystem::path& textsDir) {
    ManualBuild out;
    Texts texts = readTexts(textsDir);
    out.errors = texts.errors;
    std::string content = body(texts, out.missing);
    out.html = "<!DOCTYPE html>\n<html lang=\"zh-CN\">\n<head>\n<meta charset=\"utf-8\">\n<title>Korvash 帮助</title>\n<style>\n" +
               std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Korvash 帮助</h1>\n" +
               "<p>Korvash 是为学习 16 位 DOS 汇编语言而设计的集成开发环境：编辑器按列自动整理程序格式并用颜色显示关键字，"
               "一键汇编、链接，在控制台窗口中运行程序，并可在环境内单步调试，查看寄存器、标志和内存。"
               "环境自带汇编器 <code>TASM.Exe</code>、链接器 <code>TLink.Exe</code>、<code>DEBUG.EXE</code>、命令解释器 "
               "<code>krvscmd</code> 和一台模拟的 PC（8086/80186/80286 CPU、BIOS、DOS、文本屏幕），它们都在程序目录下的 "
               "<code>Bin</code> 目录中。</p>\n" +
               toc() + content + "</body>\n</html>\n";
    return out;
}

}  // namespace krvs::doc
