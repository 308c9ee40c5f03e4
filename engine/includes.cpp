// "#include" and the include cache. The rule loads the cache of the named header (and the
// caches it names in [INC], transitively) into the context and adds the header's unit to the
// uses clause; at the end of a conversion the driver writes what the conversion learned into
// the header's own cache, "<inc>/<name>.tqc". A cache is looked for in each cache folder in
// turn (the one written to, then those only read).
#include "includes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "compile_ready/declarations.h"
#include "failure.h"
#include "rules.h"
#include "tables/definition_files.h"
#include "type_mapping.h"

namespace tqc {

namespace fs = std::filesystem;

namespace {

struct FileStamp {
  std::uintmax_t Size = 0, Inode = 0;
  std::int64_t MtimeNs = 0;
};

// True when `path` is a regular file (following links); fills its stamp.
bool StatRegularFile(const std::string& path, FileStamp* stamp = nullptr) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (stamp) {
    stamp->Size = static_cast<std::uintmax_t>(st.st_size);
    stamp->Inode = static_cast<std::uintmax_t>(st.st_ino);
    stamp->MtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return true;
}

std::string ReadCacheBytes(const std::string& path) {
  std::string bytes;
  if (FileResult r = ReadFileBytes(path, bytes); !r)
    throw UnreadableFile("cannot read include cache " + path + ": " + r.Reason());
  return bytes;
}

// A cache may only lead to caches inside "inc": a name with a folder part or ".." is not
// followed.
bool IsPlainCacheName(std::string_view name) {
  return name.find_first_of("/\\") == std::string_view::npos &&
         name.find("..") == std::string_view::npos;
}

enum CacheSection { kNone, kType, kPointer, kMake, kInc, kInterface, kClass, kFunc, kName, kUnit };

CacheSection SectionOf(const std::string& line, CacheSection current) {
  if (line == "[TYPE]") return kType;
  if (line == "[POINTER]") return kPointer;
  if (line == "[MAKE]") return kMake;
  if (line == "[INC]") return kInc;
  if (line == "[INTERFACE]") return kInterface;
  if (line == "[CLASS]") return kClass;
  if (line == "[FUNC]") return kFunc;
  if (line == "[NAME]") return kName;
  if (line == "[UNIT]") return kUnit;
  return current;
}

// The lists an include cache extends: a conversion's, or those of a closure being built.
struct CacheTargets {
  TStringList2 &TypeNames, &TypeValues, &PointeeTypes, &PointerTypes, &MakeNames, &MakeValues,
      &IncludedCaches, &InterfaceNames, &ClassNames, &FuncNames, &KnownNames;
};

// The lists of a conversion or of a closure, which use the same member names, in one order.
template <class Holder>
auto ListsOf(Holder& c) {
  return std::array{&c.TypeNames,  &c.TypeValues, &c.PointeeTypes,   &c.PointerTypes,
                    &c.MakeNames,  &c.MakeValues, &c.IncludedCaches, &c.InterfaceNames,
                    &c.ClassNames, &c.FuncNames,  &c.KnownNames};
}

template <class Holder>
CacheTargets TargetsOf(Holder& c) {
  return {c.TypeNames,  c.TypeValues, c.PointeeTypes,   c.PointerTypes,
          c.MakeNames,  c.MakeValues, c.IncludedCaches, c.InterfaceNames,
          c.ClassNames, c.FuncNames,  c.KnownNames};
}

// Appends a parsed cache to the lists. [INC] names not queued before in this conversion
// are queued and recorded; nothing goes into the New...Idx lists, so read knowledge is never
// written into the current header's cache.
void ApplyCache(CacheTargets& to, const ParsedIncludeCache& c, std::vector<std::string>& queue) {
  for (const auto& [name, value] : c.Types) {
    to.TypeNames.Add(name);
    to.TypeValues.Add(value);
  }
  for (const auto& p : c.Pointers) {
    to.PointeeTypes.Add(p.Pointee, p.Tag);
    to.PointerTypes.Add(p.Pointer);
  }
  for (const auto& [name, value] : c.Makes) {
    to.MakeNames.Add(name);
    to.MakeValues.Add(value);
  }
  for (const auto& name : c.Includes) {
    if (to.IncludedCaches.Contains(name)) continue;
    queue.push_back(name);
    to.IncludedCaches.Add(name);
  }
  for (const auto& name : c.Interfaces) to.InterfaceNames.Add(name);
  for (const auto& name : c.Classes) to.ClassNames.Add(name);
  for (const auto& name : c.Funcs) to.FuncNames.Add(name);
  for (const auto& name : c.Names) to.KnownNames.Add(name);
}

// The name of the cache a conversion writes: its own, which it never reads. Through an
// include cycle it would otherwise learn its own declarations from its last run, take them as
// known, and leave them out of the cache it writes now.
std::string OwnCacheName(const ConversionContext& ctx) {
  return IncludeBaseName(fs::path(ctx.InputPath).filename().string());
}

// Applies the cache named `name` from the first cache folder that holds it; false when none
// does or when it is the cache named `own`. With a memo, the memo's one stat both finds a file
// and checks its stamp. `read`, when given, records every file looked at and what it gave,
// absent ones included: a cache that appears later in an earlier folder changes what the
// look-up gives.
bool ReadCacheIfPresent(ConversionContext& ctx, CacheTargets& to, const std::string& name,
                        std::vector<std::string>& queue, const std::string& own,
                        IncludeClosure* read = nullptr) {
  if (name == own) return false;
  for (const std::string& dir : ctx.Options.CacheDirs) {
    const std::string path = IncludeCachePath(dir, name);
    if (IncludeCacheMemo* memo = ctx.Options.CacheMemo) {
      auto parsed = memo->Get(path);
      if (read) read->Read.emplace_back(path, parsed);
      if (!parsed) continue;
      ApplyCache(to, *parsed, queue);
      return true;
    }
    if (!StatRegularFile(path)) continue;
    ApplyCache(to, ParseIncludeCache(ReadCacheBytes(path)), queue);
    return true;
  }
  return false;
}

// Reads the cache named `top` and every cache it leads to, but the one named `own`, into `to`;
// false when `top` is absent.
bool WalkCaches(ConversionContext& ctx, CacheTargets& to, const std::string& top,
                const std::string& own, IncludeClosure* read = nullptr) {
  std::vector<std::string> queue;
  if (!ReadCacheIfPresent(ctx, to, top, queue, own, read)) return false;
  // The queue grows while it is read; an index keeps the walk valid.
  for (std::size_t i = 0; i < queue.size(); ++i)
    ReadCacheIfPresent(ctx, to, queue[i], queue, own, read);
  return true;
}

// Whether a kept closure read the cache named `name`.
bool ClosureRead(const ConversionContext& ctx, const IncludeClosure& closure,
                 const std::string& name) {
  for (const std::string& dir : ctx.Options.CacheDirs) {
    const std::string path = IncludeCachePath(dir, name);
    for (const auto& [file, parsed] : closure.Read)
      if (parsed && file == path) return true;
  }
  return false;
}

// WalkCaches into the conversion's own lists. A conversion that has read no cache yet gives
// the walk nothing to skip, so what the walk adds depends on the files alone: it is kept in
// the memo and later appended whole, as shared frozen parts.
bool ReadCaches(ConversionContext& ctx, const std::string& top) {
  CacheTargets into = TargetsOf(ctx);
  const std::string own = OwnCacheName(ctx);
  IncludeCacheMemo* memo = ctx.Options.CacheMemo;
  if (!memo || !ctx.IncludedCaches.Empty()) return WalkCaches(ctx, into, top, own);
  // Closures are kept per name and per list of folders: the path in the first folder, followed
  // by the other folders.
  const auto& dirs = ctx.Options.CacheDirs;
  if (dirs.empty()) return false;
  std::string key = IncludeCachePath(dirs.front(), top);
  for (std::size_t i = 1; i < dirs.size(); ++i) (key += '\n') += dirs[i];
  std::shared_ptr<const IncludeClosure> closure = memo->Closure(key);
  if (!closure) {
    if (!memo->WantsClosure(key)) return WalkCaches(ctx, into, top, own);
    // A closure holds every cache the walk reaches, for any header that includes `top`.
    auto built = std::make_shared<IncludeClosure>();
    CacheTargets kept = TargetsOf(*built);
    built->Found = WalkCaches(ctx, kept, top, std::string(), built.get());
    for (TStringList2* list : ListsOf(*built)) list->Freeze();
    memo->KeepClosure(key, built);
    closure = std::move(built);
  }
  if (ClosureRead(ctx, *closure, own)) return WalkCaches(ctx, into, top, own);
  if (!closure->Found) return false;
  const auto lists = ListsOf(ctx);
  const auto kept = ListsOf(*closure);
  for (std::size_t i = 0; i < lists.size(); ++i) lists[i]->AppendList(*kept[i]);
  return true;
}

// Whether the file at `path` holds exactly `bytes`; false when it cannot be read.
void AddEntry(std::string& out, std::string_view text) {
  out += text;
  out += "\r\n";
}

}  // namespace

std::string IncludeCachePath(const std::string& cacheDir, const std::string& name) {
  // Plain concatenation: this runs for every cache an "#include" reaches.
  std::string path;
  path.reserve(cacheDir.size() + name.size() + 5);
  path += cacheDir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  path += ".tqc";
  return path;
}

std::string IncludeBaseName(std::string_view headerName) {
  // Both separators count: header names come from Windows sources.
  std::size_t slash = headerName.find_last_of("/\\");
  if (slash != std::string_view::npos) headerName.remove_prefix(slash + 1);
  std::size_t dot = headerName.rfind('.');
  if (dot != std::string_view::npos) headerName = headerName.substr(0, dot);
  return std::string(headerName);
}

ParsedIncludeCache ParseIncludeCache(std::string_view bytes) {
  ParsedIncludeCache c;
  CacheSection section = kNone;
  for (const std::string& line : SplitLines(bytes)) {
    if (line.empty()) continue;
    if (line[0] == '[') {
      section = SectionOf(line, section);
      continue;
    }
    // Entry lines split like the definition files' item lists: commas and blanks separate,
    // double quotes group.
    std::vector<std::string> f = SplitItems(line);
    if (f.size() == 2) {
      if (section == kType)
        c.Types.emplace_back(std::move(f[0]), std::move(f[1]));
      else if (section == kPointer)
        c.Pointers.push_back({std::move(f[0]), std::move(f[1]), 0});
      else if (section == kMake)
        c.Makes.emplace_back(std::move(f[0]), std::move(f[1]));
    } else if (f.size() == 3) {
      if (section == kPointer) c.Pointers.push_back({std::move(f[0]), std::move(f[1]), 1});
    } else if (f.size() == 1) {
      if (section == kInc) {
        if (IsPlainCacheName(f[0])) c.Includes.push_back(std::move(f[0]));
      } else if (section == kInterface) {
        c.Interfaces.push_back(std::move(f[0]));
      } else if (section == kClass) {
        c.Classes.push_back(std::move(f[0]));
      } else if (section == kFunc) {
        c.Funcs.push_back(std::move(f[0]));
      } else if (section == kName) {
        c.Names.push_back(std::move(f[0]));
      } else if (section == kUnit) {
        c.Unit = std::move(f[0]);
      }
    }
  }
  return c;
}

int NameIndex::UnitNumber(const std::string& unit) {
  auto [it, added] = unitNumbers_.try_emplace(unit, static_cast<int>(unitNames_.size()));
  if (added) unitNames_.push_back(unit);
  return it->second;
}

void NameIndex::Add(const std::string& unit, const ParsedIncludeCache& c) {
  const int number = UnitNumber(unit);
  auto add = [&](const std::string& name) {
    lower_.assign(name);
    for (char& ch : lower_) ch = AsciiLower(ch);
    auto it = units_.find(std::string_view(lower_));
    if (it == units_.end()) {
      it = units_.emplace(std::string_view(keys_.emplace_back(lower_)), Declarers{}).first;
    }
    Declarers& d = it->second;
    if (d.First < 0) {
      d.First = number;
    } else if (d.First != number &&
               std::find(d.Others.begin(), d.Others.end(), number) == d.Others.end()) {
      d.Others.push_back(number);
    }
  };
  for (const auto& [name, value] : c.Types)
    if (name == value) add(name);
  for (const auto& p : c.Pointers) add(p.Pointer);
  for (const auto& name : c.Interfaces) add(name);
  for (const auto& name : c.Classes) add(name);
  for (const auto& name : c.Funcs) add(name);
  for (const auto& name : c.Names) add(name);
}

void NameIndex::Build(const std::vector<std::string>& dirs, IncludeCacheMemo* memo) {
  built_ = true;
  for (const std::string& dir : dirs) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(dir, ec))
      if (e.path().extension() == ".tqc") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
      const std::string unit = f.stem().string();
      if (memo) {
        if (auto parsed = memo->Get(f.string())) Add(unit, *parsed);
      } else if (StatRegularFile(f.string())) {
        Add(unit, ParseIncludeCache(ReadCacheBytes(f.string())));
      }
    }
  }
}

const std::string* NameIndex::UnitOf(std::string_view lowerName) const {
  auto it = units_.find(lowerName);
  return it == units_.end() ? nullptr : &unitNames_[static_cast<std::size_t>(it->second.First)];
}

std::vector<std::string> NameIndex::UnitsOf(std::string_view lowerName) const {
  std::vector<std::string> out;
  auto it = units_.find(lowerName);
  if (it == units_.end()) return out;
  out.push_back(unitNames_[static_cast<std::size_t>(it->second.First)]);
  for (int n : it->second.Others) out.push_back(unitNames_[static_cast<std::size_t>(n)]);
  return out;
}

void IncludeCacheMemo::Written(const std::string& path,
                               std::shared_ptr<const ParsedIncludeCache> parsed) {
  withheld_.erase(path);
  if (checks_ == Checks::EveryRead)
    Forget(path);
  else
    slots_[path] = Slot{0, 0, 0, std::move(parsed)};
}

std::shared_ptr<const ParsedIncludeCache> IncludeCacheMemo::Get(const std::string& path) {
  if (!withheld_.empty() && withheld_.contains(path)) return nullptr;
  auto it = slots_.find(path);
  if (it != slots_.end() && checks_ == Checks::FirstReadOnly) return it->second.Parsed;
  FileStamp stamp;
  if (!StatRegularFile(path, &stamp)) {
    if (checks_ == Checks::FirstReadOnly) {
      slots_[path] = Slot{};  // remembered as absent until Forget
    } else if (it != slots_.end()) {
      slots_.erase(it);
    }
    return nullptr;
  }
  if (it != slots_.end() && it->second.Parsed && it->second.Size == stamp.Size &&
      it->second.Inode == stamp.Inode && it->second.MtimeNs == stamp.MtimeNs)
    return it->second.Parsed;
  // The stamp is taken before reading: a change during the read shows up next time.
  auto parsed = std::make_shared<const ParsedIncludeCache>(ParseIncludeCache(ReadCacheBytes(path)));
  ++parses_;
  slots_[path] = Slot{stamp.Size, stamp.Inode, stamp.MtimeNs, parsed};
  return parsed;
}

std::size_t IncludeClosure::EntryCount() const {
  std::size_t n = Read.size();
  for (const TStringList2* list : ListsOf(*this)) n += static_cast<std::size_t>(list->Count());
  return n;
}

std::shared_ptr<const IncludeClosure> IncludeCacheMemo::Closure(const std::string& path) {
  auto it = closures_.find(path);
  if (it == closures_.end()) return nullptr;
  std::shared_ptr<const IncludeClosure> closure = it->second;
  for (const auto& [file, parsed] : closure->Read) {
    if (Get(file) != parsed) {
      closureEntries_ -= closure->EntryCount();
      closures_.erase(path);
      return nullptr;
    }
  }
  return closure;
}

bool IncludeCacheMemo::WantsClosure(const std::string& path) {
  return ++walks_[path] >= 2 && closureEntries_ < kMaxClosureEntries;
}

void IncludeCacheMemo::KeepClosure(const std::string& path,
                                   std::shared_ptr<const IncludeClosure> closure) {
  closureEntries_ += closure->EntryCount();
  closures_[path] = std::move(closure);
}

RuleResult TranslateInclude(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  if (!t.Is(0, "#include")) return RuleResult::Declined;
  st.Outcome = 0;
  if (t.Count() == 2) {
    const std::string& q = t.Text(1);
    if (!q.empty() && q.front() == '\'' && q.back() == '\'') {
      std::string name = q.size() >= 2 ? q.substr(1, q.size() - 2) : std::string();
      t.Delete(1);
      t.Add("\"");
      t.Add(std::move(name));
      t.Add("\"");
    }
  }
  // A header of the C library: the target's compiler has it already (its own unit, or
  // none), whatever file of that name lies beside the input. A comment may follow.
  if (t.Count() >= 4 && (t.Is(1, "<") || t.Is(1, "\""))) {
    if (const int h = ctx.Defs.HeaderNames.FindExact(t.Text(2)); h >= 0) {
      if (const std::string& unit = ctx.Defs.HeaderUnits.Text(h); !unit.empty())
        ctx.UsesExtra += ", " + unit;
      st.Built = "// " + ctx.CurrentLine;
      st.Outcome = kWriteBuilt;
      return RuleResult::Epilogue;
    }
  }
  if (t.Count() != 4) return RuleResult::Epilogue;
  // An include for another platform («#if defined(_WIN32)» / «#include "win.h"» on unix):
  // its unit is no unit of this target's programs.
  if (InDeadBranch(ctx)) {
    st.Built = "// " + ctx.CurrentLine;
    st.Outcome = kWriteBuilt;
    return RuleResult::Epilogue;
  }

  const std::string base = IncludeBaseName(t.Text(2));
  // The Windows headers' packing includes: pshpackN.h is "#pragma pack(push, N)", poppack.h
  // "#pragma pack(pop)". No unit stands behind them; the records after them are packed.
  const std::string lower = AsciiLowerCopy(base);
  static const char* const kPacks[] = {"pshpack1", "pshpack2", "pshpack4", "pshpack8"};
  for (int code = 0; code < 4; ++code) {
    if (lower != kPacks[code]) continue;
    st.Built = PushAlignmentOf(ctx, code, ctx.CurrentLine);
    st.Outcome = kWriteBuilt;
    return RuleResult::Epilogue;
  }
  if (lower == "poppack") {
    st.Built = PopAlignment(ctx, ctx.CurrentLine);
    st.Outcome = kWriteBuilt;
    return RuleResult::Epilogue;
  }
  if (ReadCaches(ctx, base)) {
    st.Outcome = kWriteBuilt;
  } else {
    fs::path neighbour = fs::path(ctx.InputPath).parent_path() / (base + ".h");
    if (StatRegularFile(neighbour.string())) st.Outcome = kWriteBuilt;
  }
  if (st.Outcome != kWriteBuilt) return RuleResult::Epilogue;
  ctx.UsesExtra += ", " + base;
  ctx.IncludeNames.Add(base);
  st.Built = "// " + ctx.CurrentLine;
  return RuleResult::Epilogue;
}

// The [INC] names of the cache named `name` in the first folder that holds it; null when no
// folder holds one.
std::shared_ptr<const ParsedIncludeCache> FindCache(const ConversionContext& ctx,
                                                    const std::string& name) {
  if (name == OwnCacheName(ctx)) return nullptr;
  for (const std::string& dir : ctx.Options.CacheDirs) {
    const std::string path = IncludeCachePath(dir, name);
    if (IncludeCacheMemo* memo = ctx.Options.CacheMemo) {
      if (auto parsed = memo->Get(path)) return parsed;
    } else if (StatRegularFile(path)) {
      return std::make_shared<const ParsedIncludeCache>(ParseIncludeCache(ReadCacheBytes(path)));
    }
  }
  return nullptr;
}

bool IncludeCacheNeeded(const ConversionContext& ctx) {
  // The program's own interface and class names count: a header that adds nothing still
  // gets its (empty) cache then.
  return (!ctx.PascalUnitName.empty() &&
          ctx.PascalUnitName != UnitNameOf(ctx.Defs, ctx.UnitName)) ||
         !(ctx.NewTypeIdx.empty() && ctx.NewPointerIdx.empty() && ctx.NewMakeIdx.empty() &&
           ctx.InterfaceNames.Empty() && ctx.ClassNames.Empty() && ctx.IncludeNames.Empty() &&
           ctx.NewFuncIdx.empty() && ctx.ReadyState.DeclaredOrder.empty());
}

std::string BuildIncludeCache(const ConversionContext& ctx) {
  std::string out;
  // A unit renamed for a name its header declares: the units that use it are told its name.
  if (!ctx.PascalUnitName.empty() && ctx.PascalUnitName != UnitNameOf(ctx.Defs, ctx.UnitName)) {
    AddEntry(out, "[UNIT]");
    AddEntry(out, ctx.PascalUnitName);
  }
  // Compiler-ready: the names the unit declares, in lower case, so that the units that
  // include it know what they may refer to. Before [TYPE], where a reader that does not
  // know the section passes the lines over.
  if (!ctx.ReadyState.DeclaredOrder.empty()) {
    AddEntry(out, "[NAME]");
    for (const std::string& name : ctx.ReadyState.DeclaredOrder) AddEntry(out, name);
  }
  AddEntry(out, "[TYPE]");
  for (int i : ctx.NewTypeIdx) AddEntry(out, ctx.TypeNames.Text(i) + "," + ctx.TypeValues.Text(i));
  AddEntry(out, "[POINTER]");
  for (int i : ctx.NewPointerIdx) {
    std::string line = ctx.PointeeTypes.Text(i) + "," + ctx.PointerTypes.Text(i);
    if (ctx.PointeeTypes.Tag(i) == 1) line += ",i";
    AddEntry(out, line);
  }
  AddEntry(out, "[INTERFACE]");
  for (int i : ctx.NewInterfaceIdx) AddEntry(out, ctx.InterfaceNames.Text(i));
  AddEntry(out, "[CLASS]");
  for (int i : ctx.NewClassIdx) AddEntry(out, ctx.ClassNames.Text(i));
  AddEntry(out, "[FUNC]");
  for (int i : ctx.NewFuncIdx) AddEntry(out, ctx.FuncNames.Text(i));
  AddEntry(out, "[MAKE]");
  for (int i : ctx.NewMakeIdx) AddEntry(out, ctx.MakeNames.Text(i) + "," + ctx.MakeValues.Text(i));
  AddEntry(out, "[INC]");
  for (const auto& e : ctx.IncludeNames.Entries()) AddEntry(out, e.Text);
  return out;
}

bool WriteIncludeCache(const ConversionContext& ctx, std::string& error) {
  const std::string name = IncludeBaseName(fs::path(ctx.InputPath).filename().string());
  const std::string path = IncludeCachePath(ctx.Options.CacheWriteDir, name);
  // A failure must not cost the conversion its unit: everything is caught and reported.
  try {
    const std::string text = BuildIncludeCache(ctx);
    // A cache that would come out the same is left alone: converting a header set again
    // would otherwise create and rename a file per header for nothing.
    if (!FileHolds(path, text)) {
      std::error_code ec;
      // The per-user cache folder may not exist yet, nor the folders above it.
      fs::create_directories(ctx.Options.CacheWriteDir, ec);
      if (ec) {
        error = "cannot write include cache " + path + ": " + ec.message();
        return false;
      }
      // Written beside and renamed over the old cache, so no reader ever sees half a file.
      if (FileResult written = WriteFileSafely(path, text); !written) {
        error = "cannot write include cache " + path + ": " + written.Reason();
        return false;
      }
    }
    if (IncludeCacheMemo* memo = ctx.Options.CacheMemo) {
      auto parsed = std::make_shared<const ParsedIncludeCache>(ParseIncludeCache(text));
      if (memo->Names().Built()) memo->Names().Add(name, *parsed);
      memo->Written(path, std::move(parsed));
    }
    return true;
  } catch (const std::exception& e) {
    error = "cannot write include cache " + path + ": " + e.what();
    return false;
  }
}

}  // namespace tqc
