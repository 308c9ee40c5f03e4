// Macros with parameters where an enumeration's members call them: kept when defined, written
// out like C's preprocessor does (arguments in place of the parameters, "#" and "##", the
// result read again for further calls), and the members' values then folded to numbers.
#include "compile_ready/enum_macros.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "compile_ready/declarations.h"
#include "context.h"
#include "dispatch.h"
#include "numbers.h"
#include "records.h"
#include "type_mapping.h"

namespace tqc {

namespace {

constexpr std::size_t kMaxTokens = 100'000;
constexpr int kMaxDepth = 64;

// "A##B" as three tokens, so that pasting sees the parts.
void SplitPastes(const std::string& tok, std::vector<std::string>& out) {
  if (tok == "##" || tok.find("##") == std::string::npos || tok[0] == '\'' || tok[0] == '"') {
    out.push_back(tok);
    return;
  }
  std::size_t from = 0;
  for (std::size_t at; (at = tok.find("##", from)) != std::string::npos; from = at + 2) {
    if (at > from) out.push_back(tok.substr(from, at - from));
    out.emplace_back("##");
  }
  if (from < tok.size()) out.push_back(tok.substr(from));
}

using Tokens = std::vector<std::string>;

// The arguments of a call whose "(" is at `open`; `close` gets the index of its ")". Nothing
// when the parentheses do not close.
std::optional<std::vector<Tokens>> Arguments(const Tokens& in, std::size_t open, std::size_t& close) {
  std::vector<Tokens> args(1);
  int depth = 0;
  for (std::size_t i = open; i < in.size(); ++i) {
    const std::string& tok = in[i];
    if (tok == "(") {
      if (depth++ == 0) continue;
    } else if (tok == ")") {
      if (--depth == 0) {
        close = i;
        if (args.size() == 1 && args[0].empty()) args.clear();
        return args;
      }
    } else if (tok == "," && depth == 1) {
      args.emplace_back();
      continue;
    }
    if (!IsCommentToken(tok)) args.back().push_back(tok);
  }
  return std::nullopt;
}

std::string Joined(const Tokens& t, const char* gap) {
  std::string s;
  for (const std::string& tok : t) {
    if (!s.empty()) s += gap;
    s += tok;
  }
  return s;
}

class Expander {
 public:
  explicit Expander(const CompileReadyState& state) : state_(state) {}

  // False when the output passes the limit or the macros nest too deep.
  bool Run(const Tokens& in, Tokens& out, std::vector<std::string>& active, int depth) {
    if (depth > kMaxDepth) return false;
    for (std::size_t i = 0; i < in.size(); ++i) {
      const std::string& tok = in[i];
      const auto macro = state_.FunctionMacros.find(tok);
      std::size_t close = 0;
      std::optional<std::vector<Tokens>> args;
      if (macro != state_.FunctionMacros.end() && i + 1 < in.size() && in[i + 1] == "(" &&
          std::find(active.begin(), active.end(), tok) == active.end())
        args = Arguments(in, i + 1, close);
      if (!args) {
        if (out.size() >= kMaxTokens) return false;
        out.push_back(tok);
        continue;
      }
      expanded_ = true;
      Tokens value = Substitute(macro->second, *args);
      active.push_back(tok);
      const bool fits = Run(value, out, active, depth + 1);
      active.pop_back();
      if (!fits) return false;
      i = close;
    }
    return true;
  }

  bool Expanded() const { return expanded_; }

 private:
  static Tokens Substitute(const FunctionMacro& m, const std::vector<Tokens>& args) {
    // Each parameter's tokens; "__VA_ARGS__" takes the arguments from its place on.
    std::vector<Tokens> values(m.Params.size());
    for (std::size_t p = 0; p < m.Params.size(); ++p) {
      const bool rest = m.Params[p] == "__VA_ARGS__";
      for (std::size_t a = p; a < args.size() && (rest || a == p); ++a) {
        if (a > p) values[p].emplace_back(",");
        values[p].insert(values[p].end(), args[a].begin(), args[a].end());
      }
    }
    auto argOf = [&](const std::string& name) -> const Tokens* {
      const auto at = std::find(m.Params.begin(), m.Params.end(), name);
      return at == m.Params.end() ? nullptr : &values[static_cast<std::size_t>(at - m.Params.begin())];
    };
    Tokens body;
    for (const std::string& tok : m.Body) SplitPastes(tok, body);
    Tokens out;
    bool paste = false;
    for (std::size_t b = 0; b < body.size(); ++b) {
      const std::string& tok = body[b];
      if (tok == "##") {
        paste = !out.empty();
        continue;
      }
      Tokens piece;
      if (tok == "#" && b + 1 < body.size() && argOf(body[b + 1])) {
        piece.push_back("'" + Joined(*argOf(body[++b]), " ") + "'");
      } else if (const Tokens* a = argOf(tok)) {
        piece = *a;
      } else {
        piece.push_back(tok);
      }
      if (paste && !piece.empty()) {
        out.back() += piece.front();
        out.insert(out.end(), piece.begin() + 1, piece.end());
      } else {
        out.insert(out.end(), piece.begin(), piece.end());
      }
      paste = false;
    }
    return out;
  }

  const CompileReadyState& state_;
  bool expanded_ = false;
};

// An integer type as the tables spell it in Pascal («culong», «DWORD»), as (bits, signed).
std::pair<int, bool> PascalInteger(const ConversionContext& ctx, const std::string& w) {
  struct Named {
    const char* Name;
    int Bits;
    bool Signed;
  };
  static const Named kNames[] = {
      {"cchar", 8, true},        {"cschar", 8, true},      {"cuchar", 8, false},
      {"cshort", 16, true},      {"cushort", 16, false},   {"cint", 32, true},
      {"cuint", 32, false},      {"clonglong", 64, true},  {"culonglong", 64, false},
      {"cint8", 8, true},        {"cuint8", 8, false},     {"cint16", 16, true},
      {"cuint16", 16, false},    {"cint32", 32, true},     {"cuint32", 32, false},
      {"cint64", 64, true},      {"cuint64", 64, false},   {"ShortInt", 8, true},
      {"Byte", 8, false},        {"SmallInt", 16, true},   {"Word", 16, false},
      {"Integer", 32, true},     {"LongInt", 32, true},    {"Cardinal", 32, false},
      {"LongWord", 32, false},   {"Int64", 64, true},      {"UInt64", 64, false},
      {"QWord", 64, false},      {"BYTE", 8, false},       {"UCHAR", 8, false},
      {"WORD", 16, false},       {"USHORT", 16, false},    {"SHORT", 16, true},
      {"DWORD", 32, false},      {"UINT", 32, false},      {"ULONG", 32, false},
      {"LONG", 32, true},        {"INT", 32, true},        {"ULONGLONG", 64, false},
      {"LONGLONG", 64, true},    {"DWORD64", 64, false},   {"AnsiChar", 8, true},
      {"Char", 8, true},         {"HRESULT", 32, true},    {"SCODE", 32, true}};
  for (const Named& n : kNames)
    if (w == n.Name) return {n.Bits, n.Signed};
  // long follows the target: 64 bits on the unix target, 32 on Windows.
  if (w == "clong") return {ctx.UnixTarget() ? 64 : 32, true};
  if (w == "culong") return {ctx.UnixTarget() ? 64 : 32, false};
  return {0, false};
}

// C's integer types by their words, as (bits, signed); bits 0: not such a type.
std::pair<int, bool> IntegerType(const ConversionContext& ctx, const Tokens& words) {
  int longs = 0, bits = 32;
  bool isSigned = true, any = false;
  for (const std::string& tok : words) {
    std::size_t from = 0;
    while (from < tok.size()) {
      std::size_t to = tok.find(' ', from);
      if (to == std::string::npos) to = tok.size();
      const std::string w = tok.substr(from, to - from);
      from = to + 1;
      if (w.empty()) continue;
      any = true;
      if (w == "unsigned") isSigned = false;
      else if (w == "signed" || w == "int" || w == "const") continue;
      else if (w == "long") ++longs;
      else if (w == "short") bits = 16;
      else if (w == "char") bits = 8;
      else if (w == "__int64") bits = 64;
      else if (const auto named = PascalInteger(ctx, w); named.first != 0) {
        if (words.size() != 1) return {0, false};
        return named;
      } else if (words.size() == 1 && IsKnownTypeName(ctx, w)) {
        return {64, true};  // a type of the headers («FT_UInt32»): the value as it is
      } else return {0, false};
    }
  }
  if (!any) return {0, false};
  if (longs >= 2) bits = 64;
  else if (longs == 1) bits = ctx.UnixTarget() ? 64 : 32;
  return {bits, isSigned};
}

long long Cast(long long v, std::pair<int, bool> type) {
  const auto [bits, isSigned] = type;
  if (bits >= 64) return v;
  const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
  std::uint64_t u = static_cast<std::uint64_t>(v) & mask;
  if (isSigned && (u >> (bits - 1)) != 0) u |= ~mask;
  return static_cast<long long>(u);
}

std::optional<long long> CNumber(std::string_view t) {
  while (!t.empty() && std::string_view("uUlL").find(t.back()) != std::string_view::npos)
    t.remove_suffix(1);
  if (t.empty() || !std::isdigit(static_cast<unsigned char>(t[0]))) return std::nullopt;
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  } else if (t.size() > 1 && t[0] == '0') {
    base = 8;
    t.remove_prefix(1);
  }
  std::uint64_t v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return std::nullopt;
    if (d >= base || v > (UINT64_MAX - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
      return std::nullopt;
    v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
  }
  return static_cast<long long>(v);
}

// 'c' and the simple escapes.
std::optional<long long> CharLiteral(std::string_view t) {
  if (t.size() < 3 || t.front() != '\'' || t.back() != '\'') return std::nullopt;
  t = t.substr(1, t.size() - 2);
  if (t.size() == 1) return static_cast<unsigned char>(t[0]);
  if (t == "''") return '\'';  // the quote doubled as Pascal writes it
  if (t.size() == 2 && t[0] == '\\') {
    switch (t[1]) {
      case '0': return 0;
      case 'n': return '\n';
      case 't': return '\t';
      case 'r': return '\r';
      case '\\': return '\\';
      case '\'': return '\'';
      default: return std::nullopt;
    }
  }
  return std::nullopt;
}

class Evaluator {
 public:
  Evaluator(const ConversionContext& ctx, const Tokens& t,
            const std::vector<std::pair<std::string, long long>>& known)
      : ctx_(ctx), t_(t), known_(known) {}

  std::optional<long long> Run() {
    std::optional<long long> v = Binary(0);
    if (!v || at_ != t_.size()) return std::nullopt;
    return v;
  }

 private:
  const std::string& Peek() const {
    static const std::string kEnd;
    return at_ < t_.size() ? t_[at_] : kEnd;
  }

  static int Precedence(const std::string& op) {
    if (op == "||") return 1;
    if (op == "&&") return 2;
    if (op == "|") return 3;
    if (op == "^") return 4;
    if (op == "&") return 5;
    if (op == "==" || op == "!=" || op == "=" || op == "<>") return 6;
    if (op == "<" || op == ">" || op == "<=" || op == ">=") return 7;
    if (op == "<<" || op == ">>") return 8;
    if (op == "+" || op == "-") return 9;
    if (op == "*" || op == "/" || op == "%") return 10;
    return 0;
  }

  std::optional<long long> Binary(int min) {
    std::optional<long long> a = Unary();
    while (a) {
      const std::string op = Peek();
      const int p = Precedence(op);
      if (p == 0 || p <= min) break;
      ++at_;
      const std::optional<long long> b = Binary(p);
      if (!b) return std::nullopt;
      a = Apply(*a, op, *b);
    }
    return a;
  }

  static std::optional<long long> Apply(long long a, const std::string& op, long long b) {
    const auto ua = static_cast<std::uint64_t>(a), ub = static_cast<std::uint64_t>(b);
    if (op == "+") return static_cast<long long>(ua + ub);
    if (op == "-") return static_cast<long long>(ua - ub);
    if (op == "*") return static_cast<long long>(ua * ub);
    if (op == "/" || op == "%") {
      if (b == 0 || (a == INT64_MIN && b == -1)) return std::nullopt;
      return op == "/" ? a / b : a % b;
    }
    if (op == "<<") return ub < 64 ? std::optional(static_cast<long long>(ua << ub)) : std::nullopt;
    if (op == ">>") return ub < 64 ? std::optional(a >> b) : std::nullopt;
    if (op == "&") return a & b;
    if (op == "|") return a | b;
    if (op == "^") return a ^ b;
    if (op == "&&") return (a != 0 && b != 0) ? 1 : 0;
    if (op == "||") return (a != 0 || b != 0) ? 1 : 0;
    if (op == "==" || op == "=") return a == b ? 1 : 0;
    if (op == "!=" || op == "<>") return a != b ? 1 : 0;
    if (op == "<") return a < b ? 1 : 0;
    if (op == ">") return a > b ? 1 : 0;
    if (op == "<=") return a <= b ? 1 : 0;
    if (op == ">=") return a >= b ? 1 : 0;
    return std::nullopt;
  }

  // The type words of a cast «(unsigned long)» at `at_`, which stands after the "(".
  std::optional<std::pair<int, bool>> CastType(std::size_t from, std::size_t& close) const {
    Tokens words;
    for (std::size_t i = from; i < t_.size(); ++i) {
      if (t_[i] == ")") {
        const auto type = IntegerType(ctx_, words);
        if (type.first == 0) return std::nullopt;
        close = i;
        return type;
      }
      words.push_back(t_[i]);
    }
    return std::nullopt;
  }

  std::optional<long long> Unary() {
    const std::string tok = Peek();
    if (tok == "-" || tok == "+" || tok == "~" || tok == "!") {
      ++at_;
      const std::optional<long long> v = Unary();
      if (!v) return std::nullopt;
      if (tok == "-") return static_cast<long long>(0 - static_cast<std::uint64_t>(*v));
      if (tok == "~") return ~*v;
      if (tok == "!") return *v == 0 ? 1 : 0;
      return v;
    }
    if (tok == "(") {
      std::size_t close = 0;
      if (const auto type = CastType(at_ + 1, close)) {
        at_ = close + 1;
        const std::optional<long long> v = Unary();
        return v ? std::optional(Cast(*v, *type)) : std::nullopt;
      }
      ++at_;
      const std::optional<long long> v = Binary(0);
      if (!v || Peek() != ")") return std::nullopt;
      ++at_;
      return v;
    }
    ++at_;
    if (auto n = CNumber(tok)) return n;
    if (auto c = CharLiteral(tok)) return c;
    if (!IsName(tok)) return std::nullopt;
    // A call of a macro not kept here: a cast when its first argument is a type.
    if (Peek() == "(") {
      std::size_t close = 0;
      const auto args = Arguments(t_, at_, close);
      if (!args || args->size() != 2) return std::nullopt;
      auto type = IntegerType(ctx_, (*args)[0]);
      // A type no header here declares, where the macro says it casts («X_CAST(FT_UInt32, a)»).
      if (type.first == 0 && (*args)[0].size() == 1 && IsName((*args)[0][0]) &&
          AsciiLowerCopy(tok).find("cast") != std::string::npos)
        type = {64, true};
      if (type.first == 0) return std::nullopt;
      const std::optional<long long> v = Evaluator(ctx_, (*args)[1], known_).Run();
      at_ = close + 1;
      return v ? std::optional(Cast(*v, type)) : std::nullopt;
    }
    for (auto it = known_.rbegin(); it != known_.rend(); ++it)
      if (it->first == tok) return it->second;
    if (const std::optional<int> v = ResolveValue(ctx_, tok)) return *v;
    return std::nullopt;
  }

  const ConversionContext& ctx_;
  const Tokens& t_;
  const std::vector<std::pair<std::string, long long>>& known_;
  std::size_t at_ = 0;
};

}  // namespace

void LearnFunctionMacro(ConversionContext& ctx) {
  LearnTableMacros(ctx);  // first, so that the header's definition replaces a table's
  const int n = ctx.TokCount();
  if (!ctx.Ready.ExpandsEnumMacros() || n < 4 || ctx.Tok(2) != "(" || InDeadBranch(ctx)) return;
  FunctionMacro m;
  int i = 3;
  for (; i < n && ctx.Tok(i) != ")"; ++i) {
    const std::string& p = ctx.Tok(i);
    if (p == ",") continue;
    if (p == "...") m.Params.emplace_back("__VA_ARGS__");
    else if (IsName(p)) m.Params.push_back(p);
    else return;  // not a parameter list this reading knows
  }
  if (i >= n) return;
  for (++i; i < n; ++i)
    if (!IsCommentToken(ctx.Tok(i))) m.Body.push_back(ctx.Tok(i));
  ctx.ReadyState.FunctionMacros[ctx.Tok(1)] = std::move(m);
}

namespace {

// C's tokens of a definition file's line: words and numbers, '…' and "…" literals, the
// operators of two characters, any other character alone.
Tokens CTokens(std::string_view text) {
  Tokens out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    std::size_t end = i + 1;
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
      while (end < text.size() &&
             (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
        ++end;
    } else if (c == '\'' || c == '"') {
      while (end < text.size() && text[end] != c) end += text[end] == '\\' ? 2 : 1;
      end = std::min(end + 1, text.size());
    } else if (end < text.size()) {
      static const std::string_view kPairs[] = {"<<", ">>", "<=", ">=", "==", "!=",
                                                "&&", "||", "##"};
      for (std::string_view pair : kPairs)
        if (text.substr(i, 2) == pair) end = i + 2;
    }
    std::string tok(text.substr(i, end - i));
    if (tok[0] == '"') tok = "'" + tok.substr(1, tok.size() - 2) + "'";
    out.push_back(std::move(tok));
    i = end;
  }
  return out;
}

}  // namespace

void LearnTableMacros(ConversionContext& ctx) {
  if (!ctx.Ready.ExpandsEnumMacros() || ctx.ReadyState.TableMacrosLearned) return;
  ctx.ReadyState.TableMacrosLearned = true;
  for (const auto& e : ctx.Defs.MacroTexts.Entries()) {
    const Tokens t = CTokens(e.Text);
    if (t.size() < 3 || !IsName(t[0]) || t[1] != "(") continue;
    FunctionMacro m;
    std::size_t i = 2;
    for (; i < t.size() && t[i] != ")"; ++i) {
      if (t[i] == ",") continue;
      if (!IsName(t[i])) break;
      m.Params.push_back(t[i]);
    }
    if (i >= t.size() || t[i] != ")") continue;
    m.Body.assign(t.begin() + static_cast<std::ptrdiff_t>(i) + 1, t.end());
    ctx.ReadyState.FunctionMacros.try_emplace(t[0], std::move(m));
  }
}

void ForgetFunctionMacro(ConversionContext& ctx, const std::string& name) {
  ctx.ReadyState.FunctionMacros.erase(name);
}

bool OpensEnumMacroCall(const ConversionContext& ctx, const std::vector<std::string>& tokens,
                        int start) {
  if (!ctx.Ready.ExpandsEnumMacros() || ctx.ReadyState.FunctionMacros.empty() || start < 0)
    return false;
  for (std::size_t i = static_cast<std::size_t>(start); i + 1 < tokens.size(); ++i) {
    if (tokens[i + 1] != "(" || !ctx.ReadyState.FunctionMacros.contains(tokens[i])) continue;
    std::size_t close = 0;
    if (!Arguments(tokens, i + 1, close)) return true;
    i = close;
  }
  return false;
}

bool ExpandEnumMacroCalls(const ConversionContext& ctx, std::vector<std::string>& tokens,
                          int start) {
  if (!ctx.Ready.ExpandsEnumMacros() || start < 0 ||
      static_cast<std::size_t>(start) > tokens.size())
    return false;
  const Tokens tail(tokens.begin() + start, tokens.end());
  Expander expander(ctx.ReadyState);
  Tokens out;
  std::vector<std::string> active;
  if (ctx.ReadyState.FunctionMacros.empty() || !expander.Run(tail, out, active, 0) ||
      !expander.Expanded())
    out = tail;
  // A macro defined as nothing («E_X RESERVED_SLOT,», «PRIVATE_TYPES» alone) stands for
  // nothing here either.
  // (Not a type: where the tables map a word to a type, «#define WINOLEAUTAPI» reads as
  // «#define HRESULT».)
  const auto empty = std::remove_if(out.begin(), out.end(), [&](const std::string& tok) {
    return ctx.Defs.EmptyMacros.Contains(tok) && !ctx.TypeNames.Contains(tok) &&
           !IsKnownTypeName(ctx, tok);
  });
  if (!expander.Expanded() && empty == out.end()) return false;
  out.erase(empty, out.end());
  tokens.resize(static_cast<std::size_t>(start));
  tokens.insert(tokens.end(), out.begin(), out.end());
  return true;
}

bool IsIntegerTypeName(const ConversionContext& ctx, const std::string& name) {
  return name != "Char" && name != "AnsiChar" && PascalInteger(ctx, name).first != 0;
}

bool CastsToInteger(const ConversionContext& ctx, const std::vector<std::string>& tokens) {
  for (std::size_t i = 0; i + 3 < tokens.size(); ++i)
    if (tokens[i] == "(" && tokens[i + 2] == ")" && IntegerType(ctx, {tokens[i + 1]}).first != 0)
      return true;
  return false;
}

std::optional<long long> EvaluateConstant(
    const ConversionContext& ctx, const std::vector<std::string>& tokens,
    const std::vector<std::pair<std::string, long long>>& known) {
  if (tokens.empty()) return std::nullopt;
  return Evaluator(ctx, tokens, known).Run();
}

}  // namespace tqc
