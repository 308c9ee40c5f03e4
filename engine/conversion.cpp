// The conversion driver: unit head, loading (with the IDL pre-conversion), the source
// pre-pass, the line loop with its per-line failure handling, the unit tail and the
// include cache.
#include "conversion.h"

#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <unordered_set>

#include "compile_ready/stage.h"
#include "dispatch.h"
#include "failure.h"
#include "nested_records.h"
#include "routines.h"
#include "rules.h"
#include "tokenizer.h"
#include "type_mapping.h"

namespace tqc {

namespace fs = std::filesystem;

std::string FormatBannerDate(const BannerDate& date) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* month = (date.Month >= 1 && date.Month <= 12) ? kMonths[date.Month - 1] : "???";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2d %s %d", date.Day, month, date.Year);
  return buf;
}

static BannerDate FromTimeT(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return BannerDate{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

BannerDate TodayDate() { return FromTimeT(std::time(nullptr)); }

void WriteApplicationError(ConversionContext& ctx);

namespace {

std::string FileNameOf(const std::string& path) { return fs::path(path).filename().string(); }

std::string StemOf(const std::string& path) { return fs::path(path).stem().string(); }

// Registers a name found by the pre-pass in the list and its index list.
void Register(TStringList2& names, std::vector<int>& idx, const std::string& name) {
  if (name.empty()) return;
  idx.push_back(names.Count());
  names.Add(name);
}

std::string_view SkipBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

// Name after leading blanks, up to any of the stop characters.
std::string NameUpTo(std::string_view s, std::string_view stops) {
  s = SkipBlanks(s);
  std::size_t end = s.find_first_of(stops);
  return std::string(s.substr(0, end));
}

// A file name may hold line breaks; in the banner and the unit line they would start lines
// of their own, which are no comment and no Pascal.
std::string OnOneLine(std::string text, char instead) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = instead;
  return text;
}

void WriteHead(ConversionContext& ctx, const std::string& fileName, const BannerDate& fileDate) {
  OutputPane& pane = ctx.Pane;
  const BannerDate today = ctx.Options.Today ? *ctx.Options.Today : TodayDate();
  pane.Add("//  Version : tqc " + ctx.Options.VersionText);
  pane.Add("//     Date : " + FormatBannerDate(today));
  pane.Add("//   Source : " + OnOneLine(fileName, ' ') + " (" + FormatBannerDate(fileDate) + ")");
  pane.Add("");
  WriteBoldLine(ctx, "unit " + DeclaredName(ctx.PascalUnitName) + ";", 0, 4);
  pane.Add("");
  // Unix: C's own record layout and enumeration size, whatever the platform's C compiler is.
  pane.Add(ctx.UnixTarget() ? "{$X+}{$MINENUMSIZE 4}{$PACKRECORDS C}" : "{$X+}{$Z4}{$A8}");
  pane.Add("");
  WriteBoldLine(ctx, "interface", 0, 9);
  pane.Add("");
  // Remembered rather than counted, so that nothing depends on how many lines the head took.
  ctx.UsesLineIndex = pane.Add("uses Windows");
  pane.Add("");
}

// The unit converted from the header with file name stem `stem`, as its cache names it.
std::string UsedUnitName(const ConversionContext& ctx, std::string_view stem) {
  const std::shared_ptr<const ParsedIncludeCache> cache = FindCache(ctx, std::string(stem));
  return cache && !cache->Unit.empty() ? cache->Unit : UnitNameOf(ctx.Defs, stem);
}

// The uses line: Windows, the OLE unit when an interface was translated, then the units of
// the included headers. A compiler takes each unit once and never the unit itself, so a name
// met again (in any case) is left out, and an included header named like one of the three
// API units adds nothing (it is that unit's own header). No unit left: no uses line.
std::string UsesLine(const ConversionContext& ctx) {
  std::vector<std::string> names;
  auto add = [&](std::string_view name) {
    if (name.empty() || EqualsIgnoreCase(name, ctx.PascalUnitName)) return;
    for (std::string_view n : names)
      if (EqualsIgnoreCase(n, name)) return;
    names.emplace_back(name);
  };
  if (ctx.Defs.BaseUnitNames.Empty()) add("Windows");
  for (const auto& unit : ctx.Defs.BaseUnitNames.Entries()) add(unit.Text);
  if (ctx.UsesOle) add(ctx.Options.OleMode ? "Ole2" : "Activex");
  std::string_view extra = ctx.UsesExtra;
  while (!extra.empty()) {
    // UsesExtra holds ", name" per included header.
    std::size_t next = extra.find(", ", 2);
    std::string_view name = extra.substr(2, next == std::string_view::npos ? next : next - 2);
    extra.remove_prefix(next == std::string_view::npos ? extra.size() : next);
    if (!EqualsIgnoreCase(name, "Windows") && !EqualsIgnoreCase(name, "Activex") &&
        !EqualsIgnoreCase(name, "Ole2"))
      add(ctx.Defs.HeaderUnits.Contains(name) ? std::string(name) : UsedUnitName(ctx, name));
  }
  if (names.empty()) return std::string();
  std::string line = "uses ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) line += ", ";
    line += DeclaredName(names[i]);
  }
  return line + ";";
}

void WriteTail(ConversionContext& ctx) {
  OutputPane& pane = ctx.Pane;
  pane.Add("");
  WriteBoldLine(ctx, "implementation", 0, 14);
  pane.Add("");
  if (!ctx.DeferredConsts.Empty()) {
    WriteBoldLine(ctx, "const", 0, 5);
    for (const auto& e : ctx.DeferredConsts.Entries()) pane.Add(e.Text);
    pane.Add("");
  }
  WriteBoldLine(ctx, "end.", 0, 3);
}

}  // namespace

void WriteUsesLine(ConversionContext& ctx) {
  OutputPane& pane = ctx.Pane;
  const int uses = ctx.UsesLineIndex;
  pane.Replace(uses, UsesLine(ctx));
  if (!pane.Line(uses).empty()) pane.MarkLine(uses, 0, 4, TextStyle::Bold);
}

namespace {

constexpr int kMaxPendingTokens = 4096;

// Writes the statement in TokenList, which waits for more lines, as an error line.
void WriteWaitingStatement(ConversionContext& ctx) {
  if (!ctx.TokenList.Empty()) {
    Statement st;
    st.Outcome = 0;
    WriteOutcome(ctx, st);
  }
  ctx.Pending = false;
  ctx.RoutineTypedef = false;
}

// Ends a statement that waits for more lines as an error line: a star that waited for the
// next line's word is shown with it.
void FlushPending(ConversionContext& ctx) {
  if (ctx.PendingStar) ctx.TokenList.Add("*");
  ctx.PendingStar = false;
  WriteWaitingStatement(ctx);
}

// Whether the current line is a preprocessor directive that would be swallowed by a statement
// waiting for its ";". A macro call written without ";" (common in real headers) would
// otherwise take the "#endif" that follows it, and the unit's conditionals would no longer
// balance. A pending "}" keeps its directive: the frame writes it as "// }" and the directive.
bool StartsDirective(const ConversionContext& ctx) {
  if (ctx.InBlockComment || ctx.InString || ctx.InBrackets || ctx.BodyDepth > 0) return false;
  if (ctx.TokenList.Empty() || ctx.TokenList.Is(0, "}")) return false;
  std::string_view s = SkipBlanks(ctx.CurrentLine);
  return !s.empty() && s.front() == '#';
}

// A failure inside a line is marked and counted, and the conversion goes on: it always
// reaches its end. It is called inside the catch block: running out of memory ends the file
// instead, since no line of a unit is worth converting on without memory.
void RecordFailure(ConversionContext& ctx, std::vector<ConversionResult::Failure>& failures,
                   int lineNumber, const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e)) throw;
  WriteApplicationError(ctx);
  const bool unreadable = dynamic_cast<const UnreadableFile*>(&e) != nullptr;
  failures.push_back(
      {lineNumber, e.what(), dynamic_cast<const IntendedFailure*>(&e) != nullptr, unreadable});
}

// Translates the statement in TokenList and then those that followed it on its line, each
// with its own failure handling: a failure ends its statement, not the line.
void TranslateLine(ConversionContext& ctx, int lineNumber,
                   std::vector<ConversionResult::Failure>& failures) {
  std::deque<TStringList2::Entry>& following = ctx.FollowingTokens;
  for (;;) {
    const std::size_t queued = ctx.SourceLines.size();
    try {
      TranslateStatement(ctx);
      if (ctx.Retranslate) {
        TranslateStatement(ctx);
        ctx.Retranslate = false;
      }
      // A statement that never finds its end (unbalanced braces around a C++ block, a
      // missing ";") would be scanned again for every line it takes in; no declaration is
      // this long, so it is shown as an error line and the next line starts afresh.
      if (ctx.Pending && ctx.TokenList.Count() > kMaxPendingTokens) FlushPending(ctx);
    } catch (const std::exception& e) {
      RecordFailure(ctx, failures, lineNumber, e);  // the statement's failure only
    }
    if (following.empty()) return;
    // A statement that ends in ";" and still waits for more lines would take in every line
    // after it, to be cut off again at the same ";": it is shown as an error line, and what
    // followed it is translated on its own.
    if (ctx.Pending) WriteWaitingStatement(ctx);
    if (ctx.SourceLines.size() > queued) {
      // The statement put lines back to be read next: what followed it follows the last one.
      std::string rest;
      for (std::size_t i = 0; i < following.size(); ++i)
        (rest += ' ') += AsSource(following[i].Text, i + 1 == following.size());
      ctx.SourceLines.AppendToLine(ctx.SourceLines.size() - queued - 1, rest);
      following.clear();
      return;
    }
    ctx.TokenList.Clear();
    ctx.FunctionLikeDefine = false;  // only a line can begin with "#define"
    ctx.DefineName.clear();
    const int end = StatementEnd(
        static_cast<int>(following.size()),
        [&](int i) -> const std::string& { return following[static_cast<std::size_t>(i)].Text; });
    for (int i = 0; i < end; ++i) {
      ctx.TokenList.Add(std::move(following.front().Text), following.front().Tag);
      following.pop_front();
    }
  }
}

// The name of a "#define" line as written (blanks may stand around the "#"), and whether a
// "(" follows it with no blank between, the C form of a macro that takes parameters.
void ReadDefineHead(std::string_view line, ConversionContext& ctx) {
  ctx.DefineName.clear();
  ctx.FunctionLikeDefine = false;
  line = SkipBlanks(line);
  if (line.empty() || line.front() != '#') return;
  line = SkipBlanks(line.substr(1));
  if (!StartsWith(line, "define")) return;
  line.remove_prefix(6);
  const std::size_t name = line.find_first_not_of(" \t");
  if (name == 0 || name == std::string_view::npos) return;
  line.remove_prefix(name);
  const std::size_t end =
      line.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_$");
  ctx.DefineName = line.substr(0, end);
  ctx.FunctionLikeDefine = end != 0 && end != std::string_view::npos && line[end] == '(';
}

// What closes the Pascal comment that `lines` leave open at their end: "*)" or "}"; null when
// none is open. Strings and "//" comments end with their line.
const char* OpenCommentCloser(const std::vector<std::string>& lines) {
  enum { Code, Paren, Brace } state = Code;
  for (const std::string& line : lines) {
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      const char next = i + 1 < line.size() ? line[i + 1] : '\0';
      if (state == Paren) {
        if (c == '*' && next == ')') {
          state = Code;
          ++i;
        }
      } else if (state == Brace) {
        if (c == '}') state = Code;
      } else if (c == '/' && next == '/') {
        break;
      } else if (c == '(' && next == '*') {
        state = Paren;
        ++i;
      } else if (c == '{') {
        state = Brace;
      } else if (c == '\'') {
        const std::size_t end = line.find('\'', i + 1);
        if (end == std::string::npos) break;
        i = end;
      }
    }
  }
  return state == Paren ? "*)" : state == Brace ? "}" : nullptr;
}

// A macro whose line ends in "\\" inside a block comment goes on with the next line: the
// comment is part of it («#define M(x) ... \\» / «/* note \\» / « */ \\» / «more ...»). (After
// any other directive such a comment is only a comment.)
bool DirectiveGoesOnInComment(const ConversionContext& ctx) {
  if (!ctx.InBlockComment || ctx.TokenList.Empty() || ctx.TokenList.Text(0) != "#define")
    return false;
  const std::string& line = ctx.CurrentLine;
  std::size_t end = line.find_last_not_of(" \t\r\n");
  return end != std::string::npos && line[end] == '\\';
}

void RunLineLoop(ConversionContext& ctx, std::vector<ConversionResult::Failure>& failures) {
  const std::size_t total = ctx.SourceLines.size();
  std::size_t done = 0;
  std::size_t shownPercent = ~std::size_t{0};
  bool continued = false;  // the last line ended in "\"
  while (!ctx.SourceLines.empty()) {
    ctx.CurrentLine.assign(ctx.SourceLines.front());  // keeps the buffer of the last line
    ctx.SourceLines.pop_front();
    ctx.ReadyState.ReadingExpansion = ctx.ReadyState.ExpandedLines > 0;
    if (ctx.ReadyState.ExpandedLines > 0) --ctx.ReadyState.ExpandedLines;
    if (ctx.Pending && !continued && StartsDirective(ctx)) FlushPending(ctx);
    if (!ctx.Pending) {
      ctx.TokenList.Clear();
      ctx.PendingStar = false;  // a star waits for a word of its own statement only
      ReadDefineHead(ctx.CurrentLine, ctx);
    }
    continued = false;
    const int lineNumber = static_cast<int>(done + 1);
    try {
      TokenizeLine(ctx.CurrentLine, ctx);
      if (!ctx.TokenList.Empty() && ctx.TokenList.Last() == "\\") {
        continued = true;
        ctx.Pending = true;
        ctx.TokenList.Delete(ctx.TokenList.Count() - 1);
      } else if (DirectiveGoesOnInComment(ctx)) {
        continued = true;
        ctx.Pending = true;
      } else {
        // A star that no word followed on its line waits for the next line's word while its
        // statement goes on. A directive line is complete, and a star alone has no statement
        // to wait in: there it reaches the rules as a token of its own («#define LPX X*»).
        if (ctx.PendingStar && (ctx.TokenList.Empty() || StartsWith(ctx.TokenList.Text(0), "#"))) {
          // It stands where it was written: before the comments that end the line.
          int at = ctx.TokenList.Count();
          while (at > 0 && IsCommentToken(ctx.TokenList.Text(at - 1))) --at;
          ctx.TokenList.Insert(at, "*");
          ctx.PendingStar = false;
        }
        TranslateLine(ctx, lineNumber, failures);
        if (ctx.PendingStar && !ctx.Pending) {
          // A rule took the statement as complete without the star: it is shown, not lost.
          ctx.PendingStar = false;
          WriteErrorLine(ctx, " *");
        }
      }
    } catch (const std::exception& e) {
      RecordFailure(ctx, failures, lineNumber, e);
    }
    ++done;
    // The status text changes at most a hundred times; it is only rebuilt when it does.
    if (const std::size_t percent = done * 100 / total; percent != shownPercent) {
      shownPercent = percent;
      ctx.Host.ShowStatus(" Converting (h -> pas) ... (" + std::to_string(percent) + "%)");
    }
    ctx.Host.ProcessPendingEvents();
  }
  // A statement still waiting for its end when the file ends (an unfinished declaration, a
  // last line ending in "\") is shown as an error line rather than lost.
  if (ctx.Pending) FlushPending(ctx);
  // A comment (or a routine body carried as one) that the file never closes would take in the
  // unit's tail: it is closed here, and an error line says so. The unit's own lines tell
  // which comment is open, if any: one that came with a waiting statement is inside that
  // statement's error line.
  if (ctx.InBlockComment) {
    if (const char* closer = OpenCommentCloser(ctx.Pane.Lines())) {
      WriteLine(ctx, closer);
      const bool body = ctx.BodyDepth > 0 || std::string_view(closer) == "}";
      WriteErrorLine(ctx, body ? "the body above has no closing } in the file"
                               : "the comment above has no closing */ in the file");
    }
    ctx.InBlockComment = false;
    ctx.BodyDepth = 0;
  }
}

}  // namespace

void WriteApplicationError(ConversionContext& ctx) {
  std::size_t pos = ctx.Pane.TextLength();
  ctx.Pane.Add("// Application Error : ");
  ctx.Pane.MarkRange(pos + 3, 17, TextStyle::Red);
  ++ctx.ErrorCount;
}

namespace {

// The DLL the routines a header names agree on: every name followed by "(" that the tables
// know as an exported function counts; one DLL for all of them is offered for the bindings.
std::string AgreedDll(const ConversionContext& ctx) {
  const TStringList2& names = ctx.Defs.ExportedNames;
  if (names.Empty()) return {};
  int agreed = -1;
  for (std::string_view line : ctx.SourceLines) {
    for (std::size_t p = 0; p < line.size();) {
      const char c = line[p];
      if (!(std::isalpha(static_cast<unsigned char>(c)) || c == '_')) {
        ++p;
        continue;
      }
      std::size_t end = p;
      while (end < line.size() &&
             (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_'))
        ++end;
      std::size_t after = end;
      while (after < line.size() && (line[after] == ' ' || line[after] == '\t')) ++after;
      if (after < line.size() && line[after] == '(') {
        const int i = names.FindExact(line.substr(p, end - p));
        if (i >= 0) {
          const int dll = names.Tag(i);
          if (agreed >= 0 && dll != agreed) return {};
          agreed = dll;
        }
      }
      p = end;
    }
  }
  return agreed >= 0 && agreed < ctx.Defs.ExportingDlls.Count()
             ? ctx.Defs.ExportingDlls.Text(agreed)
             : std::string();
}

}  // namespace

// Definitions nested in records become types of their own, before the rules read a line.
void HoistNested(SourceQueue& src) {
  std::string text;
  for (std::string_view line : src) (text += line) += '\n';
  const std::string hoisted = HoistNestedDefinitions(text);
  if (hoisted.empty()) return;
  std::deque<std::string_view> lines;
  const std::string_view all = src.Own(hoisted);
  for (std::string_view line : SplitLineViews(all)) lines.push_back(line);
  src.Select(std::move(lines));
}

void PrepareSource(ConversionContext& ctx) {
  ctx.OfferedDll = ctx.UnixTarget() ? std::string() : AgreedDll(ctx);
  ctx.InterfaceNames = ctx.Defs.InterfaceNames;
  ctx.ClassNames = ctx.Defs.ClassNames;
  const bool resolve = ctx.Options.DefineCplusplus;
  CplusplusState state;
  std::deque<std::string_view> kept;
  auto& src = ctx.SourceLines;
  for (std::size_t i = 0; i < src.size(); ++i) {
    const std::string_view line = src[i];
    if (resolve) {
      CplusplusAction a = ResolveCplusplusLine(line, state);
      if (a == CplusplusAction::Delete) continue;
      if (a == CplusplusAction::KeepDirective) {
        kept.push_back(line);
        continue;
      }
    }
    std::string_view s = SkipBlanks(line);
    if (StartsWith(s, "DECLARE_INTERFACE_")) {
      std::size_t open = s.find('(');
      if (open != std::string_view::npos)
        Register(ctx.InterfaceNames, ctx.NewInterfaceIdx, NameUpTo(s.substr(open + 1), " \t,"));
    } else if (StartsWith(s, "class") && s.size() > 5 && (s[5] == ' ' || s[5] == '\t')) {
      Register(ctx.ClassNames, ctx.NewClassIdx, NameUpTo(s.substr(5), " \t:"));
    } else if (StartsWith(s, "interface DECLSPEC_UUID") || StartsWith(s, "MIDL_INTERFACE")) {
      kept.push_back(line);
      if (i + 1 < src.size()) {
        ++i;  // the name line is taken as it is and the walk goes on after it
        Register(ctx.InterfaceNames, ctx.NewInterfaceIdx, NameUpTo(src[i], " \t:"));
        kept.push_back(src[i]);
      }
      continue;
    }
    kept.push_back(line);
  }
  src.Select(std::move(kept));
  HoistNested(src);
}

ConversionResult ConvertText(const std::string& path, std::string_view bytes,
                             const BannerDate& fileDate, DefinitionTables& tables,
                             const ConversionOptions& options, ConversionHost& host,
                             OutputPane& pane) {
  ConversionContext ctx(tables, options, pane, host);
  const std::string fileName = FileNameOf(path);
  ctx.InputPath = path;
  ctx.UnitName = StemOf(path);
  ctx.PascalUnitName = UnitNameOfHeader(tables, options, ctx.UnitName, bytes);
  ctx.CopyTables();
  // Types the compiler's own Windows units spell otherwise («DISPID»: TDispID).
  if (ctx.Ready.SpellsTypesAsCompilerUnits() && !ctx.UnixTarget()) {
    for (int i = 0; i < tables.ReadyTypeNames.Count() && i < tables.ReadyTypeValues.Count(); ++i) {
      if (ctx.TypeNames.Contains(tables.ReadyTypeNames.Text(i))) continue;
      ctx.TypeNames.Add(tables.ReadyTypeNames.Text(i));
      ctx.TypeValues.Add(tables.ReadyTypeValues.Text(i));
    }
  }
  host.ShowStatus(" Converting (h -> pas) ...");
  pane.Clear();
  WriteHead(ctx, fileName, fileDate);

  std::string ext = fs::path(path).extension().string();
  if (EqualsIgnoreCase(ext, ".idl")) {
    for (std::string& line : ConvertIdl(SplitLines(bytes), host))
      ctx.SourceLines.push_back(std::move(line));
  } else {
    for (std::string_view line : SplitLineViews(bytes)) ctx.SourceLines.push_back_view(line);
  }
  if (ctx.Ready.Active()) RunInputPasses(ctx);
  PrepareSource(ctx);
  ConversionResult result;
  RunLineLoop(ctx, result.Failures);
  WriteTail(ctx);
  if (ctx.Ready.Active())
    RunUnitPasses(ctx);  // writes the uses line once it has settled the units
  else
    WriteUsesLine(ctx);

  result.UnitName = ctx.PascalUnitName;
  result.ErrorCount = ctx.ErrorCount;
  if (IncludeCacheNeeded(ctx)) {
    if (options.CacheWriteDir.empty()) {
      result.CacheNotKept = true;
    } else {
      std::string error;
      result.CacheWritten = WriteIncludeCache(ctx, error);
      result.CacheError = error;
    }
  }
  host.ShowStatus(" Error = " + std::to_string(ctx.ErrorCount));
  return result;
}

std::string UnitNameOfHeader(const DefinitionTables& defs, const ConversionOptions& options,
                             const std::string& stem, std::string_view bytes) {
  std::string name = UnitNameOf(defs, stem);
  if (options.Platform != Target::Unix) return name;
  // The words of the code: comments, strings, characters and directive lines left out.
  enum { Code, Block, Line, Quote } state = Code;
  char quote = 0;
  bool lineStart = true, directive = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    const char next = i + 1 < bytes.size() ? bytes[i + 1] : '\0';
    if (c == '\n') {
      if (state == Line) state = Code;
      if (!(i > 0 && bytes[i - 1] == '\\')) directive = false;
      lineStart = true;
      continue;
    }
    if (state == Block) {
      if (c == '*' && next == '/') {
        state = Code;
        ++i;
      }
    } else if (state == Quote) {
      if (c == '\\')
        ++i;
      else if (c == quote)
        state = Code;
    } else if (state == Code) {
      if (c == '/' && next == '*') {
        state = Block;
        ++i;
      } else if (c == '/' && next == '/') {
        state = Line;
      } else if (c == '"' || c == '\'') {
        state = Quote;
        quote = c;
      } else if (c == '#' && lineStart) {
        directive = true;
      } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
        std::size_t end = i;
        while (end < bytes.size() &&
               (std::isalnum(static_cast<unsigned char>(bytes[end])) || bytes[end] == '_'))
          ++end;
        if (!directive && EqualsIgnoreCase(bytes.substr(i, end - i), name)) return name + "_h";
        i = end - 1;
      }
      if (c != ' ' && c != '\t') lineStart = false;
    }
  }
  return name;
}

LoadedHeader LoadHeader(const std::string& path) {
  LoadedHeader h;
  if (FileResult r = ReadTextFile(path, h.Bytes, h.Encoding); !r)
    throw std::runtime_error(r.Message);
  h.FileDate = TodayDate();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) h.FileDate = FromTimeT(st.st_mtime);
  return h;
}

ConversionResult ConvertHeader(const std::string& path, DefinitionTables& tables,
                               const ConversionOptions& options, ConversionHost& host,
                               OutputPane& pane) {
  const LoadedHeader header = LoadHeader(path);
  ConversionResult result =
      ConvertText(path, header.Bytes, header.FileDate, tables, options, host, pane);
  result.Encoding = header.Encoding;
  return result;
}

}  // namespace tqc
