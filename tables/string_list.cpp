// TStringList2 and its first-match look-up index.
#include "string_list.h"

#include <stdexcept>

namespace tqc {

TStringList2::TStringList2(std::initializer_list<std::string> texts) {
  for (const auto& t : texts) Add(t);
}

std::size_t TStringList2::CheckIndex(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= entries_.size())
    throw std::out_of_range("list index " + std::to_string(i) + " out of bounds (count " +
                            std::to_string(entries_.size()) + ")");
  return static_cast<std::size_t>(i);
}

int TStringList2::Add(std::string text, int tag) {
  int i = Count();
  if (indexValid_) index_.try_emplace(text, i);  // an earlier equal entry keeps winning
  entries_.push_back(Entry{std::move(text), tag});
  return i;
}

void TStringList2::Insert(int i, std::string text, int tag) {
  if (i < 0 || i > Count())
    throw std::out_of_range("insert position " + std::to_string(i) + " out of bounds");
  entries_.insert(entries_.begin() + i, Entry{std::move(text), tag});
  indexValid_ = false;
}

void TStringList2::Delete(int i) {
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(CheckIndex(i)));
  indexValid_ = false;
}

void TStringList2::SetText(int i, std::string text) {
  entries_.at(CheckIndex(i)).Text = std::move(text);
  indexValid_ = false;
}

void TStringList2::SetTag(int i, int tag) { entries_.at(CheckIndex(i)).Tag = tag; }

void TStringList2::Clear() {
  entries_.clear();
  index_.clear();
  indexValid_ = false;
}

void TStringList2::BuildIndex() const {
  index_.clear();
  index_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i)
    index_.try_emplace(entries_[i].Text, static_cast<int>(i));
  indexValid_ = true;
}

int TStringList2::FindExact(std::string_view key) const {
  if (entries_.size() < kIndexThreshold) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].Text == key) return static_cast<int>(i);
    return -1;
  }
  if (!indexValid_) BuildIndex();
  auto it = index_.find(key);
  return it == index_.end() ? -1 : it->second;
}

}  // namespace tqc
