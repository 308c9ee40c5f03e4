// tqc-convert: the batch converter. Converts each FILE exactly as the window's Open would
// (same engine, same include cache) and saves the unit as the window's Save would (CR LF).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
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

// What a run must not write over: its own inputs (compared by device and inode, so a link or
// another name of an input counts), and a unit another input of the run already gave.
class TargetGuard {
 public:
  explicit TargetGuard(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
      if (auto id = IdOf(input)) inputs_.emplace_back(*id, input);
  }
  // Why the unit of `input` may not go to `target`; empty when it may.
  std::string Refusal(const std::string& input, const std::string& target) {
    if (auto id = IdOf(target)) {
      for (const auto& [inputId, path] : inputs_)
        if (inputId == *id) return target + " is the input " + path;
    }
    std::error_code ec;
    fs::path key = fs::weakly_canonical(target, ec);
    if (ec) key = fs::absolute(target, ec).lexically_normal();
    const auto [it, first] = units_.try_emplace(key.string(), input, IdOf(input));
    // The same input named twice gives the same unit again.
    if (first || (it->second.second && it->second.second == IdOf(input))) return {};
    return target + " is already the unit of " + it->second.first;
  }

 private:
  using FileId = std::pair<dev_t, ino_t>;
  static std::optional<FileId> IdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
  }
  std::vector<std::pair<FileId, std::string>> inputs_;
  std::unordered_map<std::string, std::pair<std::string, std::optional<FileId>>> units_;
};

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
      // The window's message, then where it was looked for.
      std::cerr << name << " not found.\n";
      if (home.From == HomeLayout::Source::Installed && !home.UserDir.empty())
        std::cerr << "Folder: " << home.UserDir << "\n";
      std::cerr << "Folder: " << home.DataDir << "\n";
      return 1;
    }
  }
  if (opts.OutDir) {
    // The output folder is made when missing, as a user naming a new folder expects.
    std::error_code ec;
    fs::create_directories(*opts.OutDir, ec);
    if (!ec && !fs::is_directory(*opts.OutDir))
      ec = std::make_error_code(std::errc::not_a_directory);
    if (ec) {
      std::cerr << "tqc-convert: cannot create the output folder " << *opts.OutDir << ": "
                << ec.message() << "\n";
      return 1;
    }
  }
  DefinitionTables tables;
  try {
    for (const std::string& warning :
         LoadDefinitions(tables, DefinitionPaths{home.Dat, home.Typ, home.Def, home.Exp}))
      std::cerr << "tqc-convert: warning: " << warning << "\n";
    if (opts.DefFile) LoadUserReplacementFile(tables, *opts.DefFile);
  } catch (const std::exception& e) {
    std::cerr << "tqc-convert: " << e.what() << "\n";
    return 1;
  }

  ConversionOptions conv = opts.Conversion;
  conv.CacheDirs = home.CacheDirs;
  conv.CacheWriteDir = home.CacheWriteDir;
  // A batch reads each cache file once; the caches it writes itself replace what it read.
  IncludeCacheMemo cacheMemo(IncludeCacheMemo::Checks::FirstReadOnly);
  conv.CacheMemo = &cacheMemo;
  conv.VersionText = std::string("Ver.") + TQC_VERSION;

  std::vector<std::string> files = opts.Files;
  if (opts.Order) files = OrderBaseFirst(files, opts.Conversion.CompileReady);
  TargetGuard guard(files);

  const bool progress = files.size() > 1 && isatty(STDERR_FILENO);
  int status = 0;
  bool toldCacheNotKept = false;
  std::size_t index = 0;
  // Converts and writes one file; false when it failed or was refused.
  auto convertOne = [&](const std::string& file) {
    CliHost host(opts);
    OutputPane pane;
    ConversionResult result;
    try {
      result = ConvertHeader(file, tables, conv, host, pane);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& e) {
      if (progress) std::cerr << "\r\x1b[K";
      std::cerr << "tqc-convert: " << e.what() << "\n";
      return false;
    }
    std::string target;
    if (opts.Output) {
      target = *opts.Output;
    } else if (opts.OutDir) {
      target = (fs::path(*opts.OutDir) / (result.UnitName + ".pas")).string();
    } else {
      target = (fs::path(file).parent_path() / (result.UnitName + ".pas")).string();
    }
    std::string error;
    if (target == "-") {
      const std::string text = pane.SaveText();
      errno = 0;
      std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cout.flush();
      if (!std::cout)
        error = "cannot write to standard output: " + SystemReason(errno ? errno : EIO);
    } else if (std::string refused = guard.Refusal(file, target); !refused.empty()) {
      error = file + ": unit not written: " + refused;
    } else {
      WriteFile(target, pane.SaveText(), error);
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
      return false;
    }
    for (const auto& f : result.Failures)
      std::cerr << file << ":" << f.Line << ": "
                << (f.Warning    ? "warning"
                    : f.Intended ? "application error"
                                 : "application error (converter fault)")
                << ": " << f.Reason << "\n";
    std::cerr << fs::path(file).filename().string() << " -> "
              << (target == "-" ? std::string("(standard output)")
                                : fs::path(target).filename().string())
              << ": " << pane.Count() << " lines, " << result.ErrorCount << " errors";
    if (result.Encoding == TextEncoding::Utf16Le || result.Encoding == TextEncoding::Utf16Be)
      std::cerr << " (transcoded from " << EncodingName(result.Encoding) << ")";
    std::cerr << "\n";
    return true;
  };
  for (const std::string& file : files) {
    ++index;
    if (progress)
      std::cerr << "\r[" << index << "/" << files.size() << "] " << file << "\x1b[K" << std::flush;
    try {
      if (!convertOne(file)) status = 1;
    } catch (const std::bad_alloc&) {
      // What the file took is given back on the way out; the batch goes on.
      if (progress) std::cerr << "\r\x1b[K";
      std::cerr << "tqc-convert: " << file << ": not enough memory\n";
      status = 1;
    }
  }
  return status;
}
