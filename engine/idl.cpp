// IDL pre-conversion: the lines of an .idl file rewritten, line by line, as C++ header lines
// that the rest of the pipeline understands. Attributes in brackets are dropped, imports
// become includes, cpp_quote texts are unpacked, interface heads become class heads and COM
// methods get their calling-convention word. Purely textual; IDL is not parsed. A "blank"
// here is a space: tabs are text.
#include <cstdio>

#include "rules.h"
#include "type_mapping.h"

namespace tqc {

namespace {

constexpr std::size_t npos = std::string::npos;

std::size_t SkipSpaces(const std::string& s, std::size_t pos) {
  while (pos < s.size() && s[pos] == ' ') ++pos;
  return pos;
}

bool At(const std::string& s, std::size_t pos, std::string_view word) {
  return pos <= s.size() && std::string_view(s).substr(pos).substr(0, word.size()) == word;
}

// The text of a cpp_quote: after the first double quote, up to the next unescaped one; a
// backslash makes the character after it be taken as it is.
bool CppQuoteText(const std::string& line, std::size_t pos, std::string& out) {
  std::size_t q = line.find('"', pos);
  if (q == npos) return false;
  for (std::size_t j = q + 1; j < line.size(); ++j) {
    char c = line[j];
    if (c == '\\') {
      if (++j < line.size()) out += line[j];
    } else if (c == '"') {
      break;
    } else {
      out += c;
    }
  }
  return true;
}

// Looks at the brackets from the "[" at `pos`: an array dimension is followed (after its
// "]" and any further "[...]") by ";"; anything else marks an attribute.
bool StartsAttribute(const std::string& line, std::size_t pos) {
  for (;;) {
    std::size_t close = line.find(']', pos);
    if (close == npos) return false;
    std::size_t next = SkipSpaces(line, close + 1);
    if (next < line.size() && line[next] == ';') return false;
    if (next < line.size() && line[next] == '[') {
      pos = next;
      continue;
    }
    return true;
  }
}

bool IsCharLiteral(const std::string& line, std::size_t j) {
  return j + 2 < line.size() && line[j] == '\'' && line[j + 2] == '\'';
}

std::string HexCode(unsigned char c) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(c));
  return buf;
}

struct IdlConverter {
  const std::vector<std::string>& lines;
  std::vector<std::string> out;
  bool InAttribute = false;
  bool InComment = false;  // inside a block comment that opened a line

  // Passes over attribute text from `pos`; npos when the line ends inside the attribute.
  std::size_t SkipAttribute(const std::string& line, std::size_t pos) {
    std::size_t close = line.find(']', pos);
    if (close == npos) return npos;
    InAttribute = false;
    return close + 1;
  }

  // The rest of the line from `pos`, attributes removed, one-character literals after "="
  // written as hexadecimal numbers.
  void CopyRest(const std::string& line, std::size_t pos, std::string& text) {
    bool afterEquals = false;
    for (std::size_t j = pos; j < line.size();) {
      const char c = line[j];
      if (InAttribute) {
        if (c == ']') InAttribute = false;
        ++j;
      } else if (c == '[' && !text.empty() && StartsAttribute(line, j)) {
        InAttribute = true;
        ++j;
      } else if (c == '=') {
        text += c;
        afterEquals = true;
        ++j;
      } else if (afterEquals && IsCharLiteral(line, j)) {
        text += HexCode(static_cast<unsigned char>(line[j + 1]));
        afterEquals = false;
        j += 3;
      } else {
        text += c;
        ++j;
      }
    }
  }

  // Comments that open a line are dropped, a block comment with all its lines: read as IDL,
  // the text of its later lines would be translated as declarations. Returns the part of
  // the line after them (empty when nothing is left).
  std::string AfterLeadingComments(const std::string& line) {
    std::size_t pos = 0;
    for (;;) {
      if (InComment) {
        const std::size_t close = line.find("*/", pos);
        if (close == npos) return {};
        InComment = false;
        pos = close + 2;
      }
      pos = SkipSpaces(line, pos);
      if (pos >= line.size() || (line[pos] == '/' && !At(line, pos, "/*"))) return {};
      if (!At(line, pos, "/*")) return line.substr(pos);
      InComment = true;
      pos += 2;
    }
  }

  // Converts line i, appending its output line if it has one.
  void Line(std::size_t i) {
    if (lines[i].empty()) {
      out.emplace_back();
      return;
    }
    // A line that opens with a comment is read from what follows the comment.
    const bool commented = InComment || At(lines[i], SkipSpaces(lines[i], 0), "/");
    const std::string rest = commented ? AfterLeadingComments(lines[i]) : std::string();
    if (commented && rest.empty()) return;
    const std::string& line = commented ? rest : lines[i];
    std::size_t pos = SkipSpaces(line, 0);

    if (InAttribute) {
      pos = SkipAttribute(line, pos);
      if (pos == npos) return;
    }
    while (pos < line.size() && line[pos] == '[') {
      InAttribute = true;
      pos = SkipAttribute(line, pos + 1);
      if (pos == npos) return;
    }

    std::string text;
    if (At(line, pos, "cpp_quote")) {
      if (CppQuoteText(line, pos + 9, text)) out.push_back(text);
      return;
    }
    if (At(line, pos, "import ")) {
      std::size_t q = line.find('"', pos + 7);
      if (q == npos) return;
      std::size_t dot = line.find('.', q + 1);
      out.push_back("#include \"" + line.substr(q + 1, dot == npos ? npos : dot - q - 1) + ".h\"");
      return;
    }
    if (At(line, pos, "interface ")) {
      std::size_t b = SkipSpaces(line, pos + 10);
      std::size_t e = line.find_first_of(" :;", b);
      if (e == npos) e = line.size();
      const std::string name = line.substr(b, e - b);
      pos = SkipSpaces(line, e);
      if (pos < line.size() && line[pos] == ';') {
        out.push_back("typedef interface " + name + " " + name + ";");
        return;
      }
      if (pos < line.size() && line[pos] == ':') {
        out.push_back("class " + name + " : public " + line.substr(SkipSpaces(line, pos + 1)));
        return;
      }
      text = name;
    }
    if (At(line, pos, "HRESULT ")) {
      std::size_t b = SkipSpaces(line, pos + 8);
      std::size_t e = line.find_first_of(" (", b);
      if (e == npos) e = line.size();
      text += line.substr(b, e - b);
      pos = SkipSpaces(line, e);
      if (pos == line.size() && i + 1 < lines.size()) {
        const std::string& next = lines[i + 1];
        std::size_t f = SkipSpaces(next, 0);
        if (f < next.size() && next[f] == '(') {
          // The parameter list follows on the next line, which is converted on its own.
          out.push_back("HRESULT STDMETHODCALLTYPE " + text);
          return;
        }
      }
      if (pos < line.size() && line[pos] == '(')
        text = "HRESULT STDMETHODCALLTYPE " + text;
      else
        text = "HRESULT " + text + " ";
    }
    CopyRest(line, pos, text);
    if (!text.empty()) out.push_back(std::move(text));
  }
};

}  // namespace

std::vector<std::string> ConvertIdl(const std::vector<std::string>& idlLines,
                                    ConversionHost& host) {
  IdlConverter conv{idlLines, {}};
  const std::size_t n = idlLines.size();
  for (std::size_t i = 0; i < n; ++i) {
    conv.Line(i);
    // Counted before the line is done, so the last value shown stays below 100.
    host.ShowStatus(" Converting (idl -> h) ... (" + std::to_string(i * 100 / n) + "%)");
    host.ProcessPendingEvents();
  }
  return std::move(conv.out);
}

}  // namespace tqc
