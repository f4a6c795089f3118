// Every student program of the corpus assembles without a message, and its object, laid out in
// definition order, gives exactly the load image of the reference build.

#include <gtest/gtest.h>

#include <filesystem>

#include "object_dump.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> corpusPrograms() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(std::string(KRVS_TEST_DATA) + "/corpus"))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class TasmCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(TasmCorpus, AssemblesToTheReferenceImage) {
    const std::string name = GetParam();
    const std::string dir = std::string(KRVS_TEST_DATA) + "/corpus/" + name;
    std::string source = test::readText(dir + "/" + name + ".ASM");
    ASSERT_FALSE(source.empty());
    AssemblyResult r = assemble(name + ".ASM", source, Options{}, nullptr);
    for (const Diagnostic& d : r.diagnostics) ADD_FAILURE() << formatDiagnostic(d);
    ASSERT_FALSE(r.object.empty());

    std::string err;
    auto module = test::readModule(r.object, &err);
    ASSERT_TRUE(module) << err;
    test::Layout l = test::layOut(*module);
    ASSERT_TRUE(l.error.empty()) << l.error;

    bool com = fs::exists(dir + "/expected.com");
    std::string expected = test::readText(dir + (com ? "/expected.com" : "/expected.exe"));
    std::vector<std::uint8_t> want(expected.begin(), expected.end());
    std::size_t from = 0;
    if (com) {
        from = 0x100;  // a .COM image is loaded at offset 100h of its only segment
    } else {
        ASSERT_GE(want.size(), 28u);
        std::size_t header = static_cast<std::size_t>(want[8] | (want[9] << 8)) * 16;
        want.erase(want.begin(), want.begin() + static_cast<long>(header));
    }
    ASSERT_GE(l.image.size(), from + want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        ASSERT_EQ(l.image[from + i], want[i]) << name << ": first difference at image offset " << std::hex << i;
    // What the reference image leaves out at the end may only be uninitialised space.
    for (std::size_t i = from + want.size(); i < l.image.size(); ++i) ASSERT_EQ(l.image[i], 0) << i;
    ASSERT_TRUE(module->start.has_value());
}

INSTANTIATE_TEST_SUITE_P(Programs, TasmCorpus, ::testing::ValuesIn(corpusPrograms()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace krvs::tasm
