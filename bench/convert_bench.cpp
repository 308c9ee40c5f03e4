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

void BM_ConvertHeader(benchmark::State& state) {
  const char* env = std::getenv("TQC_BENCH_HEADER");
  const std::string path = env ? env : "/usr/share/mingw-w64/include/winuser.h";
  const std::string text = ReadAll(path);
  if (text.empty()) {
    state.SkipWithError(("cannot read " + path).c_str());
    return;
  }
  DefinitionTables tables;
  LoadDefinitions(tables, TQC_DATA_DIR);
  ConversionOptions options;
  options.Today = BannerDate{2026, 1, 1};
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
BENCHMARK(BM_ConvertHeader)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

BENCHMARK_MAIN();
