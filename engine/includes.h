// The include cache outside the "#include" rule: where cache files live, the parsed form of
// one cache file, and the memo that lets a batch of conversions parse each cache only once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tqc {

// One cache file, entry by entry, in file order within each target list. Appending these
// lists to a context gives exactly what reading the file line by line gives.
struct ParsedIncludeCache {
  struct PointerEntry {
    std::string Pointee, Pointer;
    int Tag = 0;  // 1 for a three-field entry (interface/class category)
  };
  std::vector<std::pair<std::string, std::string>> Types, Makes;
  std::vector<PointerEntry> Pointers;
  std::vector<std::string> Interfaces, Classes, Funcs;
  std::vector<std::string> Includes;  // [INC] names that may be read (inside "inc" only)
};

// Parses the bytes of a cache file.
ParsedIncludeCache ParseIncludeCache(std::string_view bytes);

// "<home>/inc/<name>.tqc".
std::string IncludeCachePath(const std::string& homeDir, const std::string& name);

// A header name without folder and extension: "sub\foo.h" -> "foo".
std::string IncludeBaseName(std::string_view headerName);

// Parsed cache files of one run, keyed by path and checked against the file's size, time of
// change and inode before reuse. Owned by whoever runs the conversions (tqc-convert keeps one
// for its whole batch) and reached through ConversionOptions::CacheMemo.
class IncludeCacheMemo {
 public:
  enum class Checks {
    EveryRead,      // every read checks the file's stamp (a window that lives for hours)
    FirstReadOnly,  // a batch sees each cache as first read, plus what it writes itself
  };
  explicit IncludeCacheMemo(Checks checks = Checks::EveryRead) : checks_(checks) {}

  // The parsed file; parses it (again) when it is new or changed; null when there is no
  // regular file at `path`. Throws std::runtime_error naming the file when it cannot be read.
  std::shared_ptr<const ParsedIncludeCache> Get(const std::string& path);
  // Drops the file, so the next Get parses it again (called when a cache is rewritten).
  void Forget(const std::string& path) { slots_.erase(path); }
  std::size_t Parses() const { return parses_; }

 private:
  struct Slot {
    std::uintmax_t Size = 0, Inode = 0;
    std::int64_t MtimeNs = 0;
    std::shared_ptr<const ParsedIncludeCache> Parsed;
  };
  Checks checks_;
  std::unordered_map<std::string, Slot> slots_;  // a slot without Parsed: no file
  std::size_t parses_ = 0;
};

}  // namespace tqc
