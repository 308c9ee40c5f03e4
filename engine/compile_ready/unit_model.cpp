// UnitModel: one reading of the written unit for the compiler-ready passes.
#include "compile_ready/unit_model.h"

#include <stdexcept>

namespace tqc {

namespace {

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

// The code of a line whose start is inside a "(*" comment when `comment` is set; `comment` is
// left as the line leaves it. A "{" that does not close leaves no code: the line is no
// declaration a pass could read.
std::string CodeOf(std::string_view line, bool& comment) {
  std::string out;
  for (std::size_t p = 0; p < line.size();) {
    if (comment) {
      const std::size_t close = line.find("*)", p);
      if (close == std::string_view::npos) {
        p = line.size();
        break;
      }
      comment = false;
      p = close + 2;
      out += ' ';
    } else if (line.compare(p, 2, "//") == 0) {
      break;
    } else if (line.compare(p, 2, "(*") == 0) {
      comment = true;
      p += 2;
    } else if (line[p] == '{') {
      const std::size_t close = line.find('}', p);
      if (close == std::string_view::npos) return {};
      p = close + 1;
      out += ' ';
    } else if (line[p] == '\'') {
      const std::size_t close = line.find('\'', p + 1);
      out += "''";
      p = close == std::string_view::npos ? line.size() : close + 1;
    } else {
      out += line[p++];
    }
  }
  const std::size_t last = out.find_last_not_of(" \t");
  if (last == std::string::npos) return {};
  out.resize(last + 1);
  return out;
}

DirectiveKind DirectiveOf(std::string_view line) {
  if (!StartsWithText(line, "{$")) return DirectiveKind::None;
  if (StartsWithText(line, "{$IFEND") || StartsWithText(line, "{$ENDIF")) return DirectiveKind::End;
  if (StartsWithText(line, "{$ELSE")) return DirectiveKind::Else;
  if (StartsWithText(line, "{$IF")) return DirectiveKind::If;
  return DirectiveKind::Other;
}

}  // namespace

std::string_view DeclaredOnLine(std::string_view line) {
  if (!StartsWithText(line, "  ") || line.size() < 3 || line[2] == ' ' || line[2] == '\t')
    return {};
  line.remove_prefix(line[2] == '&' ? 3 : 2);
  std::size_t end = 0;
  while (end < line.size() && IsWordChar(line[end])) ++end;
  std::string_view rest = line.substr(end);
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  if (end == 0 || rest.empty() || rest.front() != '=') return {};
  return line.substr(0, end);
}

UnitModel::UnitModel(OutputPane& pane, int usesLine) : pane_(pane), usesLine_(usesLine) {
  lines_.resize(static_cast<std::size_t>(pane_.Count()));
  bool comment = false;
  for (int i = First(); i < Count(); ++i) {
    Read(i, comment);
    comment = lines_[static_cast<std::size_t>(i)].CommentAtEnd;
  }
}

const UnitModel::Line& UnitModel::At(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= lines_.size())
    throw std::out_of_range("unit line " + std::to_string(i) + " out of bounds");
  return lines_[static_cast<std::size_t>(i)];
}

bool UnitModel::Read(int i, bool commentAtStart) {
  Line& l = lines_.at(static_cast<std::size_t>(i));
  const LineKind before = l.Kind;
  const bool openedBefore = l.OpensRecord;
  const std::string_view text = pane_.Line(i);
  bool comment = commentAtStart;
  l.CommentAtStart = commentAtStart;
  l.Code = CodeOf(text, comment);
  l.CommentAtEnd = comment;
  l.Directive = commentAtStart ? DirectiveKind::None : DirectiveOf(text);
  l.OpensRecord = false;
  l.NameAt = l.NameLength = 0;
  const std::string& c = l.Code;
  if (l.Directive != DirectiveKind::None) {
    l.Kind = LineKind::Directive;
  } else if (c.empty()) {
    l.Kind = LineKind::NoCode;
  } else if (c == "const" || c == "type" || c == "var") {
    l.Kind = LineKind::SectionHeader;
  } else if (c == "implementation") {
    l.Kind = LineKind::Implementation;
  } else if (StartsWithText(c, "  function ") || StartsWithText(c, "  procedure ")) {
    l.Kind = LineKind::RoutineHead;
  } else if (StartsWithText(c, "  end;")) {
    l.Kind = LineKind::RecordEnd;
  } else if (const std::string_view name = DeclaredOnLine(c); !name.empty()) {
    l.Kind = LineKind::Declaration;
    l.NameAt = static_cast<std::uint16_t>(name.data() - c.data());
    l.NameLength = static_cast<std::uint16_t>(std::min<std::size_t>(name.size(), 0xFFFF));
    l.OpensRecord = c.ends_with("= record") || c.ends_with("= packed record");
  } else {
    l.Kind = LineKind::Other;
  }
  return l.Kind != before || l.OpensRecord != openedBefore;
}

std::string_view UnitModel::Name(int i) const {
  const Line& l = At(i);
  return std::string_view(l.Code).substr(l.NameAt, l.NameLength);
}

void UnitModel::Structure() {
  if (structured_) return;
  structured_ = true;
  UnitSection section = UnitSection::None;
  int record = -1;
  int dead = 0;  // depth of the dead branches around the line
  for (int i = First(); i < Count(); ++i) {
    Line& l = lines_[static_cast<std::size_t>(i)];
    switch (l.Kind) {
      case LineKind::SectionHeader:
        section = l.Code == "const" ? UnitSection::Const
                  : l.Code == "var" ? UnitSection::Var
                                    : UnitSection::Type;
        break;
      case LineKind::Implementation:
      case LineKind::RoutineHead:
        section = UnitSection::None;
        break;
      default:
        break;
    }
    l.Section = section;
    // A branch of "{$IF False }" and everything inside it is dead until its other branch or
    // its end.
    const std::string_view text = pane_.Line(i);
    switch (l.Directive) {
      case DirectiveKind::End:
        if (dead > 0) --dead;
        break;
      case DirectiveKind::Else:
        if (dead == 1) dead = 0;
        break;
      case DirectiveKind::If:
        if (dead > 0 || StartsWithText(text, "{$IF False")) ++dead;
        break;
      default:
        break;
    }
    l.Dead = dead > 0;
    l.Record = record;
    if (l.OpensRecord) {
      record = i;
      l.Record = -1;
    } else if (l.Kind == LineKind::RecordEnd) {
      record = -1;
    }
  }
}

UnitSection UnitModel::Section(int i) {
  Structure();
  return At(i).Section;
}

int UnitModel::RecordOf(int i) {
  Structure();
  return At(i).Record;
}

bool UnitModel::Dead(int i) {
  Structure();
  return At(i).Dead;
}

void UnitModel::Replace(int i, std::string text) {
  At(i);
  pane_.Replace(i, std::move(text));
  if (i < First()) return;
  bool comment = lines_[static_cast<std::size_t>(i)].CommentAtStart;
  // The lines after it are read again while the comment state they start with changes.
  for (int k = i; k < Count(); ++k) {
    Line& l = lines_[static_cast<std::size_t>(k)];
    if (k > i && l.CommentAtStart == comment) break;
    if (Read(k, comment)) structured_ = false;
    comment = l.CommentAtEnd;
  }
}

std::string UnitModel::MakeErrorLine(int i) {
  std::string name(Kind(i) == LineKind::Declaration ? Name(i) : std::string_view());
  const std::string& text = Text(i);
  const std::size_t first = text.find_first_not_of(" \t");
  Replace(i, "// Error : " + (first == std::string::npos ? std::string() : text.substr(first)));
  pane_.MarkLine(i, 3, 5, TextStyle::Red);
  return name;
}

void UnitModel::RemoveLines(const std::vector<bool>& drop) {
  pane_.RemoveLines(drop);
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  int reread = -1;  // the first kept line whose comment state may have changed
  for (std::size_t i = 0; i < lines_.size() && i < drop.size(); ++i) {
    if (!drop[i]) {
      kept.push_back(std::move(lines_[i]));
    } else if (reread < 0 && lines_[i].CommentAtStart != lines_[i].CommentAtEnd) {
      reread = static_cast<int>(kept.size());  // it opened or closed a "(*" comment
    }
  }
  lines_ = std::move(kept);
  structured_ = false;
  if (reread < 0 || reread >= Count()) return;
  bool comment = reread > First() && lines_[static_cast<std::size_t>(reread - 1)].CommentAtEnd;
  for (int i = std::max(reread, First()); i < Count(); ++i) {
    Read(i, comment);
    comment = lines_[static_cast<std::size_t>(i)].CommentAtEnd;
  }
}

}  // namespace tqc
