// The engine's model of the output text control.
#include "output_pane.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tqc {

std::vector<std::string> SplitPaneText(std::string_view text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      out.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  out.emplace_back(text.substr(start));
  return out;
}

void OutputPane::Clear() {
  lines_.clear();
  ranges_.clear();
  textLength_ = 0;
}

std::vector<StyleRange>::iterator OutputPane::FirstRangeAt(int line) {
  return std::lower_bound(ranges_.begin(), ranges_.end(), line,
                          [](const StyleRange& r, int l) { return r.Line < l; });
}

std::size_t OutputPane::CheckLine(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= lines_.size())
    throw std::out_of_range("output line " + std::to_string(index) + " out of bounds");
  return static_cast<std::size_t>(index);
}

namespace {

// Whether a text holds a line break. Two memchr scans: find_first_of would call memchr once
// per character.
bool HasBreak(std::string_view text) {
  return !text.empty() && (std::memchr(text.data(), '\n', text.size()) ||
                           std::memchr(text.data(), '\r', text.size()));
}

}  // namespace

int OutputPane::Add(std::string_view text) {
  int first = Count();
  // The common case is one line.
  if (!HasBreak(text)) {
    textLength_ += text.size() + 1;
    lines_.emplace_back(text);
    return first;
  }
  for (auto& line : SplitPaneText(text)) {
    textLength_ += line.size() + 1;
    lines_.push_back(std::move(line));
  }
  return first;
}

int OutputPane::Add(std::string&& text) {
  if (HasBreak(text)) return Add(std::string_view(text));
  const int first = Count();
  textLength_ += text.size() + 1;
  lines_.push_back(std::move(text));
  return first;
}

void OutputPane::InsertOne(int index, std::string line) {
  textLength_ += line.size() + 1;
  lines_.insert(lines_.begin() + index, std::move(line));
  auto from = FirstRangeAt(index);
  for (auto it = from; it != ranges_.end(); ++it)
    if (it->Line >= index) ++it->Line;
}

void OutputPane::Insert(int index, std::string_view text) {
  if (index < 0 || index > Count())
    throw std::out_of_range("output insert position " + std::to_string(index) + " out of bounds");
  for (auto& line : SplitPaneText(text)) InsertOne(index++, std::move(line));
}

void OutputPane::Replace(int index, std::string text) {
  std::size_t i = CheckLine(index);
  textLength_ -= lines_[i].size();
  textLength_ += text.size();
  lines_[i] = std::move(text);
  const int len = static_cast<int>(lines_[i].size());
  auto from = FirstRangeAt(index);
  auto to = std::find_if(from, ranges_.end(), [&](const StyleRange& r) { return r.Line > index; });
  bool emptied = false;
  for (auto it = from; it != to; ++it) {
    if (it->Line != index) continue;
    it->Length = std::max(0, std::min(it->Length, len - it->Column));
    emptied = emptied || it->Length <= 0;
  }
  if (emptied) std::erase_if(ranges_, [](const StyleRange& r) { return r.Length <= 0; });
}

void OutputPane::RemoveLines(const std::vector<bool>& drop) {
  if (drop.size() != lines_.size()) throw std::invalid_argument("one drop flag per line needed");
  // The new index of every line, in one walk; the styles of removed lines go with them.
  std::vector<int> newIndex(lines_.size(), -1);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (drop[i]) {
      textLength_ -= lines_[i].size() + 1;
      continue;
    }
    newIndex[i] = static_cast<int>(kept);
    if (kept != i) lines_[kept] = std::move(lines_[i]);
    ++kept;
  }
  lines_.resize(kept);
  std::erase_if(ranges_, [&](StyleRange& r) {
    const int to = newIndex[static_cast<std::size_t>(r.Line)];
    r.Line = to;
    return to < 0;
  });
}

const std::string& OutputPane::Line(int index) const { return lines_[CheckLine(index)]; }

void OutputPane::MarkLine(int line, int column, int length, TextStyle style) {
  std::size_t i = CheckLine(line);
  if (column < 0 || length <= 0) return;
  int len = static_cast<int>(lines_[i].size());
  if (column >= len) return;
  length = std::min(length, len - column);
  const StyleRange range{line, column, length, style};
  // Ranges stay in line order (a range of a line above the last one, as a later pass marks
  // an error line, goes after the other ranges of its line), so that the ranges of a line
  // are found by binary search.
  if (ranges_.empty() || ranges_.back().Line <= line) {
    ranges_.push_back(range);
    return;
  }
  ranges_.insert(std::upper_bound(ranges_.begin(), ranges_.end(), line,
                                  [](int l, const StyleRange& r) { return l < r.Line; }),
                 range);
}

void OutputPane::MarkRange(std::size_t position, std::size_t length, TextStyle style) {
  // Ranges are almost always on the last lines: walk from the end.
  std::size_t start = textLength_;
  for (int i = Count() - 1; i >= 0; --i) {
    start -= lines_[static_cast<std::size_t>(i)].size() + 1;
    if (start <= position) {
      MarkLine(i, static_cast<int>(position - start), static_cast<int>(length), style);
      return;
    }
  }
}

std::string OutputPane::SaveText() const {
  std::string out;
  out.reserve(textLength_ + lines_.size());
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

std::string OutputPane::PlainText() const {
  std::string out;
  out.reserve(textLength_);
  for (const auto& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

}  // namespace tqc
