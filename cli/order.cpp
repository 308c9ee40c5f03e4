// The base-first order of tqc-convert --order: every header after the headers it includes
// among the given ones, so that their include caches exist when it is converted.
#include <algorithm>
#include <filesystem>
#include <set>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "cli_options.h"
#include "engine/includes.h"
#include "tables/file_io.h"

namespace tqc {

namespace fs = std::filesystem;

namespace {

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// The name in «"name"» or «<name>» at the start of s (after blanks), or empty.
std::string_view QuotedName(std::string_view s) {
  s = SkipBlanks(s);
  if (s.empty() || (s.front() != '"' && s.front() != '<')) return {};
  const char close = s.front() == '"' ? '"' : '>';
  s.remove_prefix(1);
  std::size_t end = s.find(close);
  return end == std::string_view::npos ? std::string_view() : s.substr(0, end);
}

// The included name on one line: «#include "name"» or «#include <name>», or for IDL the first
// name of an "import" line; empty when there is none.
std::string_view IncludedName(std::string_view line) {
  line = SkipBlanks(line);
  if (!line.empty() && line.front() == '#') {
    line = SkipBlanks(line.substr(1));
    if (line.starts_with("include")) return QuotedName(line.substr(7));
  } else if (line.starts_with("import ")) {
    std::size_t q = line.find('"');
    if (q != std::string_view::npos) return QuotedName(line.substr(q));
  }
  return {};
}

struct Included {
  std::string Name;
  bool Trailing;  // nothing but directives, comments and blank lines follow it
};

// Base names (lower case) of the headers a file includes: its "#include" lines and, for IDL,
// its "import" lines (only the first name, as the IDL pre-conversion takes it). Conditionals
// and comments are not looked at; a file the converter would not read (unreadable, no regular
// file, too large) includes nothing: its conversion reports it. The file is read a piece at a
// time and only the start of each line is kept.
std::vector<Included> IncludedBaseNames(const std::string& path) {
  constexpr std::size_t kLineStart = 4096;
  std::vector<Included> names;
  std::size_t trailingFrom = 0;  // the includes from here on have only directives after them
  bool declares = false;
  std::string line;
  auto endLine = [&] {
    const std::string_view text = SkipBlanks(line);
    // The closing brace of an extern "C" block declares nothing either.
    const bool code = !text.empty() && text.front() != '#' && !text.starts_with("//") &&
                      !text.starts_with("/*") && !text.starts_with("*") && !text.starts_with("}");
    if (code) {
      trailingFrom = names.size() + (text.starts_with("import ") ? 1 : 0);
      declares = declares || !text.starts_with("extern ");
    }
    const std::string_view name = IncludedName(line);
    if (!name.empty()) names.push_back({LowerAscii(IncludeBaseName(name)), false});
    line.clear();
  };
  const FileResult read = ReadFilePieces(path, [&](std::string_view text) {
    // The next LF and the next CR of the piece, each looked for again only once passed: a
    // file with LF line ends has no CR, and looking for one at every line would read the
    // rest of the piece each time.
    std::size_t lf = text.find('\n'), cr = text.find('\r');
    for (std::size_t at = 0; at < text.size();) {
      if (lf != std::string_view::npos && lf < at) lf = text.find('\n', at);
      if (cr != std::string_view::npos && cr < at) cr = text.find('\r', at);
      const std::size_t eol = std::min(lf, cr);
      const std::string_view part = text.substr(at, eol == std::string_view::npos ? eol : eol - at);
      if (line.size() < kLineStart) line.append(part.substr(0, kLineStart - line.size()));
      if (eol == std::string_view::npos) break;
      endLine();
      at = eol + 1;
    }
  });
  if (!read) return {};
  endLine();
  // A header with no declaration of its own (a wrapper around its includes) continues nothing.
  if (!declares) return names;
  for (std::size_t i = trailingFrom; i < names.size(); ++i) names[i].Trailing = true;
  return names;
}

// Strongly connected components of the include graph (iterative Tarjan, so long include
// chains cannot exhaust the stack). Returns the component of every file.
std::vector<int> Components(const std::vector<std::vector<int>>& deps, int& count) {
  const int n = static_cast<int>(deps.size());
  std::vector<int> index(n, -1), low(n, 0), comp(n, -1), stack;
  std::vector<char> onStack(n, 0);
  struct Frame {
    int V;
    std::size_t Next;
  };
  int counter = 0;
  count = 0;
  for (int s = 0; s < n; ++s) {
    if (index[s] != -1) continue;
    std::vector<Frame> call;
    auto enter = [&](int v) {
      index[v] = low[v] = counter++;
      stack.push_back(v);
      onStack[v] = 1;
      call.push_back({v, 0});
    };
    enter(s);
    while (!call.empty()) {
      const int v = call.back().V;
      if (call.back().Next < deps[v].size()) {
        const int w = deps[v][call.back().Next++];
        if (index[w] == -1)
          enter(w);
        else if (onStack[w])
          low[v] = std::min(low[v], index[w]);
        continue;
      }
      if (low[v] == index[v]) {
        int w;
        do {
          w = stack.back();
          stack.pop_back();
          onStack[w] = 0;
          comp[w] = count;
        } while (w != v);
        ++count;
      }
      call.pop_back();
      if (!call.empty()) low[call.back().V] = std::min(low[call.back().V], low[v]);
    }
  }
  return comp;
}

}  // namespace

std::vector<std::string> OrderBaseFirst(const std::vector<std::string>& files, bool trailingAfter) {
  const int n = static_cast<int>(files.size());
  // Matched by base name ignoring case, as Windows file names are.
  std::unordered_map<std::string, std::vector<int>> byName;
  for (int i = 0; i < n; ++i)
    byName[LowerAscii(IncludeBaseName(fs::path(files[i]).filename().string()))].push_back(i);

  std::vector<std::vector<int>> deps(n);
  // Compiler-ready: headers an includer takes in one after the other (rpc.h: rpcdce.h, then
  // rpcnsi.h, which uses what rpcdce.h declares) keep that order where it makes no cycle.
  std::vector<std::pair<int, int>> siblings;
  for (int i = 0; i < n; ++i) {
    int previous = -1;
    for (const Included& inc : IncludedBaseNames(files[i])) {
      auto it = byName.find(inc.Name);
      if (it == byName.end()) continue;
      if (trailingAfter && !inc.Trailing && it->second.size() == 1 && it->second[0] != i) {
        if (previous >= 0 && previous != it->second[0])
          siblings.emplace_back(previous, it->second[0]);
        previous = it->second[0];
      }
      // A header included at the very end continues its includer: it comes after it.
      for (int j : it->second) {
        if (j == i) continue;
        if (trailingAfter && inc.Trailing)
          deps[j].push_back(i);
        else
          deps[i].push_back(j);
      }
    }
  }
  // Whether `from` depends on `to`, directly or through others.
  std::vector<int> seen(n, -1);
  int walk = 0;
  auto reaches = [&](int from, int to) {
    std::vector<int> todo{from};
    ++walk;
    seen[from] = walk;
    while (!todo.empty()) {
      const int at = todo.back();
      todo.pop_back();
      if (at == to) return true;
      for (int d : deps[at])
        if (seen[d] != walk) {
          seen[d] = walk;
          todo.push_back(d);
        }
    }
    return false;
  };
  for (const auto& [earlier, later] : siblings)
    if (!reaches(earlier, later)) deps[later].push_back(earlier);
  for (int i = 0; i < n; ++i) {
    std::sort(deps[i].begin(), deps[i].end());
    deps[i].erase(std::unique(deps[i].begin(), deps[i].end()), deps[i].end());
  }

  // Files of one cycle stay together in the given order; the components are emitted as soon
  // as everything they include is out, the earliest given first.
  int count = 0;
  const std::vector<int> comp = Components(deps, count);
  std::vector<std::vector<int>> members(count), dependents(count);
  std::vector<int> waiting(count, 0), first(count, n);
  for (int i = 0; i < n; ++i) {
    members[comp[i]].push_back(i);
    first[comp[i]] = std::min(first[comp[i]], i);
  }
  for (int c = 0; c < count; ++c) {
    std::vector<int> on;
    for (int i : members[c])
      for (int j : deps[i])
        if (comp[j] != c) on.push_back(comp[j]);
    std::sort(on.begin(), on.end());
    on.erase(std::unique(on.begin(), on.end()), on.end());
    waiting[c] = static_cast<int>(on.size());
    for (int d : on) dependents[d].push_back(c);
  }
  std::set<std::pair<int, int>> ready;  // (first given index, component)
  for (int c = 0; c < count; ++c)
    if (waiting[c] == 0) ready.insert({first[c], c});
  std::vector<std::string> ordered;
  ordered.reserve(files.size());
  while (!ready.empty()) {
    const int c = ready.begin()->second;
    ready.erase(ready.begin());
    for (int i : members[c]) ordered.push_back(files[i]);
    for (int d : dependents[c])
      if (--waiting[d] == 0) ready.insert({first[d], d});
  }
  return ordered;
}

}  // namespace tqc
