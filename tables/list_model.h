// The plain model a TStringList2 must agree with: a vector of texts and tags whose look-up
// is a linear scan for the first equal text. Shared by the list tests and the fuzz target.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tqc {

struct ListModel {
  std::vector<std::string> Texts;
  std::vector<int> Tags;
  int Find(const std::string& key) const {
    for (std::size_t i = 0; i < Texts.size(); ++i)
      if (Texts[i] == key) return static_cast<int>(i);
    return -1;
  }
};

}  // namespace tqc
