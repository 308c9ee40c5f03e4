// Replacement records: reading .def files (four record lines each: kind, count with pointer
// pairs, name, template) and expanding a record for one statement. The expansion is pure;
// the dispatch step that applies a record puts its effects on the conversion.
#include "replacements.h"

#include <limits>
#include <stdexcept>

namespace tqc {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the digit run at s[i...]; i moves past it. Saturates instead of overflowing: any
// number that large names no argument anyway.
long long ReadNumber(std::string_view s, std::size_t& i) {
  long long j = 0;
  while (i < s.size() && IsDigit(s[i])) {
    if (j < 1000000000LL) j = j * 10 + (s[i] - '0');
    ++i;
  }
  return j;
}

int KindOf(char c) {
  switch (c) {
    case 'X':
    case 'x':
      return static_cast<int>(ReplacementKind::X);
    case 'C':
    case 'c':
      return static_cast<int>(ReplacementKind::C);
    case 'T':
    case 't':
      return static_cast<int>(ReplacementKind::T);
    case 'V':
    case 'v':
      return static_cast<int>(ReplacementKind::V);
    case 'F':
    case 'f':
      return static_cast<int>(ReplacementKind::F);
    default:
      return -1;
  }
}

bool NeedsQuotes(const std::string& item) {
  if (item.empty()) return false;
  for (unsigned char c : item)
    if ((c >= 1 && c <= 32) || c == ',' || c == '"') return true;
  return false;
}

std::string QuoteItem(const std::string& item) {
  if (!NeedsQuotes(item)) return item;
  std::string out = "\"";
  for (char c : item) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

}  // namespace

void ReadReplacementText(std::string_view bytes, TStringList2& names, TStringList2& templates,
                         TStringList2& pointers) {
  int step = 0;  // which of the four record lines comes next
  int kind = -1;
  long long count = -1;
  std::string pointerText, name;
  for (const std::string& line : SplitLines(bytes)) {
    if (line.empty() || line[0] == ';') continue;
    switch (step) {
      case 0:
        kind = KindOf(line[0]);
        break;
      case 1: {
        std::vector<std::string> items = SplitItems(line);
        count = -1;
        int n;
        if (!items.empty() && ParseTableInteger(items[0], n)) count = n;
        pointerText.clear();
        for (std::size_t i = 1; i < items.size(); ++i) {
          if (i > 1) pointerText += ',';
          pointerText += QuoteItem(items[i]);
        }
        break;
      }
      case 2:
        name = line;
        break;
      case 3:
        // A negative count can never describe a call; it is as invalid as a non-number.
        if (kind >= 0 && count >= 0) {
          names.Add(name, static_cast<int>(count));
          templates.Add(line, kind);
          pointers.Add(pointerText);
        }
        break;
    }
    step = (step + 1) % 4;
  }
}

void LoadReplacementFile(const std::string& path, TStringList2& names, TStringList2& templates,
                         TStringList2& pointers) {
  std::string bytes;
  TextEncoding encoding;
  if (FileResult r = ReadTextFile(path, bytes, encoding); !r)
    throw std::runtime_error("cannot read definition file " + path + ": " + r.Reason());
  ReadReplacementText(bytes, names, templates, pointers);
}

void LoadUserReplacementFile(DefinitionTables& tables, const std::string& path) {
  // A previously loaded user file is forgotten first, also when this one cannot be read.
  tables.ReplacementNames = tables.BaseReplacementNames;
  tables.ReplacementTemplates = tables.BaseReplacementTemplates;
  tables.ReplacementPointers = tables.BaseReplacementPointers;
  LoadReplacementFile(path, tables.ReplacementNames, tables.ReplacementTemplates,
                      tables.ReplacementPointers);
}

Expansion ExpandReplacement(std::string_view templ, std::string_view pointerText, int argCount,
                            const TStringList2& tokens) {
  const Expansion failed{"\\", {}};
  std::string text;
  for (std::size_t i = 0; i < templ.size();) {
    const char c = templ[i];
    if (c != '$') {
      text += c;
      ++i;
      continue;
    }
    ++i;
    if (i == templ.size()) return failed;
    if (templ[i] == '$') {
      text += '$';
      ++i;
    } else if (templ[i] == 'n') {
      text += "\r\n";
      ++i;
    } else if (IsDigit(templ[i])) {
      const long long j = ReadNumber(templ, i);
      if (j > argCount) return failed;
      if (j >= 1) {
        text += tokens.Text(static_cast<int>(2 * j));
        continue;
      }
      for (const auto& e : tokens.Entries()) text += " " + e.Text;
    } else {
      // Any other character: the whole statement, then the character as ordinary text.
      for (const auto& e : tokens.Entries()) text += " " + e.Text;
    }
  }

  Expansion result{std::move(text), {}};
  std::string acc[2];
  int phase = 0;  // 0: pointee, 1: pointer
  auto completePair = [&] {
    if (!acc[0].empty() && !acc[1].empty()) result.PointerPairs.emplace_back(acc[0], acc[1]);
  };
  for (std::size_t i = 0; i < pointerText.size();) {
    const char c = pointerText[i];
    if (c == '$') {
      ++i;
      const long long j = ReadNumber(pointerText, i);
      if (j == 0) {
        acc[phase].clear();
      } else if (2 * j < tokens.Count()) {
        // Beyond the record's own arguments the reference still reads token 2j when the
        // statement has one; otherwise it adds nothing.
        acc[phase] += tokens.Text(static_cast<int>(2 * j));
      }
      continue;
    }
    ++i;
    if (c != ',') {
      acc[phase] += c;
    } else if (phase == 0) {
      phase = 1;
    } else {
      completePair();
      acc[0].clear();
      acc[1].clear();
      phase = 0;
    }
  }
  if (phase == 1) completePair();
  return result;
}

}  // namespace tqc
