// The BIOS and DOS functions: one row for each function the emulated PC serves (as the PC itself
// lists them), with the entry and exit registers from dos.txt and bios.txt.

#include <set>

#include "doc/manual.h"
#include "html.h"
#include "pc/served.h"
#include "sections.h"

namespace krvs::doc {

namespace {

std::string key(int vector, int function) { return hex2(vector) + "/" + hex2(function); }

struct Vector {
    int number;
    const char* title;
    const char* intro;
};

const Vector kBiosVectors[] = {
    {0x10, "INT 10H 显示", "功能号放在 AH 中。显示缓冲区在 B800:0000，每个字符占两个字节（字符、属性），第 r 行第 c 列的偏移为 (r × 80 + c) × 2。"
                          "属性字节：低 4 位为前景色，4～6 位为背景色，第 7 位为闪烁，例如 1EH 是蓝底黄字。"},
    {0x16, "INT 16H 键盘", "功能号放在 AH 中。键值由 AH（扫描码）和 AL（ASCII 码）组成；功能键、方向键的 AL 为 0。"},
    {0x1A, "INT 1AH 时钟", "功能号放在 AH 中。时钟每秒约 18.2 次计数，日期和时间以 BCD 码表示。"},
};

std::string rows(int vector, const std::vector<pc::ServedFunction>& served, const RecordFile& texts, Gaps& gaps) {
    std::string out;
    for (const pc::ServedFunction& f : served) {
        if (f.vector != vector) continue;
        const Record* r = texts.find(key(f.vector, f.function));
        if (!r) gaps.push_back("served function without text: INT " + key(f.vector, f.function));
        auto text = [&](const char* field) { return r ? escapeProse(r->field(field)) : std::string("（暂无说明）"); };
        out += "<tr id=\"" + serviceAnchor(f.vector, f.function) + "\"><td>" + hex2(f.function) + "H</td><td>" +
               text("名称") + "</td><td>" + text("入口") + "</td><td>" + text("出口") + "</td></tr>\n";
    }
    return "<table class=\"services\">\n<tr><th>AH</th><th>功能</th><th>入口参数</th><th>出口参数与说明</th></tr>\n" + out +
           "</table>\n";
}

// A text for a function the PC does not serve would promise what the program cannot do.
void checkStale(const RecordFile& texts, const std::vector<pc::ServedFunction>& served, Gaps& gaps) {
    std::set<std::string> keys;
    for (const pc::ServedFunction& f : served) keys.insert(key(f.vector, f.function));
    for (const Record& r : texts.records)
        for (const std::string& k : r.keys)
            if (!keys.count(k)) gaps.push_back("text for a function the PC does not serve: INT " + k);
}

}  // namespace

std::string serviceAnchor(int vector, int function) {
    return std::string(vector == 0x21 ? "dos-" : "bios-") + hex2(vector) + "-" + hex2(function);
}

std::string serviceSections(const RecordFile& dos, const RecordFile& bios, Gaps& gaps) {
    std::vector<pc::ServedFunction> served = pc::servedFunctions();
    checkStale(dos, served, gaps);
    checkStale(bios, served, gaps);
    std::string dosBody =
        "<p>把功能号放在 AH 中，再执行 <code>INT 21H</code>。文件、目录和内存管理功能（39H 起）出错时进位标志 CF 置 1，"
        "AX 为错误码（2 文件不存在，3 路径不存在，4 打开的文件太多，5 拒绝访问，6 句柄无效，8 内存不足）；成功时 CF 为 0。"
        "程序只能访问驱动器 C:，它就是程序所在的目录，不能到达目录之外。下表列出模拟 PC 提供的全部功能；"
        "表中没有的功能会使 CF 置 1（较早的功能还把 AL 置为 FFH）。</p>\n" +
        rows(0x21, served, dos, gaps);
    std::string biosBody;
    for (const Vector& v : kBiosVectors)
        biosBody += "<h3 id=\"bios-" + hex2(v.number) + "\">" + v.title + "</h3>\n<p>" + v.intro + "</p>\n" +
                    rows(v.number, served, bios, gaps);
    return section("dos", "DOS 功能调用（INT 21H）", dosBody) + section("bios", "BIOS 调用（INT 10H、16H、1AH）", biosBody);
}

}  // namespace krvs::doc
