// OutputPane: style ranges must stay on their characters through inserted and replaced
// lines, whether they were marked in line order or not.
#include "engine/output_pane.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace tqc {
namespace {

// The plain model: every edit walks every range.
struct Model {
  std::vector<std::string> Lines;
  std::vector<StyleRange> Ranges;

  void Insert(int index, const std::string& line) {
    Lines.insert(Lines.begin() + index, line);
    for (auto& r : Ranges)
      if (r.Line >= index) ++r.Line;
  }
  void Replace(int index, const std::string& line) {
    Lines[static_cast<std::size_t>(index)] = line;
    const int len = static_cast<int>(line.size());
    for (auto& r : Ranges)
      if (r.Line == index) r.Length = std::max(0, std::min(r.Length, len - r.Column));
    std::erase_if(Ranges, [](const StyleRange& r) { return r.Length <= 0; });
  }
  void Mark(int line, int column, int length, TextStyle style) {
    const int len = static_cast<int>(Lines[static_cast<std::size_t>(line)].size());
    if (column < 0 || length <= 0 || column >= len) return;
    // In line order; the ranges of one line in the order they were marked.
    const StyleRange r{line, column, std::min(length, len - column), style};
    Ranges.insert(std::find_if(Ranges.begin(), Ranges.end(),
                               [&](const StyleRange& o) { return o.Line > line; }),
                  r);
  }
};

TEST(OutputPaneTest, RangesFollowTheirLinesUnderRandomEdits) {
  for (unsigned seed = 1; seed <= 30; ++seed) {
    std::mt19937 rng(seed);
    OutputPane pane;
    Model model;
    // Every third seed marks lines anywhere; the others mostly mark the last lines, as the
    // rules do, with an occasional mark further up.
    const bool anywhere = seed % 3 == 0;
    auto text = [&] { return std::string(rng() % 12, static_cast<char>('a' + rng() % 26)); };
    for (int step = 0; step < 600; ++step) {
      const int n = pane.Count();
      const unsigned op = rng() % 100;
      if (op < 35 || n == 0) {
        const std::string t = text();
        pane.Add(t);
        model.Lines.push_back(t);
      } else if (op < 50) {
        const int at = static_cast<int>(rng() % static_cast<unsigned>(n + 1));
        const std::string t = text();
        pane.Insert(at, t);
        model.Insert(at, t);
      } else if (op < 65) {
        const int at = static_cast<int>(rng() % static_cast<unsigned>(n));
        const std::string t = text();
        pane.Replace(at, t);
        model.Replace(at, t);
      } else {
        int line = n - 1 - static_cast<int>(rng() % 3);
        if (anywhere || rng() % 20 == 0) line = static_cast<int>(rng() % static_cast<unsigned>(n));
        line = std::max(line, 0);
        const int column = static_cast<int>(rng() % 8);
        const int length = static_cast<int>(rng() % 8);
        const TextStyle style = rng() % 2 ? TextStyle::Bold : TextStyle::Red;
        pane.MarkLine(line, column, length, style);
        model.Mark(line, column, length, style);
      }
      ASSERT_EQ(pane.Lines(), model.Lines) << "seed " << seed << " step " << step;
      ASSERT_EQ(pane.Ranges(), model.Ranges) << "seed " << seed << " step " << step;
    }
  }
}

TEST(OutputPaneTest, ReplacingALineClipsAndDropsOnlyItsOwnRanges) {
  OutputPane pane;
  pane.Add("abcdef");
  pane.Add("ghijkl");
  pane.MarkLine(0, 1, 4, TextStyle::Bold);
  pane.MarkLine(1, 4, 2, TextStyle::Red);
  pane.MarkLine(1, 0, 6, TextStyle::Bold);
  pane.Replace(1, "gh");
  EXPECT_EQ(pane.Ranges(),
            (std::vector<StyleRange>{{0, 1, 4, TextStyle::Bold}, {1, 0, 2, TextStyle::Bold}}));
  pane.Insert(0, "new\r\nlines");
  EXPECT_EQ(pane.Ranges(),
            (std::vector<StyleRange>{{2, 1, 4, TextStyle::Bold}, {3, 0, 2, TextStyle::Bold}}));
  EXPECT_EQ(pane.TextLength(), 4u + 6u + 7u + 3u);
}

}  // namespace
}  // namespace tqc
