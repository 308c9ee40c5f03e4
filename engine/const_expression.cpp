// TranslateConstExpression: the value part of a #define that no shape rule of the macro
// translation claimed, as a Pascal constant declaration. The C operators are respelled token
// by token; a value of the form "(a op b)" with two numbers is folded to its 32-bit result
// so that later lines can resolve the constant.
#include <cctype>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compile_ready/declarations.h"
#include "dispatch.h"
#include "failure.h"
#include "numbers.h"
#include "type_mapping.h"

namespace tqc {

namespace {

// Signed 32-bit arithmetic with wrap-around, done on the unsigned pattern so that overflow is
// defined.
std::int32_t Apply(std::int32_t a, FoldOperator op, std::int32_t b) {
  const auto ua = static_cast<std::uint32_t>(a);
  const auto ub = static_cast<std::uint32_t>(b);
  switch (op) {
    case FoldOperator::Add:
      return static_cast<std::int32_t>(ua + ub);
    case FoldOperator::Subtract:
      return static_cast<std::int32_t>(ua - ub);
    case FoldOperator::Multiply:
      return static_cast<std::int32_t>(ua * ub);
    case FoldOperator::Divide:
      if (b == 0) throw IntendedFailure("division by zero in a constant expression");
      if (a == INT32_MIN && b == -1) return INT32_MIN;  // the one quotient that wraps
      return a / b;
    case FoldOperator::ShiftRight:
      return static_cast<std::int32_t>(ua >> (ub & 31u));
    case FoldOperator::ShiftLeft:
      return static_cast<std::int32_t>(ua << (ub & 31u));
    case FoldOperator::None:
      break;
  }
  return a;
}

bool IsArithmetic(const std::string& u) { return u == "+" || u == "-" || u == "*" || u == "/"; }

FoldOperator ArithmeticOperator(const std::string& u) {
  if (u == "+") return FoldOperator::Add;
  if (u == "-") return FoldOperator::Subtract;
  if (u == "*") return FoldOperator::Multiply;
  return FoldOperator::Divide;
}

// A comment the tokenizer delivered as one token ("// ..." or "(* ... *)"). Single "/" and
// "(" are operators and punctuation, not comments.
bool IsCommentToken(const std::string& u) { return u.size() >= 2 && (u[0] == '/' || u[0] == '('); }

}  // namespace

// Names never fold, even known constants: only literal numbers are loaded.
void ConstFolder::LoadFirstOperand(const std::string& t) {
  if (FoldState != 0) {
    FoldState = -1;
    return;
  }
  if (auto v = ParseInteger(ConvertNumber(t))) {
    Value = *v;
    FoldState = 1;
  } else {
    FoldState = -1;
  }
}

void ConstFolder::SetOperator(FoldOperator op) {
  if (FoldState != -1) Pending = op;
}

void ConstFolder::ApplyOperator(const std::string& t) {
  std::optional<int> b;
  if (FoldState == 1) b = ParseInteger(ConvertNumber(t));
  if (!b || Pending == FoldOperator::None) {
    FoldState = -1;
    return;
  }
  Value = Apply(Value, Pending, *b);
  FoldState = 2;
}

namespace {

bool IsOperandToken(const std::string& t) {
  if (t.empty()) return false;
  const unsigned char c = static_cast<unsigned char>(t[0]);
  return std::isalnum(c) || c == '_' || c == '$' || c == '\'' ||
         (c == '-' && t.size() > 1 && std::isdigit(static_cast<unsigned char>(t[1])));
}

// Compiler-ready: a C cast "( T ) x" of a type and one operand becomes the Pascal typecast
// "T(x)", one token, inner casts first ("(HANDLE)(LONG_PTR)-1" is HANDLE(LONG_PTR(-1))).
void GlueCasts(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  // C's "~x" (the tokenizer keeps it with its operand) is Pascal's "not x".
  for (int i = 2; i < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    if (tok.size() > 1 && tok[0] == '~' && IsOperandToken(tok.substr(1)))
      t.SetText(i, ConvertConstOperand(tok, true));
  }
  // "sizeof ( T )" of a type is Pascal's SizeOf(T), which a constant expression may use (of
  // a string constant it would not count the same bytes).
  for (int i = 2; i + 3 < t.Count(); ++i) {
    // A product's star stays glued to it, as the tokenizer left it ("38 *sizeof").
    const std::string& word = t.Text(i);
    const bool star = StartsWith(word, "*");
    if (!EqualsIgnoreCase(std::string_view(word).substr(star ? 1 : 0), "sizeof") ||
        !t.Is(i + 1, "(") || !t.Is(i + 3, ")") ||
        !(IsKnownTypeName(ctx, t.Text(i + 2)) ||
          ctx.ReadyState.DeclaredTypes.contains(AsciiLowerCopy(t.Text(i + 2)))))
      continue;
    t.SetText(i, (star ? "*SizeOf(" : "SizeOf(") + t.Text(i + 2) + ")");
    for (int k = i + 3; k > i; --k) t.Delete(k);
  }
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 2; i + 3 < t.Count(); ++i) {
      if (!t.Is(i, "(") || !t.Is(i + 2, ")")) continue;
      // A cast of a parenthesized value goes: a constant takes the type of its value.
      if (t.Is(i + 3, "(") &&
          (IsKnownTypeName(ctx, t.Text(i + 1)) || t.Text(i + 1).ends_with("*"))) {
        for (int k = 0; k < 3; ++k) t.Delete(i);
        changed = true;
        continue;
      }
      std::string type = t.Text(i + 1);
      if (type.ends_with("*")) {
        type.pop_back();
        type = ctx.VoidNames.Contains(type) ? "Pointer" : PointerTypeOf(ctx, type);
      } else if (const int w = ctx.UnixTarget() ? -1 : ctx.Defs.WindowsUnitNames.FindExact(type);
                 !IsKnownTypeName(ctx, type) && (w < 0 || ctx.Defs.WindowsUnitNames.Tag(w) != 1)) {
        continue;
      }
      std::string operand = t.Text(i + 3);
      int last = i + 3;
      if (operand == "-" && i + 4 < t.Count() && IsOperandToken(t.Text(i + 4))) {
        operand = "-" + ConvertConstOperand(t.Text(i + 4), true);
        last = i + 4;
      } else if (IsOperandToken(operand)) {
        operand = ConvertConstOperand(operand, true);
      } else {
        continue;
      }
      t.SetText(i, type + "(" + operand + ")");
      for (int k = last; k > i; --k) t.Delete(k);
      changed = true;
    }
  }
  // Pascal has no arithmetic on enumeration members: in an operation they count as numbers.
  bool operation = false;
  for (int i = 2; i < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    operation = operation || tok == "|" || tok == "&" || tok == "+" || tok == "-" || tok == "<<" ||
                tok == ">>" || StartsWith(tok, "*");
  }
  for (int i = 2; operation && i < t.Count(); ++i)
    if (ctx.ReadyState.EnumMembers.contains(AsciiLowerCopy(t.Text(i))))
      t.SetText(i, "Integer(" + t.Text(i) + ")");
  // Nor on characters: C's 'd' is a number.
  for (int i = 2; operation && i < t.Count(); ++i)
    if (const std::string& c = t.Text(i); c.size() == 3 && c.front() == '\'' && c.back() == '\'')
      t.SetText(i, "Ord(" + c + ")");
}

}  // namespace

bool HasUnknownName(ConversionContext& ctx, int first) {
  const TStringList2& t = ctx.TokenList;
  for (int i = first; i < t.Count(); ++i) {
    const std::string& tok = t.Text(i);
    if (tok.empty() || tok[0] == '\'' || IsCommentToken(tok)) continue;
    // Every name in the token ("HANDLE(LONG_PTR(-1))", "*B"); digits begin a number.
    for (std::size_t p = 0; p < tok.size();) {
      const unsigned char c = static_cast<unsigned char>(tok[p]);
      if (c == '\'') {  // a character inside «Ord('d')» is no name
        const std::size_t close = tok.find('\'', p + 1);
        p = close == std::string::npos ? tok.size() : close + 1;
        continue;
      }
      if (!std::isalnum(c) && c != '_') {
        ++p;
        continue;
      }
      std::size_t end = p;
      while (end < tok.size() &&
             (std::isalnum(static_cast<unsigned char>(tok[end])) || tok[end] == '_'))
        ++end;
      if (!std::isdigit(c) && !IsKnownName(ctx, std::string_view(tok).substr(p, end - p), false))
        return true;
      p = end;
    }
  }
  return false;
}

void TranslateConstExpression(ConversionContext& ctx, Statement& st) {
  TStringList2& tokens = ctx.TokenList;
  if (ctx.Ready.RefusesUnknownValues()) {
    GlueCasts(ctx);
    // A cast that is left (to a routine type: Pascal has no constant of one), or a value
    // that names what no unit declares, would stop the compiler.
    bool cast = false;
    for (int i = 2; i + 3 < tokens.Count() && !cast; ++i)
      cast = tokens.Is(i, "(") && tokens.Is(i + 2, ")") &&
             ctx.ReadyState.DeclaredTypes.contains(AsciiLowerCopy(tokens.Text(i + 1)));
    // A pointer type in a value («#define BAD_CAST (xmlChar *)», a cast waiting for its
    // operand) is no constant.
    for (int i = 2; i < tokens.Count() && !cast; ++i)
      cast = tokens.Text(i).size() > 1 && tokens.Text(i).ends_with("*") &&
             tokens.Text(i).front() != '\'';
    // C's multi-character constant ('0BGR') has no Pascal spelling.
    for (int i = 2; i < tokens.Count() && !cast; ++i) {
      const std::string& tok = tokens.Text(i);
      const std::size_t open = tok.find("('");
      cast = open != std::string::npos && tok.ends_with("')") && tok.size() - open > 5 &&
             tok[open + 2] != '\\';
    }
    if (cast || HasUnknownName(ctx, 2)) {
      st.Outcome = 0;
      return;
    }
  }
  const int n = tokens.Count();
  const std::string name = ctx.Tok(1);
  const std::string declared = DeclaredName(name);
  // Each appended piece brings its own leading blank: "  X\t= 1 shl 4;".
  std::string line = "  " + declared + "\t=";
  bool semicolon = false;
  SwitchSection(ctx, Section::Const);
  ConstFolder fold;

  // Long values are split so that the unit stays readable; the rest is indented by eight.
  // The lines wait for the end of the value: a value that fails shows only its error line.
  std::vector<std::string> wrapped;
  auto error = [&] { st.Outcome = 0; };
  auto wrapCheck = [&] {
    if (line.size() >= 79) {
      wrapped.push_back(std::move(line));
      line = std::string(8, ' ');
      fold.FoldState = -1;
    }
  };

  for (int i = 2; i < n; ++i) {
    const std::string t = tokens.Text(i);
    if (t == ",") return error();  // function-like macros end here
    if (t == "(") {
      line += " (";
      continue;
    }
    if (t == ")") {
      if (i + 2 >= n) {
        line += " )";
        continue;
      }
      const std::string u = tokens.Text(i + 1);
      if (IsArithmetic(u)) {
        line += " ) " + u;
        ++i;
        fold.FoldState = -1;
      } else if (u == "|" || u == "||") {
        line += " ) or";
        ++i;
        fold.FoldState = -1;
      } else if (u == "&" || u == "&&") {
        line += " ) and";
        ++i;
        fold.FoldState = -1;
      } else if (u == ">>") {
        line += " ) shr";
        ++i;
        fold.FoldState = -1;
      } else if (u == "<<") {
        line += " ) shl";
        ++i;
        fold.FoldState = -1;
      } else if (!u.empty() && u[0] == '*') {
        // A product glued to its right operand: the operand is read next without the star.
        line += " ) *";
        tokens.SetText(i + 1, u.substr(1));
        fold.FoldState = -1;
      } else if (IsCommentToken(u)) {
        line += " );\t" + u;
        semicolon = true;
        ++i;
      } else if (u == ")") {
        line += " )";
      } else {
        return error();
      }
      wrapCheck();
      continue;
    }
    if (i + 1 < n) {
      const std::string c = ConvertConstOperand(t, ctx.Ready.TranslatesValueOperators());
      const std::string u = tokens.Text(i + 1);
      if (u == ")") {
        line += " " + c;
        fold.ApplyOperator(t);
      } else if (IsArithmetic(u)) {
        line += " " + c + " " + u;
        fold.LoadFirstOperand(t);
        fold.SetOperator(ArithmeticOperator(u));
        ++i;
      } else if (u == "|" || u == "||") {
        line += " " + c + " or";
        ++i;
        fold.FoldState = -1;
      } else if (u == "&" || u == "&&") {
        line += " " + c + " and";
        ++i;
        fold.FoldState = -1;
      } else if (u == ">>") {
        line += " " + c + " shr";
        fold.LoadFirstOperand(t);
        fold.SetOperator(FoldOperator::ShiftRight);
        ++i;
      } else if (u == "<<") {
        line += " " + c + " shl";
        fold.LoadFirstOperand(t);
        fold.SetOperator(FoldOperator::ShiftLeft);
        ++i;
      } else if (!u.empty() && u[0] == '*') {
        tokens.SetText(i + 1, u.substr(1));
        line += " " + c + " *";
        fold.LoadFirstOperand(t);
        fold.SetOperator(FoldOperator::Multiply);
      } else if (IsCommentToken(u)) {
        line += " " + c + ";\t" + u;
        semicolon = true;
        ++i;
        fold.FoldState = -1;
      } else {
        return error();  // two operands in a row, or an operator with no Pascal spelling
      }
      wrapCheck();
      continue;
    }
    // The last token.
    if (IsCommentToken(t)) {
      line += ";\t" + t;
      semicolon = true;
      if (fold.FoldState == 2) {
        line = "  " + declared + "\t= $" + Hex8(static_cast<std::uint32_t>(fold.Value)) + ";\t" + t;
        ctx.ConstNames.Add(name, fold.Value);
        fold.FoldState = -1;
      }
    } else {
      line += " " + ConvertConstOperand(t, ctx.Ready.TranslatesValueOperators());
      fold.FoldState = -1;
    }
  }

  if (!semicolon) line += ";";
  if (fold.FoldState == 2) {
    line = "  " + declared + "\t= $" + Hex8(static_cast<std::uint32_t>(fold.Value)) + ";";
    ctx.ConstNames.Add(name, fold.Value);
  }
  for (std::string& w : wrapped) WriteLine(ctx, std::move(w));
  st.Built = line;
  st.Outcome = kWriteBuilt;
}

}  // namespace tqc
