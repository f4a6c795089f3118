// Warnings, errors and fatal conditions: exact texts, and no program after an error.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "helpers.h"

namespace krvs::tlink::test {
namespace {

using omf::Align;
using omf::Combine;
using omf::FrameMethod;
using omf::Location;
using omf::TargetMethod;

// One code segment (with a stack unless told otherwise) and a fixup at offset 0 of the code.
omf::ObjectWriter single(const std::string& name, std::vector<omf::Fixup> fixups, bool stack = true, bool start = true,
                         std::uint32_t codeLength = 0x20) {
    omf::ObjectWriter w(name);
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, codeLength});
    if (stack) w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x10});
    Bytes bytes(std::min<std::uint32_t>(codeLength, 0x20), 0);
    w.addData(code, 0, bytes, std::move(fixups));
    if (start) w.setStart(ref(FrameMethod::Segment, code, TargetMethod::Segment, code));
    return w;
}

struct MessageCase {
    const char* name;
    std::function<std::vector<LinkInput>()> inputs;
    std::vector<std::string> expected;
    bool ok;
};

std::ostream& operator<<(std::ostream& os, const MessageCase& c) { return os << c.name; }

class LinkMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(LinkMessages, ExactTexts) {
    LinkResult r = link(GetParam().inputs(), {});
    EXPECT_EQ(texts(r), GetParam().expected);
    EXPECT_EQ(r.ok, GetParam().ok);
    EXPECT_EQ(r.program.empty(), !GetParam().ok);
}

std::vector<LinkInput> undefinedTwice() {
    omf::ObjectWriter w("hello.asm");
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, 4});
    w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x10});
    auto ext = w.addExternal("PRINTSTR");
    Bytes bytes(4, 0);
    auto fx = [&](std::uint32_t at) { return omf::Fixup{at, Location::Offset16, true, ref(FrameMethod::Target, 0, TargetMethod::External, ext)}; };
    w.addData(code, 0, bytes, {fx(0), fx(2)});
    w.setStart(ref(FrameMethod::Segment, code, TargetMethod::Segment, code));
    return {input("hello.obj", w)};
}

std::vector<LinkInput> duplicate() {
    auto a = single("a.asm", {});
    a.addPublic("TWICE", 1, 0);
    auto b = single("b.asm", {}, false, false);
    b.addPublic("TWICE", 1, 4);
    return {input("a.obj", a), input("b.obj", b)};
}

std::vector<LinkInput> shortJumpTooFar() {
    auto w = single("j.asm", {{0x10, Location::LowByte, false, ref(FrameMethod::Location, 0, TargetMethod::Segment, 1, 0x300)}},
                    true, true, 0x400);
    return {input("j.obj", w)};
}

std::vector<LinkInput> nearCallOtherFrame() {
    omf::ObjectWriter w("n.asm");
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, 4});
    auto far = w.addSegment({"FARSEG", "CODE", "", Align::Para, Combine::Private, 0x10});
    w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x10});
    Bytes bytes(4, 0);
    w.addData(code, 0, bytes, {{1, Location::Offset16, false, ref(FrameMethod::Target, 0, TargetMethod::Segment, far)}});
    w.setStart(ref(FrameMethod::Segment, code, TargetMethod::Segment, code));
    return {input("n.obj", w)};
}

std::vector<LinkInput> hugeSegment() {
    omf::ObjectWriter w("big.asm");
    auto code = w.addSegment({"BIG", "CODE", "", Align::Para, Combine::Public, 70000});
    Bytes bytes(16, 0x90);
    w.addData(code, 69000, bytes);
    w.setStart(ref(FrameMethod::Segment, code, TargetMethod::Segment, code));
    return {input("big.obj", w)};
}

// A 32-bit SEGDEF with the big bit claims 4 GB, placed after another segment so that its end wraps
// around 32 bits; data far beyond 64K must not reach the image.
std::vector<LinkInput> fourGigabyteSegment() {
    Bytes b;
    omf::RecordBuilder(omf::kTheadr).name("h.asm").appendTo(b);
    omf::RecordBuilder(omf::kLnames).name("").name("HUGE").name("FIRST").appendTo(b);
    omf::RecordBuilder(omf::kSegdef).byte(0x68).word(0x10).index(3).index(1).index(1).appendTo(b);
    omf::RecordBuilder(omf::kSegdef32).byte(0x6A).dword(0).index(2).index(1).index(1).appendTo(b);
    omf::RecordBuilder(omf::kLedata32).index(2).dword(0x100000).dword(0x90909090).appendTo(b);
    omf::RecordBuilder(omf::kModend).byte(0).appendTo(b);
    return {LinkInput{"h.obj", b}};
}

std::vector<LinkInput> hugeGroup() {
    omf::ObjectWriter w("g.asm");
    auto a = w.addSegment({"D1", "DATA", "", Align::Para, Combine::Public, 0x9000});
    auto b = w.addSegment({"D2", "DATA", "", Align::Para, Combine::Public, 0x9000});
    w.addSegment({"STACK", "STACK", "", Align::Para, Combine::Stack, 0x10});
    w.addGroup("DGROUP", {a, b});
    w.setStart(ref(FrameMethod::Segment, a, TargetMethod::Segment, a));
    return {input("g.obj", w)};
}

std::vector<LinkInput> dataBeyondSegment() {
    omf::ObjectWriter w("d.asm");
    auto code = w.addSegment({"_TEXT", "CODE", "", Align::Para, Combine::Public, 8});
    Bytes bytes(4, 0);
    w.addData(code, 6, bytes);
    return {input("d.obj", w)};
}

std::vector<LinkInput> corrupt() {
    Bytes b = single("c.asm", {}).build();
    b[b.size() - 1] ^= 1;
    return {LinkInput{"c.obj", b}};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkMessages,
    ::testing::Values(
        MessageCase{"NoStack", [] { return std::vector<LinkInput>{input("a.obj", single("a.asm", {}, false))}; },
                    {"Warning: No stack"}, true},
        MessageCase{"NoStartAddress", [] { return std::vector<LinkInput>{input("a.obj", single("a.asm", {}, true, false))}; },
                    {"Warning: No program starting address defined"}, true},
        MessageCase{"UndefinedOncePerModule", undefinedTwice, {"Error: Undefined symbol PRINTSTR in module hello.asm"}, false},
        MessageCase{"Duplicate", duplicate, {"Error: TWICE defined in module a.asm is duplicated in module b.asm"}, false},
        MessageCase{"ShortJumpTooFar", shortJumpTooFar, {"Error: Fixup overflow at _TEXT:0010, target = _TEXT in module j.asm"}, false},
        MessageCase{"NearCallToOtherFrame", nearCallOtherFrame, {"Error: Fixup overflow at _TEXT:0001, target = FARSEG in module n.asm"}, false},
        // A bare frame number has no name of its own: the message gives its value.
        MessageCase{"NearCallToFrameNumber",
                    [] {
                        return std::vector<LinkInput>{input(
                            "f.obj", single("f.asm", {{0x10, Location::Offset16, false,
                                                       ref(FrameMethod::Location, 0, TargetMethod::FrameNumber, 0xB800)}}))};
                    },
                    {"Error: Fixup overflow at _TEXT:0010, target = B800h in module f.asm"}, false},
        MessageCase{"SegmentOver64K", hugeSegment, {"Error: Segment BIG exceeds 64K"}, false},
        MessageCase{"FourGigabyteSegment", fourGigabyteSegment, {"Error: Segment HUGE exceeds 64K"}, false},
        MessageCase{"GroupOver64K", hugeGroup, {"Error: Group DGROUP exceeds 64K"}, false},
        MessageCase{"DataBeyondSegment", dataBeyondSegment, {"Fatal: Bad object file d.obj: data beyond the end of segment _TEXT"}, false},
        MessageCase{"BadChecksum", corrupt, {"Fatal: Bad object file c.obj: bad checksum in record 8Ah at offset 5Bh"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkMessagesTest, CaseMattersOnlyWithSlashC) {
    auto a = single("a.asm", {{0, Location::Offset16, true, ref(FrameMethod::Target, 0, TargetMethod::External, 1)}});
    a.addExternal("Proc");
    auto b = single("b.asm", {}, false, false);
    b.addPublic("PROC", 1, 2);
    std::vector<LinkInput> inputs = {input("a.obj", a), input("b.obj", b)};
    EXPECT_TRUE(link(inputs, {}).ok);
    LinkOptions options;
    options.caseSensitive = true;
    EXPECT_EQ(texts(link(inputs, options)), std::vector<std::string>{"Error: Undefined symbol Proc in module a.asm"});
}

// Random damage to valid objects linked as a program: a result or a message, never a crash.
TEST(LinkMessagesTest, SurvivesMutatedObjects) {
    std::vector<Bytes> seeds = {readBytes(KRVS_TEST_DATA "/tlink/NMAIN.OBJ"), readBytes(KRVS_TEST_DATA "/tlink/NLIB.OBJ")};
    std::mt19937 random(2026);
    int linked = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<LinkInput> inputs = {LinkInput{"nmain.obj", seeds[0]}, LinkInput{"nlib.obj", seeds[1]}};
        Bytes& b = inputs[random() % 2].bytes;
        for (int e = 0, n = 1 + static_cast<int>(random() % 3); e < n; ++e)
            b[random() % b.size()] = static_cast<std::uint8_t>(random());
        // Checksums repaired: the damage reaches the fields and the linker rather than the record splitter.
        std::size_t pos = 0;
        while (pos + 3 <= b.size()) {
            std::size_t length = b[pos + 1] | (b[pos + 2] << 8);
            if (length == 0 || pos + 3 + length > b.size()) break;
            b[pos + 2 + length] = 0;
            pos += 3 + length;
        }
        LinkResult r = link(inputs, {});
        if (r.ok) {
            ++linked;
            EXPECT_FALSE(r.program.empty());
        } else {
            EXPECT_FALSE(r.messages.empty());
        }
    }
    EXPECT_GT(linked, 0);
    EXPECT_LT(linked, 1500);
}

}  // namespace
}  // namespace krvs::tlink::test
