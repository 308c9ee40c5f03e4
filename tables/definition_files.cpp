// Readers of the definition files tqc.dat and tqc.typ, and the loading of all three files
// when the program starts. Malformed lines are ignored: the files are user-editable data.
#include "definition_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "replacements.h"

namespace tqc {

namespace {

bool IsSpace(unsigned char c) { return c >= 1 && c <= 32; }

bool IsCommentOrEmpty(const std::string& line) { return line.empty() || line[0] == ';'; }

}  // namespace

std::vector<std::string> SplitLines(std::string_view bytes) {
  const std::vector<std::string_view> views = SplitLineViews(bytes);
  return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string_view> SplitLineViews(std::string_view bytes) {
  std::vector<std::string_view> lines;
  const char* const data = bytes.data();
  const std::size_t n = bytes.size();
  // The next CR and the next LF at or after `start`, each searched for (with memchr) only when
  // the scan has passed it, so that files with one kind of break stay linear.
  auto next = [&](char c, std::size_t from) {
    const void* p = from < n ? std::memchr(data + from, c, n - from) : nullptr;
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - data) : n;
  };
  std::size_t start = 0;
  std::size_t cr = next('\r', 0), lf = next('\n', 0);
  while (start < n) {
    if (cr < start) cr = next('\r', start);
    if (lf < start) lf = next('\n', start);
    const std::size_t end = std::min(cr, lf);
    if (end == n) {
      lines.emplace_back(bytes.substr(start));
      break;
    }
    lines.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (end == cr && start == lf) ++start;  // CR LF is one break
  }
  return lines;
}

std::vector<std::string> SplitItems(std::string_view line) {
  // The line ends at a NUL byte: nothing after it is read as items.
  line = line.substr(0, line.find('\0'));
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = line.size();
  auto skipSpace = [&] {
    while (i < n && IsSpace(static_cast<unsigned char>(line[i]))) ++i;
  };
  skipSpace();
  while (i < n) {
    std::string item;
    if (line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += line[i++];
      }
    } else {
      while (i < n && line[i] != ',' && static_cast<unsigned char>(line[i]) > 32) item += line[i++];
    }
    items.push_back(std::move(item));
    skipSpace();
    if (i < n && line[i] == ',') {
      ++i;
      skipSpace();
      if (i == n) items.emplace_back();  // a comma at the very end adds a final empty item
    }
  }
  return items;
}

namespace {

// The header as the plain section's name: "[unix TYPE]" is "[TYPE]" on the target's pass and
// no section on the plain pass; a plain header is no section on the target's pass.
std::string SectionHeader(const std::string& line, std::string_view target) {
  const bool targeted = !target.empty() && line.size() > target.size() + 2 &&
                        line.compare(1, target.size(), target) == 0 &&
                        line[target.size() + 1] == ' ';
  if (targeted) return "[" + line.substr(target.size() + 2);
  return target.empty() ? line : std::string("[");
}

// Reads the target's sections, then the plain ones.
template <typename ReadPass>
bool ReadTargetThenPlain(std::string_view target, ReadPass readPass) {
  bool known = false;
  if (!target.empty()) known = readPass(target);
  return readPass(std::string_view()) || known;
}

}  // namespace

bool ReadDatText(DefinitionTables& t, std::string_view bytes, std::string_view target) {
  return ReadTargetThenPlain(target, [&](std::string_view pass) {
    TStringList2* section = nullptr;
    bool define = false, predefined = false, result = false, cast = false, known = false;
    bool headers = false, values = false, macros = false;
    for (const std::string& text : SplitLines(bytes)) {
      if (IsCommentOrEmpty(text)) continue;
      if (text[0] == '[') {
        const std::string line = SectionHeader(text, pass);
        define = predefined = result = cast = headers = values = macros = false;
        section = nullptr;
        if (line == "[export]")
          section = &t.ExportWords;
        else if (line == "[stdcall]")
          section = &t.StdcallWords;
        else if (line == "[pascal]")
          section = &t.PascalWords;
        else if (line == "[cdecl]")
          section = &t.CdeclWords;
        else if (line == "[register]")
          section = &t.RegisterWords;
        else if (line == "[skip]")
          section = &t.SkipWords;
        else if (line == "[define]")
          define = true;
        else if (line == "[target]")  // a target's own list replaces the plain one
          section = pass.empty() && t.TargetSymbols.Count() > 0 && !target.empty()
                        ? nullptr
                        : &t.TargetSymbols;
        else if (line == "[predefined]")
          predefined = true;
        else if (line == "[result]")
          result = true;
        else if (line == "[cast]")
          cast = true;
        else if (line == "[units]")
          section = &t.CompilerUnitNames;
        else if (line == "[uses]")
          section = &t.BaseUnitNames;
        else if (line == "[headers]")
          headers = true;
        else if (line == "[values]")
          values = true;
        else if (line == "[macros]")
          macros = true;
        known = known || section || define || predefined || result || cast || headers || values ||
                macros;
        continue;
      }
      const std::string& line = text;
      if (section) {
        section->Add(line);
      } else if (headers) {
        auto items = SplitItems(line);
        if (items.size() != 2) continue;
        t.HeaderNames.Add(items[0]);
        t.HeaderUnits.Add(items[1]);
      } else if (macros) {
        t.MacroTexts.Add(line);
      } else if (values) {
        auto items = SplitItems(line);
        if (items.size() != 2 || t.ValueNames.Contains(items[0])) continue;
        t.ValueNames.Add(items[0]);
        t.ValueValues.Add(items[1]);
      } else if (define || predefined || result || cast) {
        auto items = SplitItems(line);
        if (items.size() != 2) continue;
        TStringList2& names = define       ? t.DefineNames
                              : predefined ? t.PredefinedNames
                              : result     ? t.ResultNames
                                           : t.CastNames;
        TStringList2& values = define       ? t.DefineValues
                               : predefined ? t.PredefinedValues
                               : result     ? t.ResultValues
                                            : t.CastValues;
        names.Add(items[0]);
        values.Add(items[1]);
      }
    }
    return known;
  });
}

bool ParseTableInteger(std::string_view s, int& value) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  std::string_view v(s);
  v.remove_prefix(i);
  if (v.empty()) return false;
  unsigned long long acc = 0;
  auto hexDigits = [&](std::string_view d) {
    if (d.empty() || d.size() > 8) return false;
    for (char c : d) {
      int x;
      if (c >= '0' && c <= '9')
        x = c - '0';
      else if (c >= 'a' && c <= 'f')
        x = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        x = c - 'A' + 10;
      else
        return false;
      acc = acc * 16 + static_cast<unsigned>(x);
    }
    value = static_cast<int>(static_cast<unsigned int>(acc));
    return true;
  };
  if (v[0] == '$' || v[0] == 'x' || v[0] == 'X') return hexDigits(v.substr(1));
  if (v.size() > 1 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) return hexDigits(v.substr(2));
  bool neg = false;
  if (v[0] == '+' || v[0] == '-') {
    neg = v[0] == '-';
    v.remove_prefix(1);
  }
  if (v.empty()) return false;
  for (char c : v) {
    if (c < '0' || c > '9') return false;
    acc = acc * 10 + static_cast<unsigned>(c - '0');
    if (acc > 2147483648ULL) return false;
  }
  if (!neg && acc > 2147483647ULL) return false;
  value = neg ? static_cast<int>(-static_cast<long long>(acc)) : static_cast<int>(acc);
  return true;
}

bool ReadTypText(DefinitionTables& t, std::string_view bytes, std::string_view target) {
  return ReadTargetThenPlain(target, [&](std::string_view pass) {
    enum {
      None,
      Type,
      Pointer,
      Interface,
      Class,
      Const,
      ConstType,
      ConvertedOnly,
      ActiveX,
      ReadyType,
      WindowsUnit
    } section = None;
    bool known = false;
    for (const std::string& text : SplitLines(bytes)) {
      if (IsCommentOrEmpty(text)) continue;
      const std::string line = text[0] == '[' ? SectionHeader(text, pass) : text;
      if (line == "[TYPE]")
        section = Type;
      else if (line == "[POINTER]")
        section = Pointer;
      else if (line == "[INTERFACE]")
        section = Interface;
      else if (line == "[CLASS]")
        section = Class;
      else if (line == "[CONST]")
        section = Const;
      else if (line == "[CONST TYPE]")
        section = ConstType;
      else if (line == "[CONVERTED ONLY]")
        section = ConvertedOnly;
      else if (line == "[ACTIVEX TYPE]")
        section = ActiveX;
      else if (line == "[COMPILER-READY TYPE]")
        section = ReadyType;
      else if (line == "[WINDOWS UNIT]")
        section = WindowsUnit;
      else if (line[0] == '[')
        section = None;
      if (line[0] == '[') {
        known = known || section != None;
      } else {
        auto items = SplitItems(line);
        switch (section) {
          case Type:
            if (items.size() == 2) {
              t.TypeNames.Add(items[0]);
              t.TypeValues.Add(items[1]);
            }
            break;
          case ReadyType:
            if (items.size() == 2) {
              t.ReadyTypeNames.Add(items[0]);
              t.ReadyTypeValues.Add(items[1]);
            }
            break;
          case Pointer:
            if (items.size() == 2 || items.size() == 3) {
              t.PointeeTypes.Add(items[0], items.size() == 3 ? 1 : 0);
              t.PointerTypes.Add(items[1]);
            }
            break;
          case Interface:
            if (items.size() == 1) t.InterfaceNames.Add(items[0]);
            break;
          case Class:
            if (items.size() == 1) t.ClassNames.Add(items[0]);
            break;
          case Const: {
            int v;
            if (items.size() == 2 && ParseTableInteger(items[1], v)) t.ConstNames.Add(items[0], v);
            break;
          }
          case ConstType:
            if (items.size() == 2) {
              t.ConstTypeNames.Add(items[0]);
              t.ConstTypeValues.Add(items[1]);
            }
            break;
          case ConvertedOnly:
            if (items.size() == 1) t.ConvertedOnlyNames.Add(items[0]);
            break;
          case WindowsUnit:
            if (items.size() == 1 || (items.size() == 2 && items[1] == "type"))
              t.WindowsUnitNames.Add(items[0], items.size() == 2 ? 1 : 0);
            break;
          case ActiveX:
            if (items.size() == 1) t.ActiveXNames.Add(items[0]);
            break;
          case None:
            break;
        }
      }
    }
    return known;
  });
}

bool ReadExpText(DefinitionTables& t, std::string_view bytes) {
  int dll = -1;
  bool known = false, names = false;  // a [DLL] line; names before any
  for (std::string_view line : SplitLineViews(bytes)) {
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos || close < 2) {
        dll = -1;
        continue;
      }
      dll = t.ExportingDlls.Add(line.substr(1, close - 1));
      known = true;
    } else if (dll >= 0) {
      while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
      if (!line.empty()) t.ExportedNames.Add(line, dll);
    } else {
      names = true;
    }
  }
  return known || !names;
}

std::vector<std::string> LoadDefinitions(DefinitionTables& tables, const std::string& dir) {
  namespace fs = std::filesystem;
  const fs::path d(dir);
  return LoadDefinitions(tables,
                         DefinitionPaths{(d / "tqc.dat").string(), (d / "tqc.typ").string(),
                                         (d / "tqc.def").string(), (d / "tqc.exp").string(), ""});
}

std::vector<std::string> LoadDefinitions(DefinitionTables& tables, const DefinitionPaths& paths) {
  tables = DefinitionTables{};
  std::vector<std::string> warnings;
  std::string bytes;
  // Reads one file as a header is read (UTF-16 with its mark is transcoded, a file with NUL
  // bytes is no text); false when it is absent or (for tqc.def) unreadable.
  auto read = [&](const std::string& path, bool required) {
    if (path.empty()) return false;
    TextEncoding encoding;
    const FileResult r = ReadTextFile(path, bytes, encoding);
    if (r || r.Error == ENOENT) return bool(r);
    if (required) throw std::runtime_error(r.Message);
    warnings.push_back(r.Message);
    return false;
  };
  // A table with none of its sections is some other file (or an empty one): taken as it is,
  // every unit would come out wrong without a word.
  auto refuse = [](const std::string& path, const char* sections) {
    throw std::runtime_error(path + ": not a definition file: no line of it is a section such as " +
                             sections);
  };
  if (read(paths.Dat, true) && !ReadDatText(tables, bytes, paths.Target))
    refuse(paths.Dat, "[skip] or [stdcall]");
  if (read(paths.Typ, true) && !ReadTypText(tables, bytes, paths.Target))
    refuse(paths.Typ, "[TYPE] or [POINTER]");
  if (read(paths.Def, false))
    ReadReplacementText(bytes, tables.BaseReplacementNames, tables.BaseReplacementTemplates,
                        tables.BaseReplacementPointers);
  // Without it bindings name the header's DLL: a warning, not a refusal.
  if (paths.Target.empty() && read(paths.Exp, false) && !ReadExpText(tables, bytes))
    warnings.push_back(paths.Exp +
                       ": not a definition file: no line of it names a DLL such as [user32.dll]");
  tables.ReplacementNames = tables.BaseReplacementNames;
  tables.ReplacementTemplates = tables.BaseReplacementTemplates;
  tables.ReplacementPointers = tables.BaseReplacementPointers;
  return warnings;
}

}  // namespace tqc
