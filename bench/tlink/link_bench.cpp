// Reading and linking a large program: 8 modules of 60 KB code each, a fixup every 8 bytes, publics and
// line numbers, the size of the biggest programs a course produces many times over.
#include <benchmark/benchmark.h>

#include "omf/reader.h"
#include "omf/writer.h"
#include "tlink/linker.h"

namespace {

using namespace krvs;

std::vector<tlink::LinkInput> bigProgram() {
    std::vector<tlink::LinkInput> inputs;
    for (int m = 0; m < 8; ++m) {
        omf::ObjectWriter w(std::string("m").append(std::to_string(m)).append(".asm"));
        auto code = w.addSegment({"CODE" + std::to_string(m), "CODE", "", omf::Align::Para, omf::Combine::Public, 60000});
        auto data = w.addSegment({"_DATA", "DATA", "", omf::Align::Word, omf::Combine::Public, 512});
        auto group = w.addGroup("DGROUP", {data});
        if (m == 0) w.addSegment({"STACK", "STACK", "", omf::Align::Para, omf::Combine::Stack, 0x400});
        std::vector<std::uint8_t> bytes(60000, 0x90);
        std::vector<omf::Fixup> fixups;
        for (std::uint32_t at = 0; at + 2 <= bytes.size(); at += 8)
            fixups.push_back({at, at % 16 ? omf::Location::Offset16 : omf::Location::Base, true,
                              omf::Reference{omf::FrameMethod::Group, group, omf::TargetMethod::Segment, data, 4}});
        w.addData(code, 0, bytes, fixups);
        for (int p = 0; p < 200; ++p) w.addPublic(std::string("P").append(std::to_string(m)).append("_").append(std::to_string(p)), code, p * 100u);
        for (int line = 1; line < 3000; ++line) w.addLine(code, static_cast<std::uint16_t>(line), line * 20u);
        if (m == 0) w.setStart({omf::FrameMethod::Segment, code, omf::TargetMethod::Segment, code, 0});
        inputs.push_back({std::string("m").append(std::to_string(m)).append(".obj"), w.build()});
    }
    return inputs;
}

void BM_ReadObject(benchmark::State& state) {
    auto inputs = bigProgram();
    for (auto _ : state) benchmark::DoNotOptimize(omf::readObject(inputs[0].bytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * inputs[0].bytes.size()));
}
BENCHMARK(BM_ReadObject);

void BM_LinkWithMap(benchmark::State& state) {
    auto inputs = bigProgram();
    tlink::LinkOptions options;
    options.publics = options.detailed = options.lineNumbers = true;
    for (auto _ : state) benchmark::DoNotOptimize(tlink::link(inputs, options));
}
BENCHMARK(BM_LinkWithMap)->Unit(benchmark::kMillisecond);

}  // namespace
