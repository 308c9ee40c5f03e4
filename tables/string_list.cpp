// TStringList2 and its first-match look-up index.
#include "string_list.h"

#include <stdexcept>

namespace tqc {

TStringList2::TStringList2(std::initializer_list<std::string> texts) {
  for (const auto& t : texts) Add(t);
}

void TStringList2::ThrowBadIndex(int i) const {
  throw std::out_of_range("list index " + std::to_string(i) + " out of bounds (count " +
                          std::to_string(entries_.size()) + ")");
}

// Records entry i (already in place, or about to be) under `text`.
void TStringList2::IndexAdd(const std::string& text, int i) const {
  auto [it, inserted] = index_.try_emplace(text, Slot{i, 1});
  if (inserted) return;
  ++it->second.Count;
  if (i < it->second.First) it->second.First = i;
}

// Forgets entry i under `text`; the entry must still hold its old place in entries_.
void TStringList2::IndexRemove(const std::string& text, int i) const {
  auto it = index_.find(text);
  if (it == index_.end()) return;  // cannot happen while the index is valid
  if (--it->second.Count == 0) {
    index_.erase(it);
    return;
  }
  if (it->second.First != i) return;
  // The first of several equal entries goes away: the next one after it takes over.
  for (std::size_t j = static_cast<std::size_t>(i) + 1; j < entries_.size(); ++j) {
    if (entries_[j].Text == text) {
      it->second.First = static_cast<int>(j);
      return;
    }
  }
  indexValid_ = false;  // counts disagree with the entries: start again
}

int TStringList2::Add(std::string text, int tag) {
  int i = Count();
  if (indexValid_) IndexAdd(text, i);
  filter_.set(FilterBit(text));
  entries_.push_back(Entry{std::move(text), tag});
  return i;
}

void TStringList2::Insert(int i, std::string text, int tag) {
  if (i < 0 || i > Count())
    throw std::out_of_range("insert position " + std::to_string(i) + " out of bounds");
  if (i == Count()) {
    Add(std::move(text), tag);
    return;
  }
  filter_.set(FilterBit(text));
  entries_.insert(entries_.begin() + i, Entry{std::move(text), tag});
  indexValid_ = false;
}

void TStringList2::Delete(int i) {
  const std::size_t at = CheckIndex(i);
  if (indexValid_ && at + 1 == entries_.size()) {
    IndexRemove(entries_[at].Text, i);
  } else {
    indexValid_ = false;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
}

void TStringList2::SetText(int i, std::string text) {
  Entry& e = entries_.at(CheckIndex(i));
  if (e.Text == text) return;
  if (indexValid_) {
    IndexRemove(e.Text, i);
    if (indexValid_) IndexAdd(text, i);
  }
  filter_.set(FilterBit(text));
  e.Text = std::move(text);
}

void TStringList2::SetTag(int i, int tag) { entries_.at(CheckIndex(i)).Tag = tag; }

void TStringList2::Clear() {
  entries_.clear();
  filter_.reset();
  index_.clear();
  indexValid_ = false;
}

void TStringList2::BuildIndex() const {
  index_.clear();
  index_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    auto [it, inserted] = index_.try_emplace(entries_[i].Text, Slot{static_cast<int>(i), 1});
    if (!inserted) ++it->second.Count;
  }
  indexValid_ = true;
}

int TStringList2::FindExact(std::string_view key) const {
  // Most keys are in none of the tables they are looked up in: the filter says so at once.
  if (!filter_.test(FilterBit(key))) return -1;
  if (entries_.size() < kIndexThreshold) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].Text == key) return static_cast<int>(i);
    return -1;
  }
  if (!indexValid_) BuildIndex();
  auto it = index_.find(key);
  return it == index_.end() ? -1 : it->second.First;
}

}  // namespace tqc
