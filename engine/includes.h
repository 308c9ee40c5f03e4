// The include cache outside the "#include" rule: where cache files live, the parsed form of
// one cache file, and the memo that lets a batch of conversions parse each cache only once.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "tables/string_list.h"

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
  std::vector<std::string> Names;     // [NAME]: names declared by the unit (compiler-ready)
  std::vector<std::string> Includes;  // [INC] names that may be read (inside "inc" only)
  std::string Unit;  // [UNIT]: the unit's name where it is not the one its file name gives
};

// What a cache and every cache it leads to through [INC] add to a conversion that has read
// no cache before, as frozen lists, together with every cache file the walk looked at and
// what it found there (null: no file), so that a later use can tell whether the files are
// still the same. Most headers of a set begin by including the same few headers, and walking
// their hundred-odd caches again for every header would cost more than the rest of the
// conversion.
struct IncludeClosure {
  std::vector<std::pair<std::string, std::shared_ptr<const ParsedIncludeCache>>> Read;
  bool Found = false;  // whether the cache the walk started from exists
  TStringList2 TypeNames, TypeValues, PointeeTypes, PointerTypes, MakeNames, MakeValues,
      IncludedCaches, InterfaceNames, ClassNames, FuncNames, KnownNames;
  std::size_t EntryCount() const;
};

// Parses the bytes of a cache file.
ParsedIncludeCache ParseIncludeCache(std::string_view bytes);

// Which unit declares a name (in lower case), over every cache in a list of folders: the
// types a cache declares ([TYPE] entries that map a name to itself), its pointer types,
// interfaces, classes, routine types and [NAME] entries. The first folder wins, and within
// a folder the first file by name.
class NameIndex {
 public:
  void Build(const std::vector<std::string>& dirs, class IncludeCacheMemo* memo);
  bool Built() const { return built_; }
  // Adds the names of one cache (a cache just written): names indexed before keep their unit.
  void Add(const std::string& unit, const ParsedIncludeCache& cache);
  const std::string* UnitOf(std::string_view lowerName) const;
  // Every unit that declares the name, the first as UnitOf gives it (empty when none does).
  std::vector<std::string> UnitsOf(std::string_view lowerName) const;

 private:
  // The units that declare one name, by number: most names have one.
  struct Declarers {
    int First = -1;
    std::vector<int> Others;
  };
  int UnitNumber(const std::string& unit);
  bool built_ = false;
  std::vector<std::string> unitNames_;
  std::unordered_map<std::string, int> unitNumbers_;
  // Keyed by views of the lower-case names kept in keys_ (a deque: its texts never move). A
  // batch indexes hundreds of thousands of names; each is stored once.
  std::unordered_map<std::string_view, Declarers> units_;
  std::deque<std::string> keys_;
  std::string lower_;  // the name being added, in lower case
};

// "<cacheDir>/<name>.tqc".
std::string IncludeCachePath(const std::string& cacheDir, const std::string& name);

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
  // tqc-convert --order: a cache the batch will write counts as absent until it is written, so
  // that what the batch gives never depends on a cache an earlier run left (through an include
  // cycle a header would otherwise read its own old cache, or one of a header converted after
  // it).
  void Withhold(const std::string& path) { withheld_.insert(path); }
  // The conversion wrote the cache at `path` (or found it there already) as `parsed` gives it.
  // A batch keeps what it wrote rather than reading the file back, which another run may have
  // replaced meanwhile; a window reads it again when it is next asked for.
  void Written(const std::string& path, std::shared_ptr<const ParsedIncludeCache> parsed);
  std::size_t Parses() const { return parses_; }

  // The closure walked from the cache at `path` before, if every file it read still gives
  // what it gave then; null otherwise.
  std::shared_ptr<const IncludeClosure> Closure(const std::string& path);
  // Whether a walk from `path` should be kept as a closure: from its second walk on, while
  // the closures kept stay within a bound on their entries.
  bool WantsClosure(const std::string& path);
  void KeepClosure(const std::string& path, std::shared_ptr<const IncludeClosure> closure);
  // The index of declared names over the cache folders of the batch, built on first use and
  // kept up to date with the caches the batch writes.
  NameIndex& Names() { return names_; }

 private:
  struct Slot {
    std::uintmax_t Size = 0, Inode = 0;
    std::int64_t MtimeNs = 0;
    std::shared_ptr<const ParsedIncludeCache> Parsed;
  };
  Checks checks_;
  std::unordered_map<std::string, Slot> slots_;  // a slot without Parsed: no file
  std::unordered_set<std::string> withheld_;
  std::size_t parses_ = 0;
  std::unordered_map<std::string, std::shared_ptr<const IncludeClosure>> closures_;
  std::unordered_map<std::string, int> walks_;
  std::size_t closureEntries_ = 0;
  NameIndex names_;
  static constexpr std::size_t kMaxClosureEntries = 1'000'000;
};

}  // namespace tqc
