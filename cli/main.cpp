// tqc-convert: the batch converter. Converts each FILE exactly as the window's Open would
// (same engine, same include cache) and saves the unit as the window's Save would (CR LF).
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli_options.h"
#include "engine/conversion.h"
#include "engine/home.h"
#include "engine/includes.h"
#include "stored_settings.h"
#include "tables/definition_files.h"
#include "tables/replacements.h"

using namespace tqc;
namespace fs = std::filesystem;

namespace {

class CliHost : public ConversionHost {
 public:
  explicit CliHost(const CliOptions& o) : opts_(o) {}
  std::optional<std::string> AskDllName(std::string_view offered) override {
    if (opts_.DllCancel) return std::nullopt;
    if (opts_.DllName) return *opts_.DllName;
    return std::string(offered);
  }

 private:
  const CliOptions& opts_;
};

std::string ProgramFolder(const char* argv0) {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec) exe = fs::absolute(argv0, ec);
  return exe.parent_path().string();
}

bool WriteFile(const std::string& path, const std::string& bytes, std::string& error) {
  // A unit that comes out as it already stands is left alone, date included: a build that
  // depends on it has nothing to redo.
  if (FileHolds(path, bytes)) return true;
  FileResult written = WriteFileSafely(path, bytes);
  if (!written) error = written.Message;
  return bool(written);
}

}  // namespace

int main(int argc, char** argv) {
  InstallWriteSignalHandlers();
  std::vector<std::string> args(argv + 1, argv + argc);
  CliOptions opts;
  std::string usageError;
  // --settings: the options the window stored, as it would restore them.
  auto loadStored = [](ConversionOptions& o) {
    ApplyStoredOptions(ReadStoredSettingsFile(StoredSettingsPath()), o);
  };
  if (!ParseCliOptions(args, opts, usageError, loadStored)) {
    std::cerr << "tqc-convert: " << usageError << "\n"
              << "Try 'tqc-convert --help'.\n";
    return 2;
  }
  if (opts.Help) {
    std::cout << CliUsage();
    return 0;
  }
  if (opts.Version) {
    std::cout << "tqc-convert " << TQC_VERSION << "\n";
    return 0;
  }

  const HomeLayout home = FindHome(HomeInputsFromEnvironment(ProgramFolder(argv[0]), opts.Home));
  if (opts.PrintHome) {
    std::cout << DescribeHome(home);
    const std::string settings = StoredSettingsPath();
    if (!settings.empty()) std::cout << "settings: " << settings << "\n";
    return home.Dat.empty() || home.Typ.empty() ? 1 : 0;
  }
  for (const auto& [name, path] : {std::pair{"tqc.dat", &home.Dat}, {"tqc.typ", &home.Typ}}) {
    if (path->empty()) {
      std::cerr << name << " not found.\n";
      return 1;
    }
  }
  if (opts.OutDir) {
    // The output folder is made when missing, as a user naming a new folder expects.
    std::error_code ec;
    fs::create_directories(*opts.OutDir, ec);
    if (ec || !fs::is_directory(*opts.OutDir)) {
      std::cerr << "tqc-convert: cannot create the output folder " << *opts.OutDir << "\n";
      return 1;
    }
  }
  DefinitionTables tables;
  LoadDefinitions(tables, DefinitionPaths{home.Dat, home.Typ, home.Def});
  if (opts.DefFile) {
    try {
      LoadUserReplacementFile(tables, *opts.DefFile);
    } catch (const std::exception& e) {
      std::cerr << "tqc-convert: " << e.what() << "\n";
      return 1;
    }
  }

  ConversionOptions conv = opts.Conversion;
  conv.CacheDirs = home.CacheDirs;
  conv.CacheWriteDir = home.CacheWriteDir;
  // A batch reads each cache file once; the caches it writes itself replace what it read.
  IncludeCacheMemo cacheMemo(IncludeCacheMemo::Checks::FirstReadOnly);
  conv.CacheMemo = &cacheMemo;
  conv.VersionText = std::string("Ver.") + TQC_VERSION;

  std::vector<std::string> files = opts.Files;
  if (opts.Order) files = OrderBaseFirst(files);

  const bool progress = files.size() > 1 && isatty(STDERR_FILENO);
  int status = 0;
  bool toldCacheNotKept = false;
  std::size_t index = 0;
  for (const std::string& file : files) {
    ++index;
    if (progress)
      std::cerr << "\r[" << index << "/" << files.size() << "] " << file << "\x1b[K" << std::flush;
    CliHost host(opts);
    OutputPane pane;
    ConversionResult result;
    try {
      result = ConvertHeader(file, tables, conv, host, pane);
    } catch (const std::exception& e) {
      if (progress) std::cerr << "\r\x1b[K";
      std::cerr << "tqc-convert: " << e.what() << "\n";
      status = 1;
      continue;
    }
    std::string target;
    if (opts.Output) {
      target = *opts.Output;
    } else if (opts.OutDir) {
      target = (fs::path(*opts.OutDir) / (result.UnitName + ".pas")).string();
    } else {
      target = (fs::path(file).parent_path() / (result.UnitName + ".pas")).string();
    }
    const std::string text = pane.SaveText();
    std::string error;
    if (target == "-") {
      std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cout.flush();
      if (!std::cout) {
        error = "cannot write to standard output";
      }
    } else {
      WriteFile(target, text, error);
    }
    if (progress) std::cerr << "\r\x1b[K";
    // The cache was written (or not) by the conversion, whatever became of the unit.
    if (!result.CacheError.empty())
      std::cerr << "tqc-convert: warning: " << result.CacheError << "\n";
    // Said once a run: every later header would only repeat it.
    if (result.CacheNotKept && !toldCacheNotKept) {
      std::cerr << "tqc-convert: warning: " << home.CacheNotKeptText() << "\n";
      toldCacheNotKept = true;
    }
    if (!error.empty()) {
      std::cerr << "tqc-convert: " << error << "\n";
      status = 1;
      continue;
    }
    for (const auto& f : result.Failures)
      std::cerr << file << ":" << f.Line << ": application error"
                << (f.Intended ? "" : " (converter fault)") << ": " << f.Reason << "\n";
    std::cerr << fs::path(file).filename().string() << " -> "
              << (target == "-" ? std::string("(standard output)")
                                : fs::path(target).filename().string())
              << ": " << pane.Count() << " lines, " << result.ErrorCount << " errors\n";
  }
  return status;
}
