// TokenizeLine: the lexer of the conversion. One pass over the line with a switch on the
// current character; the state that survives the end of a line (open comment, string,
// bracket, commented-out body) lives in the context. Words and operators go through
// MapCTypeName; the six punctuation characters and "**" are appended directly.
#include "tokenizer.h"

#include <array>

#include "type_mapping.h"

namespace tqc {

bool IsLeadByte(unsigned char c, int codePage) {
  switch (codePage) {
    case 932:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

namespace {

// Letters, digits and "_", by table: the tokenizer asks for every character of every word.
constexpr std::array<bool, 256> kWordChars = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c)
    t[static_cast<std::size_t>(c)] =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  return t;
}();

bool IsWordChar(char c) { return kWordChars[static_cast<unsigned char>(c)]; }

struct Lexer {
  std::string_view line;
  ConversionContext& ctx;
  std::string word;
  std::size_t i = 0;
  bool trailByteLast = false;  // the line ends in the second byte of a double-byte character

  char At(std::size_t k) const { return k < line.size() ? line[k] : '\0'; }
  // The character consumed last (NUL at the start of the line).
  char Prev() const { return i > 0 ? At(i - 1) : '\0'; }

  void Flush() {
    if (word.empty()) return;
    MapCTypeName(ctx, std::move(word));
    word.clear();  // a moved-from string is only valid: make it empty
  }

  void Consume(std::size_t count) { i += count; }

  // Closes the quoted run of a string before an escape code: the quote that an earlier
  // escape reopened is taken back instead of leaving an empty ''.
  void CloseRun() {
    if (ctx.EscapeReopened) {
      if (!word.empty()) word.pop_back();
    } else {
      word += '\'';
    }
  }

  void PunctuationToken(char c) {
    Flush();
    if (ctx.PendingStar) {
      // With no token to attach to (a statement opening with "*(") the star stands alone,
      // so that the statement still shows it.
      if (ctx.TokenList.Empty()) {
        ctx.TokenList.Add("*");
      } else {
        int last = ctx.TokenList.Count() - 1;
        ctx.TokenList.SetText(last, ctx.TokenList.Text(last) + "*");
      }
      ctx.PendingStar = false;
    }
    ctx.TokenList.Add(std::string_view(&c, 1));
  }

  void BodyStep(char c) {
    // The body is carried in a "(* *)" comment: a "*)" of the code ("(void*)p") would end
    // it there and leave the rest as Pascal code. A blank keeps the two apart.
    if (c == ')' && !word.empty() && word.back() == '*') word += ' ';
    if (ctx.InString) {
      word += c;
      if (c == '"') {
        ctx.InString = false;
      } else if (c == '\\' && i + 1 < line.size()) {
        word += line[i + 1];  // an escaped quote does not end the string
        Consume(1);
      }
    } else if (c == '\'') {
      // A character literal such as '{' is no brace of the body: it is copied whole.
      std::size_t end = i + 1;
      while (end < line.size() && line[end] != '\'') end += line[end] == '\\' ? 2 : 1;
      if (end >= line.size()) end = i;  // no closing quote on the line: the quote alone
      word.append(line, i, end - i + 1);
      Consume(end - i);
    } else if (c == '}') {
      if (--ctx.BodyDepth == 0) {
        word += "} *)";
        ctx.InBlockComment = false;
      } else {
        word += '}';
      }
    } else if (c == '{') {
      word += '{';
      ++ctx.BodyDepth;
    } else {
      if (c == '"') ctx.InString = true;
      word += c;
    }
    Consume(1);
  }

  void CommentStep(char c) {
    if (c == '*' && At(i + 1) == '/') {
      word += "*)";
      ctx.InBlockComment = false;
      Consume(2);
    } else if (c == '}' && ctx.InInterface) {
      word += "} *)";
      ctx.InBlockComment = false;
      Consume(1);
    } else {
      word += c;
      Consume(1);
    }
  }

  void StringStep(char c) {
    if (c == '"') {
      ctx.InString = false;
      CloseRun();
      Consume(1);
      return;
    }
    if (c == '\\') {
      char n = At(i + 1);
      switch (n) {
        case '"':
          word += '"';
          ctx.EscapeReopened = false;
          Consume(2);
          return;
        case '\'':
          word += "'#39'";
          Consume(2);
          return;
        case '\\':
          word += '\\';
          ctx.EscapeReopened = false;
          Consume(2);
          return;
        case 'n':
        case 't':
          CloseRun();
          word += n == 'n' ? "#13#10'" : "#9'";
          ctx.EscapeReopened = true;
          Consume(2);
          return;
        case 'x':
          if (i + 3 < line.size()) {
            CloseRun();
            word += "#$";
            word += line.substr(i + 2, 2);
            word += '\'';
            ctx.EscapeReopened = true;
            Consume(4);
            return;
          }
          break;
        default:
          break;
      }
      word += '\\';
      ctx.EscapeReopened = false;
      Consume(1);
      return;
    }
    word += (c == '\'') ? std::string("'#39'") : std::string(1, c);
    if (c != '\'') ctx.EscapeReopened = false;
    Consume(1);
  }

  // L"text" and L'c' are wide literals; a Pascal literal has no prefix, and the compiler
  // gives it the width of what it is assigned to.
  void DropWidePrefix() {
    if (word.size() == 1 && word[0] == 'L') word.clear();
  }

  void OrdinaryStep(char c) {
    const char n = At(i + 1);
    switch (c) {
      case '"':
        ctx.InString = true;
        ctx.EscapeReopened = false;
        DropWidePrefix();
        word += '\'';
        Consume(1);
        return;
      case '\'':
        DropWidePrefix();
        if (n != '\0' && At(i + 2) == '\'') {
          word += line.substr(i, 3);
          Consume(3);
        } else {
          word += '\'';
          Consume(1);
        }
        return;
      case '[':
        if (n == ']') {
          word = "*" + word;
          Consume(2);
        } else {
          word += '[';
          ctx.InBrackets = true;
          Consume(1);
        }
        return;
      case '/':
        if (n == '*') {
          Flush();
          word = "(*";
          ctx.InBlockComment = true;
          Consume(2);
        } else if (n == '/') {
          Flush();
          word = std::string(line.substr(i));
          i = line.size();
        } else {
          Flush();
          MapCTypeName(ctx, "/");
          Consume(1);
        }
        return;
      case '*':
        Flush();
        if (ctx.PendingStar) {
          ctx.TokenList.Add("**");
          ctx.PendingStar = false;
        } else {
          ctx.PendingStar = true;
        }
        Consume(1);
        return;
      case '|':
      case '&':
        Flush();
        if (n == c) {
          MapCTypeName(ctx, std::string(2, c));
          Consume(2);
        } else {
          MapCTypeName(ctx, std::string(1, c));
          Consume(1);
        }
        return;
      case '+':
        if (n != '+' && Prev() != 'e') {
          Flush();
          MapCTypeName(ctx, "+");
        } else {
          word += c;
        }
        Consume(1);
        return;
      case '-':
        if (n != '-' && Prev() != 'e') {
          Flush();
          const TStringList2& t = ctx.TokenList;
          int k = t.Count();
          if (k >= 2 && !t.Is(k - 1, "(") && !t.Is(k - 2, "#define") && !t.Is(k - 1, "="))
            MapCTypeName(ctx, "-");
          else
            word = "-";
        } else {
          word += c;
        }
        Consume(1);
        return;
      case '=':
        Flush();
        if (n == '=') {
          MapCTypeName(ctx, "==");
          Consume(2);
        } else {
          MapCTypeName(ctx, "=");
          Consume(1);
        }
        return;
      case '!':
        if (n == '=') {
          Flush();
          MapCTypeName(ctx, "<>");
          Consume(2);
        } else {
          word += c;
          Consume(1);
        }
        return;
      case '<':
      case '>':
        Flush();
        if (n == '=' || n == c) {
          MapCTypeName(ctx, std::string{c, n});
          Consume(2);
        } else {
          MapCTypeName(ctx, std::string(1, c));
          Consume(1);
        }
        return;
      case '(':
      case ')':
      case ',':
      case ';':
      case '{':
      case '}':
        PunctuationToken(c);
        Consume(1);
        return;
      default:
        word += c;
        Consume(1);
        return;
    }
  }

  // Blanks, words and operators outside comments, strings and brackets: most of every line.
  // Only an operator step can leave this state, so the state is tested after those alone.
  // Returns at a lead byte, which Run takes.
  void OrdinaryRun(bool doubleByte, int codePage) {
    const std::size_t n = line.size();
    while (i < n) {
      const char c = line[i];
      if (doubleByte && IsLeadByte(static_cast<unsigned char>(c), codePage)) return;
      if (c == ' ' || c == '\t') {
        // A blank ends the word; the blanks after it have nothing more to end.
        Flush();
        std::size_t end = i + 1;
        while (end < n && (line[end] == ' ' || line[end] == '\t')) ++end;
        i = end;
      } else if (IsWordChar(c)) {
        // Letters, digits and "_" only ever join the word: copy the whole run at once.
        std::size_t end = i + 1;
        while (end < n && IsWordChar(line[end])) ++end;
        word.append(line, i, end - i);
        i = end;
      } else {
        OrdinaryStep(c);
        if (ctx.InBlockComment || ctx.InString || ctx.InBrackets) return;
      }
    }
  }

  void Run() {
    const int codePage = ctx.Options.CodePage;
    // Only the double-byte code pages have lead bytes; the others skip the test per character.
    const bool doubleByte = IsLeadByte(0x81, codePage);
    while (i < line.size()) {
      const char c = line[i];
      if (doubleByte && IsLeadByte(static_cast<unsigned char>(c), codePage)) {
        word += c;
        if (i + 1 < line.size()) {
          word += line[i + 1];
          Consume(2);
          trailByteLast = i == line.size();
        } else {
          Consume(1);
        }
      } else if (ctx.BodyDepth > 0) {
        BodyStep(c);
      } else if (ctx.InBlockComment) {
        // Comment text is copied in runs up to the next character that can end the comment.
        std::size_t end = i;
        while (end < line.size() && line[end] != '*' && line[end] != '}' &&
               !(doubleByte && IsLeadByte(static_cast<unsigned char>(line[end]), codePage)))
          ++end;
        if (end > i) {
          // A "*)" of the C comment's text would end the Pascal comment there.
          if (line[i] == ')' && !word.empty() && word.back() == '*') word += ' ';
          word.append(line, i, end - i);
          Consume(end - i);
        } else {
          CommentStep(c);
        }
      } else if (ctx.InString) {
        StringStep(c);
      } else if (ctx.InBrackets) {
        word += c;
        if (c == ']') ctx.InBrackets = false;
        Consume(1);
      } else {
        OrdinaryRun(doubleByte, codePage);
      }
    }
    // A backslash at the end of the line continues it in C even when it is glued to a word
    // («#define X Y\\»): it becomes the continuation mark of its own.
    if (word.size() > 1 && word.back() == '\\' && !trailByteLast && !ctx.InBlockComment &&
        !ctx.InString && !ctx.InBrackets && ctx.BodyDepth == 0 && !StartsWith(word, "//")) {
      word.pop_back();
      Flush();
      word = "\\";
    }
    Flush();
  }
};

}  // namespace

void TokenizeLine(std::string_view line, ConversionContext& ctx) {
  ctx.AfterFuncType = false;
  Lexer lex{line, ctx, {}, 0};
  lex.Run();
}

}  // namespace tqc
