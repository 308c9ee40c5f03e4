// Records inside records. C nests struct, union and enum definitions among a record's members
// («union { struct { BYTE scale; BYTE sign; } DUMMYSTRUCTNAME; USHORT signscale; }
// DUMMYUNIONNAME;»); the record rules read one level of members. Before the rules run, each
// nested definition is taken out and put before the statement as a type of its own, named after
// the record and the member (DECIMAL_DUMMYUNIONNAME), and the member names that type. The
// layout stays C's: a nested aggregate is laid out as a member of its own type. A tagged
// definition keeps its tag, as C's tags are global anyway. An unnamed union that is a struct's
// last member and holds no definition stays where it is: the record's variant part is that
// union, and its members keep the names C gives them.
#include "nested_records.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>


namespace tqc {
namespace {

enum class TokKind { Ident, Punct, Directive, Comment, Other };

struct Tok {
  TokKind Kind;
  std::size_t Begin, End;
};

bool IsIdentStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }

class Lexer {
 public:
  explicit Lexer(std::string_view text) : s_(text) {}

  // The token at or after p, which it moves past the token; false at the end of the text.
  bool Next(std::size_t& p, Tok& t) const {
    while (p < s_.size() && (s_[p] == ' ' || s_[p] == '\t' || s_[p] == '\r' || s_[p] == '\n' ||
                             s_[p] == '\f' || s_[p] == '\v'))
      ++p;
    if (p >= s_.size()) return false;
    const std::size_t b = p;
    const char c = s_[p];
    TokKind kind = TokKind::Punct;
    if (c == '#' && AtLineStart(p)) {
      kind = TokKind::Directive;
      for (; p < s_.size() && s_[p] != '\n'; ++p)
        if (s_[p] == '\\' && p + 1 < s_.size() && (s_[p + 1] == '\n' || s_[p + 1] == '\r')) {
          p += s_[p + 1] == '\r' && p + 2 < s_.size() && s_[p + 2] == '\n' ? 2 : 1;
        }
    } else if (s_.compare(p, 2, "/*") == 0) {
      kind = TokKind::Comment;
      const std::size_t close = s_.find("*/", p + 2);
      p = close == std::string_view::npos ? s_.size() : close + 2;
    } else if (s_.compare(p, 2, "//") == 0) {
      kind = TokKind::Comment;
      const std::size_t eol = s_.find('\n', p);
      p = eol == std::string_view::npos ? s_.size() : eol;
    } else if (c == '"' || c == '\'') {
      kind = TokKind::Other;
      for (++p; p < s_.size() && s_[p] != c && s_[p] != '\n'; ++p)
        if (s_[p] == '\\') ++p;
      if (p < s_.size() && s_[p] == c) ++p;
    } else if (IsIdentStart(c)) {
      kind = TokKind::Ident;
      while (p < s_.size() && IsIdentChar(s_[p])) ++p;
    } else if (c >= '0' && c <= '9') {
      kind = TokKind::Other;
      while (p < s_.size() && (IsIdentChar(s_[p]) || s_[p] == '.')) ++p;
    } else {
      ++p;
    }
    p = p > s_.size() ? s_.size() : p;
    t = {kind, b, p};
    return true;
  }

  std::string_view Text(const Tok& t) const { return s_.substr(t.Begin, t.End - t.Begin); }

 private:
  bool AtLineStart(std::size_t p) const {
    while (p > 0 && (s_[p - 1] == ' ' || s_[p - 1] == '\t')) --p;
    return p == 0 || s_[p - 1] == '\n';
  }
  std::string_view s_;
};

// A word written with arguments in a record's head: an upper-case macro or a compiler's
// «__declspec», «__attribute__» (a routine's name is neither).
bool IsAttributeWord(std::string_view w) {
  if (w.starts_with("__")) return true;
  for (char c : w)
    if (c >= 'a' && c <= 'z') return false;
  return true;
}

bool IsAggregateWord(std::string_view w) { return w == "struct" || w == "union" || w == "enum"; }

// The tokens of a record's body and the nested definitions found in it.
class BodyRewriter {
 public:
  BodyRewriter(std::string_view text, const Lexer& lex) : s_(text), lex_(lex) {}

  // The tokens from `from` up to and including the "}" that closes the "{" at `from`; empty
  // when the text ends first.
  std::vector<Tok> Body(std::size_t from) const {
    std::vector<Tok> toks;
    int depth = 0;
    Tok t;
    for (std::size_t p = from; lex_.Next(p, t);) {
      toks.push_back(t);
      if (t.Kind != TokKind::Punct) continue;
      const char c = s_[t.Begin];
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) return toks;
    }
    return {};
  }

  // Index of the "{" of a definition whose keyword is toks[k] («struct TAG ATTR(16) {»), or
  // -1 when the keyword starts no definition.
  int DefinitionBrace(const std::vector<Tok>& toks, std::size_t k) const {
    for (std::size_t j = k + 1; j < toks.size(); ++j) {
      const Tok& t = toks[j];
      if (t.Kind == TokKind::Comment || t.Kind == TokKind::Ident) continue;
      if (t.Kind != TokKind::Punct) return -1;
      const char c = s_[t.Begin];
      if (c == '{') return static_cast<int>(j);
      if (c != '(' || j == k + 1 || !IsAttributeWord(lex_.Text(toks[j - 1]))) return -1;
      // An attribute's arguments («DECLSPEC_ALIGN(16)»).
      int depth = 0;
      for (; j < toks.size(); ++j) {
        if (toks[j].Kind != TokKind::Punct) continue;
        depth += s_[toks[j].Begin] == '(' ? 1 : s_[toks[j].Begin] == ')' ? -1 : 0;
        if (depth == 0) break;
      }
    }
    return -1;
  }

  // The index of the "}" matching the "{" at toks[open]; -1 when none.
  int Close(const std::vector<Tok>& toks, std::size_t open) const {
    int depth = 0;
    for (std::size_t j = open; j < toks.size(); ++j) {
      if (toks[j].Kind != TokKind::Punct) continue;
      const char c = s_[toks[j].Begin];
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) return static_cast<int>(j);
    }
    return -1;
  }

  // Conditional directives that open and close inside toks[from..to): a definition taken out
  // must not take half of a conditional with it.
  bool DirectivesBalanced(const std::vector<Tok>& toks, std::size_t from, std::size_t to) const {
    int depth = 0;
    for (std::size_t j = from; j < to; ++j) {
      if (toks[j].Kind != TokKind::Directive) continue;
      std::string_view d = lex_.Text(toks[j]).substr(1);
      while (!d.empty() && (d.front() == ' ' || d.front() == '\t')) d.remove_prefix(1);
      if (d.starts_with("if"))
        ++depth;
      else if (d.starts_with("endif") && --depth < 0)
        return false;
      else if ((d.starts_with("el")) && depth == 0)
        return false;
    }
    return depth == 0;
  }

  // The text of toks[open..close] (the braces included) with each nested definition replaced
  // by a reference to a type of its own; the definitions taken out go to `hoisted`, inner ones
  // first. `outer` names the record, for the names of the new types.
  std::string Rewrite(const std::vector<Tok>& toks, std::size_t open, std::size_t close,
                      const std::string& outer, bool outerIsStruct,
                      std::vector<std::string>& hoisted) const {
    std::string out;
    std::size_t copied = toks[open].Begin;
    int depth = 0, unnamed = 0;
    for (std::size_t k = open; k <= close; ++k) {
      const Tok& t = toks[k];
      if (t.Kind == TokKind::Punct) {
        const char c = s_[t.Begin];
        depth += c == '{' ? 1 : c == '}' ? -1 : 0;
      }
      if (depth != 1 || t.Kind != TokKind::Ident || !IsAggregateWord(lex_.Text(t))) continue;
      // A typedef inside a record (C++) declares no member: it stays as it is.
      bool typedefMember = false;
      for (std::size_t j = k; j-- > open && !typedefMember;) {
        if (toks[j].Kind == TokKind::Comment) continue;
        if (toks[j].Kind != TokKind::Ident) break;
        typedefMember = lex_.Text(toks[j]) == "typedef";
      }
      if (typedefMember) continue;
      const int b = DefinitionBrace(toks, k);
      const int e = b < 0 ? -1 : Close(toks, static_cast<std::size_t>(b));
      if (e < 0 || static_cast<std::size_t>(e) >= close) continue;
      // The member's declarators, up to its ";".
      std::size_t semi = static_cast<std::size_t>(e) + 1;
      std::string name;
      for (; semi < close; ++semi) {
        const Tok& d = toks[semi];
        if (d.Kind == TokKind::Punct && s_[d.Begin] == ';') break;
        if (d.Kind == TokKind::Ident && name.empty()) name = lex_.Text(d);
      }
      if (semi >= close) continue;
      if (!DirectivesBalanced(toks, k, static_cast<std::size_t>(e))) continue;
      const std::string word(lex_.Text(t));
      // The tag: a word of the head that no "(" follows (those are attributes).
      std::string tag;
      for (int j = static_cast<int>(k) + 1; j < b; ++j) {
        if (toks[j].Kind != TokKind::Ident) continue;
        int after = j + 1;
        while (after < b && toks[after].Kind == TokKind::Comment) ++after;
        if (after < b && s_[toks[after].Begin] == '(') break;
        tag = lex_.Text(toks[j]);
      }
      bool nestedInside = false;
      for (int j = b + 1; j < e && !nestedInside; ++j)
        nestedInside = toks[j].Kind == TokKind::Ident && IsAggregateWord(lex_.Text(toks[j])) &&
                       DefinitionBrace(toks, static_cast<std::size_t>(j)) >= 0;
      if (word == "union" && name.empty() && tag.empty() && outerIsStruct && !nestedInside &&
          LastMember(toks, semi, close))
        continue;
      const std::string field =
          name.empty() ? (word == "union" ? "u" : "s") + std::to_string(++unnamed) : std::string();
      const std::string type =
          !tag.empty() ? word + " " + tag : outer + "_" + (name.empty() ? field : name);
      const std::string inner =
          Rewrite(toks, static_cast<std::size_t>(b), static_cast<std::size_t>(e),
                  tag.empty() ? outer + "_" + (name.empty() ? field : name) : tag, word == "struct",
                  hoisted);
      const std::string head(s_.substr(t.Begin, toks[b].Begin - t.Begin));
      if (tag.empty())
        hoisted.push_back("typedef " + head + inner + " " + type + ";");
      else
        hoisted.push_back(head + inner + ";");
      out.append(s_.substr(copied, t.Begin - copied));
      if (word == "enum" && name.empty()) {
        // «enum { A, B };» among the members declares constants only.
        copied = toks[semi].End;
      } else {
        out += type;
        if (!field.empty() && word != "enum") out += " " + field;
        copied = toks[e].End;
      }
      k = semi;
    }
    out.append(s_.substr(copied, toks[close].End - copied));
    return out;
  }

 private:
  // Nothing but comments and directives between the member's ";" and the record's "}".
  static bool LastMember(const std::vector<Tok>& toks, std::size_t semi, std::size_t close) {
    for (std::size_t j = semi + 1; j < close; ++j)
      if (toks[j].Kind != TokKind::Comment && toks[j].Kind != TokKind::Directive) return false;
    return true;
  }

  std::string_view s_;
  const Lexer& lex_;
};

}  // namespace

std::string HoistNestedDefinitions(std::string_view text) {
  Lexer lex(text);
  BodyRewriter rw(text, lex);
  std::string out;
  std::size_t copied = 0;
  bool changed = false;
  // The start of the statement the identifiers before a keyword belong to («typedef struct»).
  std::size_t statement = std::string_view::npos;
  Tok t;
  for (std::size_t p = 0; lex.Next(p, t);) {
    if (t.Kind == TokKind::Comment) continue;
    if (t.Kind != TokKind::Ident) {
      statement = std::string_view::npos;
      continue;
    }
    if (statement == std::string_view::npos) statement = t.Begin;
    const std::string_view word = lex.Text(t);
    if (word != "struct" && word != "union") continue;
    // The head's tokens, from the keyword to the "{" (or to what shows it is no definition).
    std::vector<Tok> toks;
    Tok u;
    for (std::size_t q = t.Begin; toks.size() < 64 && lex.Next(q, u);) {
      toks.push_back(u);
      if (u.Kind == TokKind::Punct && (text[u.Begin] == '{' || text[u.Begin] == ';')) break;
    }
    const int b = rw.DefinitionBrace(toks, 0);
    if (b < 0) continue;
    // A body whose braces pair up only across the branches of a conditional is left to the
    // rules, and so is all that follows it.
    const std::vector<Tok> body = rw.Body(toks[static_cast<std::size_t>(b)].Begin);
    if (body.empty() || !rw.DirectivesBalanced(body, 0, body.size())) continue;
    toks.resize(static_cast<std::size_t>(b));
    toks.insert(toks.end(), body.begin(), body.end());
    const std::size_t open = static_cast<std::size_t>(b), close = toks.size() - 1;
    const std::size_t start = statement;
    const bool isTypedef =
        text.substr(start, t.Begin - start).find("typedef") != std::string_view::npos;
    p = toks[close].End;
    statement = std::string_view::npos;
    // The record's name: the typedef's first declarator, else its tag.
    std::string outer;
    Tok d;
    for (std::size_t r = toks[close].End; isTypedef && lex.Next(r, d);) {
      if (d.Kind == TokKind::Ident) outer = lex.Text(d);
      if (d.Kind != TokKind::Comment && !(d.Kind == TokKind::Punct && text[d.Begin] == '*')) break;
    }
    for (std::size_t j = 1; outer.empty() && j < open; ++j)
      if (toks[j].Kind == TokKind::Ident) outer = lex.Text(toks[j]);
    if (outer.empty()) outer = "Anonymous";
    std::vector<std::string> hoisted;
    const std::string rewritten = rw.Rewrite(toks, open, close, outer, word == "struct", hoisted);
    if (hoisted.empty()) continue;
    changed = true;
    out.append(text.substr(copied, start - copied));
    for (const std::string& h : hoisted) (out += h) += "\n";
    out.append(text.substr(start, toks[open].Begin - start));
    out += rewritten;
    copied = toks[close].End;
  }
  if (!changed) return {};
  out.append(text.substr(copied));
  return out;
}

}  // namespace tqc
