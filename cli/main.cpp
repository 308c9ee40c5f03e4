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
#include "engine/type_mapping.h"
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
// another name of an input counts), a unit another input of the run already gave, and the
// include cache another input of the run already wrote. It is asked before a conversion, so
// that a refused input writes nothing at all.
class TargetGuard {
 public:
  explicit TargetGuard(const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs)
      if (auto id = IdOf(input)) inputs_.emplace_back(*id, input);
  }
  // Why `input` may not give the unit `target` ("-": standard output) and the include cache
  // `cache` (empty: none is written); empty when it may.
  std::string Refusal(const std::string& input, const std::string& target,
                      const std::string& cache) const {
    if (target != "-") {
      if (auto id = IdOf(target)) {
        for (const auto& [inputId, path] : inputs_)
          if (inputId == *id) return target + " is the input " + path;
      }
      if (const std::string* other = Taken(units_, KeyOf(target), input))
        return target + " is already the unit of " + *other;
    }
    if (const std::string* other = Taken(caches_, cache, input))
      return "the include cache " + cache + " is already that of " + *other;
    return {};
  }
  // `input` gives `target` and `cache` from now on.
  void Claim(const std::string& input, const std::string& target, const std::string& cache) {
    if (target != "-") units_.try_emplace(KeyOf(target), input, IdOf(input));
    if (!cache.empty()) caches_.try_emplace(cache, input, IdOf(input));
  }

 private:
  using FileId = std::pair<dev_t, ino_t>;
  using Claims = std::unordered_map<std::string, std::pair<std::string, std::optional<FileId>>>;
  static std::optional<FileId> IdOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileId{st.st_dev, st.st_ino};
  }
  static std::string KeyOf(const std::string& target) {
    std::error_code ec;
    fs::path key = fs::weakly_canonical(target, ec);
    if (ec) key = fs::absolute(target, ec).lexically_normal();
    return key.string();
  }
  // The other input that claimed `key`; null when none did. The same input named twice gives
  // the same files again.
  static const std::string* Taken(const Claims& claims, const std::string& key,
                                  const std::string& input) {
    if (key.empty()) return nullptr;
    const auto it = claims.find(key);
    if (it == claims.end() || (it->second.second && it->second.second == IdOf(input)))
      return nullptr;
    return &it->second.first;
  }
  std::vector<std::pair<FileId, std::string>> inputs_;
  Claims units_, caches_;
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
      // The window's message, then where it was looked for, with the system's reason when the
      // file could not even be looked for (a folder that may not be entered).
      auto folder = [name = name](const std::string& dir) {
        std::string line = "Folder: " + dir;
        struct stat st {};
        if (::stat((fs::path(dir) / name).c_str(), &st) != 0 && errno != ENOENT)
          line += " (" + SystemReason(errno) + ")";
        return line + "\n";
      };
      std::cerr << name << " not found.\n";
      if (home.From == HomeLayout::Source::Installed && !home.UserDir.empty())
        std::cerr << folder(home.UserDir);
      std::cerr << folder(home.DataDir);
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
         LoadDefinitions(tables, DefinitionPaths{home.Dat, home.Typ, home.Def, home.Exp,
                                                 TargetSectionName(opts.Conversion.Platform)}))
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
  // The include cache each input writes.
  auto cacheOf = [&](const std::string& file) {
    return conv.CacheWriteDir.empty()
               ? std::string()
               : IncludeCachePath(conv.CacheWriteDir,
                                  IncludeBaseName(fs::path(file).filename().string()));
  };
  if (opts.Order) {
    files = OrderBaseFirst(files, opts.Conversion.CompileReady);
    // Base-first, every header finds the caches of the headers it includes as this batch
    // wrote them; a cache of the batch not written yet is not read at all, so that the units
    // are the same whatever an earlier run left.
    for (const std::string& file : files)
      if (std::string cache = cacheOf(file); !cache.empty()) cacheMemo.Withhold(cache);
  }
  TargetGuard guard(files);

  const bool progress = files.size() > 1 && isatty(STDERR_FILENO);
  int status = 0;
  bool toldCacheNotKept = false;
  int cachesWritten = 0, cachesFailed = 0;
  std::size_t index = 0;
  // Converts and writes one file; false when it failed or was refused.
  auto convertOne = [&](const std::string& file) {
    // The unit is named after the file, so where it goes is known before the conversion.
    const std::string unitName = UnitNameOf(tables, fs::path(file).stem().string());
    std::string target;  // changed below when the unit is renamed
    if (opts.Output) {
      target = *opts.Output;
    } else if (opts.OutDir) {
      target = (fs::path(*opts.OutDir) / (unitName + ".pas")).string();
    } else {
      target = (fs::path(file).parent_path() / (unitName + ".pas")).string();
    }
    const std::string cache = cacheOf(file);
    if (std::string refused = guard.Refusal(file, target, cache); !refused.empty()) {
      if (progress) std::cerr << "\r\x1b[K";
      std::cerr << "tqc-convert: " << file << ": unit not written: " << refused << "\n";
      return false;
    }
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
    // A unit renamed for a name its header declares goes to the file of its new name.
    if (!opts.Output && result.UnitName != unitName) {
      target = (fs::path(target).parent_path() / (result.UnitName + ".pas")).string();
      if (std::string refused = guard.Refusal(file, target, cache); !refused.empty()) {
        if (progress) std::cerr << "\r\x1b[K";
        std::cerr << "tqc-convert: " << file << ": unit not written: " << refused << "\n";
        return false;
      }
    }
    guard.Claim(file, target, cache);
    std::string error;
    if (target == "-") {
      const std::string text = pane.SaveText();
      errno = 0;
      std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
      std::cout.flush();
      if (!std::cout)
        error = "cannot write to standard output: " + SystemReason(errno ? errno : EIO);
    } else {
      WriteFile(target, pane.SaveText(), error);
    }
    if (progress) std::cerr << "\r\x1b[K";
    // The cache was written (or not) by the conversion, whatever became of the unit.
    if (result.CacheWritten) ++cachesWritten;
    if (!result.CacheError.empty()) {
      ++cachesFailed;
      std::cerr << "tqc-convert: warning: " << result.CacheError << "\n";
    }
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
  // A batch that kept none of its caches has not done what a later batch relies on.
  if (cachesFailed > 0 && cachesWritten == 0) {
    std::cerr << "tqc-convert: no include cache could be written (" << cachesFailed
              << (cachesFailed == 1 ? " failure" : " failures") << ")\n";
    status = 1;
  }
  return status;
}
