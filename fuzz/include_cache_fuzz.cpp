// libFuzzer target: include caches of any bytes, read in a batch of conversions with and
// without the parsed-cache memo (and the closures it keeps). The units must agree byte for
// byte: the memo may only save work.
//
// The input is split at "\x01" into parts: the first three are the caches a.tqc, b.tqc and
// c.tqc; each further part is a header converted in turn (its own cache is written too, so
// later conversions may read it).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/conversion.h"
#include "engine/includes.h"
#include "shipped_tables.h"
#include "tables/definition_files.h"

using namespace tqc;
namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Converts the headers in turn with a fresh home holding the given caches; returns every unit
// and every cache file afterwards.
std::vector<std::string> Batch(const fs::path& home, const std::vector<std::string>& parts,
                               IncludeCacheMemo* memo) {
  fs::remove_all(home);
  fs::create_directories(home / "inc");
  const char* names[] = {"a", "b", "c"};
  for (std::size_t i = 0; i < 3 && i < parts.size(); ++i)
    Write(home / "inc" / (std::string(names[i]) + ".tqc"), parts[i]);
  ConversionOptions options;
  options.Today = BannerDate{2026, 1, 1};
  options.UseCacheHome(home.string());
  options.CacheMemo = memo;
  DefinitionTables tables = ShippedTables();
  std::vector<std::string> out;
  for (std::size_t i = 3; i < parts.size(); ++i) {
    OutputPane pane;
    SilentHost host = SilentHost::AcceptingOffered();
    // Headers are named after the caches too, so that they rewrite them.
    const std::string name = (home / (std::string(names[i % 3]) + ".h")).string();
    ConvertText(name, parts[i], BannerDate{2026, 1, 1}, tables, options, host, pane);
    out.push_back(pane.SaveText());
  }
  for (const char* n : names) {
    std::ifstream in(home / "inc" / (std::string(n) + ".tqc"), std::ios::binary);
    out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 1) {
      if (parts.size() == 10) break;
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  if (parts.size() < 4) return 0;
  // One folder per fuzzing process, removed when it exits.
  static const struct Root {
    fs::path Path = fs::temp_directory_path() / ("tqc_include_fuzz_" + std::to_string(::getpid()));
    ~Root() {
      std::error_code ec;
      fs::remove_all(Path, ec);
    }
  } rootDir;
  const fs::path& root = rootDir.Path;
  const std::vector<std::string> plain = Batch(root / "plain", parts, nullptr);
  IncludeCacheMemo everyRead;
  IncludeCacheMemo firstRead(IncludeCacheMemo::Checks::FirstReadOnly);
  if (Batch(root / "every", parts, &everyRead) != plain) std::abort();
  if (Batch(root / "first", parts, &firstRead) != plain) std::abort();
  return 0;
}
