// The records of resources/manual: a malformed file is an error with its line, never a silently
// dropped text.

#include <gtest/gtest.h>

#include "doc/records.h"

namespace krvs::doc {
namespace {

const std::vector<std::string> kFields = {"名称", "说明", "示例"};

TEST(Records, ReadKeysFieldsAndContinuations) {
    RecordFile f = parseRecords("# comment\n"
                                "== JZ JE\n"
                                "名称: 为零则转移\n"
                                "示例: CMP AL, 0\n"
                                "  start:  JE DONE\n"
                                "\n"
                                "== 21/09\r\n"
                                "说明: a: b\r\n",
                                "t.txt", kFields);
    EXPECT_TRUE(f.errors.empty());
    ASSERT_EQ(f.records.size(), 2u);
    EXPECT_EQ(f.records[0].keys, (std::vector<std::string>{"JZ", "JE"}));
    EXPECT_EQ(f.records[0].field("名称"), "为零则转移");
    // The continuation keeps its own indent after the two blanks that mark it.
    EXPECT_EQ(f.records[0].field("示例"), "CMP AL, 0\nstart:  JE DONE");
    EXPECT_EQ(f.records[1].field("说明"), "a: b");
    EXPECT_EQ(f.records[1].line, 7);
    EXPECT_EQ(f.find("JE"), &f.records[0]);
    EXPECT_EQ(f.find("JNE"), nullptr);
    EXPECT_EQ(f.records[0].field("说明"), "");
}

TEST(Records, MalformedLinesAreErrorsWithTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"名称: x\n", "t.txt(1): a field before the first record"},
        {"== A\n颜色: x\n", "t.txt(2): unknown field 颜色"},
        {"== A\n名称 x\n", "t.txt(2): a line that is neither"},
        {"== A\n名称: x\n名称: y\n", "t.txt(3): the field 名称 twice"},
        {"== A B\n== C A\n", "t.txt(2): the key A names two records"},
        {"==\n", "t.txt(1): a record needs a key"},
        {"== A\n  orphan\n", "t.txt(2): a continuation line without a field"},
        {"名称：x\n", "t.txt(1): a field before the first record"},
    };
    for (const Case& c : cases) {
        RecordFile f = parseRecords(c.text, "t.txt", kFields);
        ASSERT_FALSE(f.errors.empty()) << c.text;
        EXPECT_EQ(f.errors[0].rfind(c.error, 0), 0u) << f.errors[0];
    }
}

}  // namespace
}  // namespace krvs::doc
