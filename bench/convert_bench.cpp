// In-process benchmark: one large header converted again and again with the shipped tables.
// Usage: convert_bench [--benchmark_...] (header from TQC_BENCH_HEADER, default winuser.h
// of the mingw-w64 set).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/conversion.h"
#include "tables/definition_files.h"

using namespace tqc;

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// Converts `text` once per iteration; counts the unit's lines.
void ConvertAgain(benchmark::State& state, const std::string& path, const std::string& text,
                  bool compileReady) {
  DefinitionTables tables;
  LoadDefinitions(tables, TQC_DATA_DIR);
  ConversionOptions options;
  options.Today = BannerDate{2026, 1, 1};
  options.CompileReady = compileReady;
  SilentHost host = SilentHost::AcceptingOffered();
  OutputPane pane;
  std::size_t lines = 0;
  for (auto _ : state) {
    DefinitionTables copy = tables;  // a conversion may add to SkipWords
    ConvertText(path, text, BannerDate{2026, 1, 1}, copy, options, host, pane);
    lines = pane.Lines().size();
    benchmark::DoNotOptimize(lines);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
  state.counters["unit_lines"] = static_cast<double>(lines);
}

// Argument: 0 the default mode, 1 compiler-ready.
void BM_ConvertHeader(benchmark::State& state) {
  const char* env = std::getenv("TQC_BENCH_HEADER");
  const std::string path = env ? env : "/usr/share/mingw-w64/include/winuser.h";
  const std::string text = ReadAll(path);
  if (text.empty()) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  ConvertAgain(state, path, text, state.range(0) != 0);
}
BENCHMARK(BM_ConvertHeader)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(100);

// Growth with the input (compiler-ready): the time per input byte must not grow with the
// argument. N conditionals nested around one typedef.
void BM_NestedConditionals(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += "#if 1\n";
  text += "typedef int A;\n";
  for (std::size_t i = 0; i < n; ++i) text += "#endif\n";
  ConvertAgain(state, "nested.h", text, true);
}
BENCHMARK(BM_NestedConditionals)->Arg(50'000)->Arg(200'000)->Unit(benchmark::kMillisecond);

// N levels of macros of declarations, each naming the one before twice, used in a record:
// written out, the last would double with every level.
void BM_MacroLevels(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  std::string text = "#define M0 int a;\n";
  for (int i = 1; i <= n; ++i)
    text += "#define M" + std::to_string(i) + " M" + std::to_string(i - 1) + " M" +
            std::to_string(i - 1) + "\n";
  text += "typedef struct _S {\n  M" + std::to_string(n) + "\n} S;\n";
  ConvertAgain(state, "levels.h", text, true);
}
BENCHMARK(BM_MacroLevels)->Arg(24)->Arg(96)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
