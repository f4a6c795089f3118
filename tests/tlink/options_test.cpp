// Command lines, TLink.CFG and response files into a LinkRequest.
#include <gtest/gtest.h>

#include <map>

#include "tlink/options.h"

namespace krvs::tlink {
namespace {

struct OptionCase {
    const char* name;
    std::string config;  // TLink.CFG text, empty for none
    std::vector<std::string> args;
    std::vector<std::string> objects;
    std::string exe, map;
    std::string flags;   // letters of the options that are on, in the order m s l x t v c 3 i n d
    std::string error = {};  // expected fatal text instead of a request
};

std::ostream& operator<<(std::ostream& os, const OptionCase& c) { return os << c.name; }

std::string flagsOf(const LinkOptions& o) {
    std::string f;
    const std::pair<char, bool> flags[] = {{'m', o.publics}, {'s', o.detailed}, {'l', o.lineNumbers}, {'x', !o.map},
                                           {'t', o.com}, {'v', o.debugInfo}, {'c', o.caseSensitive}, {'3', o.records32},
                                           {'i', o.initAll}, {'n', o.noDefaultLibs}, {'d', o.warnDuplicates}};
    for (auto [letter, on] : flags)
        if (on) f += letter;
    return f;
}

const std::map<std::string, std::string> kFiles = {
    {"link.rsp", "/m a +\r\nb\r\nprog\r\nprog.lst\r\n"},
    {"opts.rsp", "/v+\n"},
    {"loop.rsp", "@loop.rsp"},
};

class CommandLineCases : public ::testing::TestWithParam<OptionCase> {};

TEST_P(CommandLineCases, GiveRequest) {
    const OptionCase& c = GetParam();
    CommandLine line([](const std::string& name) -> std::optional<std::string> {
        auto found = kFiles.find(name);
        if (found == kFiles.end()) return std::nullopt;
        return found->second;
    });
    if (!c.config.empty()) line.addConfig(c.config);
    line.addArguments(c.args);
    LinkRequest request;
    auto error = line.finish(request);
    if (!c.error.empty()) {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, c.error);
        return;
    }
    ASSERT_FALSE(error.has_value()) << *error;
    EXPECT_EQ(request.objects, c.objects);
    EXPECT_EQ(request.exe, c.exe);
    EXPECT_EQ(request.map, c.map);
    EXPECT_EQ(flagsOf(request.options), c.flags);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLineCases,
    ::testing::Values(
        OptionCase{"Defaults", "", {"hello"}, {"hello.obj"}, "hello.exe", "hello.map", ""},
        OptionCase{"UpperCaseDefaults", "", {"HELLO"}, {"HELLO.OBJ"}, "HELLO.EXE", "HELLO.MAP", ""},
        OptionCase{"GluedOptionsAndFields", "", {"/m/s/l", "a", "b,", "prog"}, {"a.obj", "b.obj"}, "prog.exe", "prog.map", "msl"},
        OptionCase{"PlusSeparatesObjects", "", {"a+b,,out"}, {"a.obj", "b.obj"}, "a.exe", "out.map", ""},
        OptionCase{"ComDefaultName", "", {"/t", "hello"}, {"hello.obj"}, "hello.com", "hello.map", "t"},
        OptionCase{"IdeConfigWithNames", "/m /l /s /v C:\\A\\T.Obj,C:\\A\\T.Exe,C:\\A\\T.Map,,\r\n", {},
                   {"C:\\A\\T.Obj"}, "C:\\A\\T.Exe", "C:\\A\\T.Map", "mslv"},
        OptionCase{"IdeConfigComRenamesExe", "/t /home/u/T.Obj,/home/u/T.Exe,/home/u/T.Map,,\r\n", {},
                   {"/home/u/T.Obj"}, "/home/u/T.Com", "/home/u/T.Map", "t"},
        OptionCase{"CommandLineFilesReplaceConfigFiles", "/x a.obj,b.exe", {"/x-", "c"}, {"c.obj"}, "c.exe", "c.map", ""},
        OptionCase{"ConfigOptionsStayWhenNotOverridden", "/s /3\n/c", {"c"}, {"c.obj"}, "c.exe", "c.map", "msc3"},
        OptionCase{"MoreSwitches", "", {"-i", "/n/d", "/Lc:\\lib;d:\\lib", "/A=16", "/x", "a"}, {"a.obj"}, "a.exe", "a.map", "xind"},
        OptionCase{"ResponseFileLinesAreFields", "", {"@link.rsp"}, {"a.obj", "b.obj"}, "prog.exe", "prog.lst", "m"},
        OptionCase{"ResponseFileOptionPlus", "", {"@opts.rsp", "a"}, {"a.obj"}, "a.exe", "a.map", "v"},
        OptionCase{"PosixPathsAreFiles", "", {"/m", "/Projects/a", "/d/x.obj,/tmp/out"}, {"/Projects/a.obj", "/d/x.obj"}, "/tmp/out.exe", "/tmp/out.map", "m"},
        // The IDE's factory options and every variant its settings dialog writes (debug and .COM switches),
        // glued and separated, in TLink.CFG and on the command line.
        OptionCase{"IdeFactoryOptionsGluedInConfig", "/v/m/M/l/s /h/u/T.Obj,/h/u/T.Exe,/h/u/T.Map,,\r\n", {},
                   {"/h/u/T.Obj"}, "/h/u/T.Exe", "/h/u/T.Map", "mslv"},
        OptionCase{"IdeComOptionsGluedInConfig", "/v/m/M/l/s/t T.Obj,T.Exe,T.Map,,\r\n", {},
                   {"T.Obj"}, "T.Com", "T.Map", "msltv"},
        OptionCase{"IdeNoDebugOptions", "/m/M/l/s/t T.Obj,T.Exe,T.Map,,\r\n", {}, {"T.Obj"}, "T.Com", "T.Map", "mslt"},
        OptionCase{"IdeFactoryOptionsOnCommandLine", "", {"/v/m/M/l/s", "T.OBJ"}, {"T.OBJ"}, "T.EXE", "T.MAP", "mslv"},
        OptionCase{"IdeOptionsSeparated", "", {"/v", "/m", "/M", "/l", "/s", "/t", "x"}, {"x.obj"}, "x.com", "x.map", "msltv"},
        OptionCase{"CapitalMAloneIsPublics", "", {"/M", "X.OBJ"}, {"X.OBJ"}, "X.EXE", "X.MAP", "m"},
        OptionCase{"PathWithAnOptionLikeStart", "", {"/m/s/work/x"}, {"/m/s/work/x.obj"}, "/m/s/work/x.exe", "/m/s/work/x.map", ""},
        OptionCase{"GluedUnknownIsAPath", "", {"/v/q"}, {"/v/q.obj"}, "/v/q.exe", "/v/q.map", ""},
        OptionCase{"UnknownOption", "", {"/z", "a"}, {}, "", "", "", "Unknown option /z"},
        OptionCase{"NoObjects", "", {"/m"}, {}, "", "", "", "No object files specified"},
        OptionCase{"MissingResponseFile", "", {"@none.rsp"}, {}, "", "", "", "Unable to open file 'none.rsp'"},
        OptionCase{"ResponseFileLoop", "", {"@loop.rsp"}, {}, "", "", "", "Response files nested too deeply"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExtensionTest, DefaultsFollowTheNameAndKeepExisting) {
    EXPECT_EQ(withDefaultExtension("dir.v2/hello", ".OBJ"), "dir.v2/hello.obj");
    EXPECT_EQ(withDefaultExtension("HELLO.O", ".OBJ"), "HELLO.O");
    EXPECT_EQ(replaceExtension("C:\\X.Y\\HELLO.Obj", ".MAP"), "C:\\X.Y\\HELLO.MAP");
}

}  // namespace
}  // namespace krvs::tlink
