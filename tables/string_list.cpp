// TStringList2 and its first-match look-up index.
#include "string_list.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <iterator>
#include <stdexcept>

namespace tqc {

std::uint64_t EditStamp::Next() {
  // Each thread counts in its own range, without a lock per edit.
  static std::atomic<std::uint64_t> threads{0};
  thread_local std::uint64_t next = (threads.fetch_add(1, std::memory_order_relaxed) + 1) << 40;
  return ++next;
}

TStringList2::TStringList2(std::initializer_list<std::string> texts) {
  for (const auto& t : texts) Add(t);
}

void TStringList2::ThrowBadIndex(int i) const {
  throw std::out_of_range("list index " + std::to_string(i) + " out of bounds (count " +
                          std::to_string(Count()) + ")");
}

const TStringList2::Entry& TStringList2::EntryAt(int i) const {
  if (i < 0 || i >= Count()) ThrowBadIndex(i);
  if (i >= partCount_) return entries_[static_cast<std::size_t>(i - partCount_)];
  const auto k = static_cast<std::size_t>(
      std::upper_bound(partStart_.begin(), partStart_.end(), i) - partStart_.begin() - 1);
  return parts_[k]->entries_[static_cast<std::size_t>(i - partStart_[k])];
}

void TStringList2::Materialize() const {
  std::vector<Entry> all;
  all.reserve(static_cast<std::size_t>(Count()));
  for (const auto& part : parts_) all.insert(all.end(), part->entries_.begin(), part->entries_.end());
  std::move(entries_.begin(), entries_.end(), std::back_inserter(all));
  entries_ = std::move(all);
  parts_.clear();
  partStart_.clear();
  partCount_ = 0;
  slots_.clear();
  used_ = 0;
  indexValid_ = false;
}

std::size_t TStringList2::PlainIndex(int i) {
  if (i < 0 || i >= Count()) ThrowBadIndex(i);
  if (i < partCount_) Materialize();
  return static_cast<std::size_t>(i - partCount_);
}

void TStringList2::Freeze() {
  if (entries_.empty()) return;
  auto part = std::make_shared<TStringList2>();
  part->entries_ = std::move(entries_);
  part->KeepFilter();
  // Built now: a shared part is never changed afterwards, not even by a look-up.
  if (part->entries_.size() >= kIndexThreshold) {
    part->BuildIndex();
    // A large part fills the small filter; a bit per hash class, about eight bits per
    // entry, still turns most absent keys away without a probe.
    std::size_t bits = 1024;
    while (bits < part->entries_.size() * 8) bits *= 2;
    part->hashFilter_.assign(bits / 64, 0);
    part->hashFilterShift_ = 32 - std::countr_zero(bits);
    for (const Slot& slot : part->slots_)
      if (slot.First >= 0) part->SetHashFilterBit(slot.Hash);
  }
  partStart_.push_back(partCount_);
  partCount_ += part->Count();
  parts_.push_back(std::move(part));
  entries_.clear();
  slots_.clear();
  used_ = 0;
  indexValid_ = false;
}

void TStringList2::AppendList(const TStringList2& other) {
  if (&other == this) {
    const TStringList2 copy = other;
    AppendList(copy);
    return;
  }
  if (other.entries_.empty()) {
    if (other.parts_.empty()) return;
    Freeze();  // the shared parts must come after what is already here
    for (const auto& part : other.parts_) {
      partStart_.push_back(partCount_);
      partCount_ += part->Count();
      parts_.push_back(part);
    }
    if (filterKept_)
      for (const auto& part : other.parts_) filter_ |= part->filter_;
    return;
  }
  for (int i = 0; i < other.Count(); ++i) Add(other.Text(i), other.Tag(i));
}

std::uint32_t TStringList2::HashOf(std::string_view s) {
  // FNV-1a over 8-byte words: table keys are short identifiers, and this is cheaper than a
  // general-purpose string hash while spreading them well enough for linear probing.
  std::uint64_t h = 0xcbf29ce484222325ull ^ s.size();
  std::size_t i = 0;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + i, 8);
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  if (i < s.size()) {
    // The last 1 to 7 bytes in at most two fixed-size loads (a memcpy of a variable length
    // is a library call): overlapping words, or for 1 to 3 bytes the first, middle and last.
    // Every byte is read, and the length is already in the hash.
    const char* p = s.data();
    const std::size_t n = s.size();
    std::uint64_t w;
    if (n >= 8) {
      std::memcpy(&w, p + n - 8, 8);
    } else if (n >= 4) {
      std::uint32_t a, b;
      std::memcpy(&a, p, 4);
      std::memcpy(&b, p + n - 4, 4);
      w = a | static_cast<std::uint64_t>(b) << 32;
    } else {
      w = static_cast<std::uint64_t>(static_cast<unsigned char>(p[0])) |
          static_cast<std::uint64_t>(static_cast<unsigned char>(p[n / 2])) << 8 |
          static_cast<std::uint64_t>(static_cast<unsigned char>(p[n - 1])) << 16;
    }
    h = (h ^ w) * 0x100000001b3ull;
    h ^= h >> 29;
  }
  h *= 0x9e3779b97f4a7c15ull;
  return static_cast<std::uint32_t>(h >> 32);
}

std::size_t TStringList2::Probe(std::string_view text, std::uint32_t h) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t p = h & mask;; p = (p + 1) & mask) {
    const Slot& slot = slots_[p];
    if (slot.First < 0) return p;
    if (slot.Hash == h && entries_[static_cast<std::size_t>(slot.First)].Text == text) return p;
  }
}

void TStringList2::Rehash(std::size_t capacity) const {
  std::vector<Slot> old;
  old.swap(slots_);
  slots_.assign(capacity, Slot{});
  const std::size_t mask = capacity - 1;
  for (const Slot& slot : old) {
    if (slot.First < 0) continue;
    std::size_t p = slot.Hash & mask;
    while (slots_[p].First >= 0) p = (p + 1) & mask;
    slots_[p] = slot;
  }
}

// Records entry i (already in place, or about to be) under `text`.
void TStringList2::IndexAdd(std::string_view text, int i) const {
  if ((used_ + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 64 : slots_.size() * 2);
  const std::uint32_t h = HashOf(text);
  Slot& slot = slots_[Probe(text, h)];
  if (slot.First < 0) {
    slot = Slot{h, i, 1};
    ++used_;
    return;
  }
  ++slot.Count;
  if (i < slot.First) slot.First = i;
}

// Forgets entry i under `text`; the entry must still hold its old place in entries_.
void TStringList2::IndexRemove(std::string_view text, int i) const {
  if (slots_.empty()) return;
  const std::uint32_t h = HashOf(text);
  std::size_t p = Probe(text, h);
  Slot& slot = slots_[p];
  if (slot.First < 0) return;  // cannot happen while the index is valid
  if (--slot.Count == 0) {
    // Backward-shift deletion keeps every probe sequence unbroken without tombstones.
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = p;
    for (std::size_t q = (p + 1) & mask; slots_[q].First >= 0; q = (q + 1) & mask) {
      const std::size_t home = slots_[q].Hash & mask;
      // Move q into the hole unless its home lies cyclically in (hole, q].
      const bool stays = hole <= q ? (hole < home && home <= q) : (hole < home || home <= q);
      if (stays) continue;
      slots_[hole] = slots_[q];
      hole = q;
    }
    slots_[hole] = Slot{};
    --used_;
    return;
  }
  if (slot.First != i) return;
  // The first of several equal entries goes away: the next one after it takes over.
  for (std::size_t j = static_cast<std::size_t>(i) + 1; j < entries_.size(); ++j) {
    if (entries_[j].Text == text) {
      slot.First = static_cast<int>(j);
      return;
    }
  }
  indexValid_ = false;  // counts disagree with the entries: start again
}

int TStringList2::Add(std::string&& text, int tag) {
  FilterAdd(text);
  entries_.emplace_back(std::move(text), tag);
  return Added();
}

int TStringList2::Add(const std::string& text, int tag) {
  FilterAdd(text);
  entries_.emplace_back(text, tag);
  return Added();
}

int TStringList2::Add(std::string_view text, int tag) {
  FilterAdd(text);
  entries_.emplace_back(text, tag);
  return Added();
}

int TStringList2::Added() {
  const int local = static_cast<int>(entries_.size()) - 1;
  if (indexValid_) IndexAdd(entries_.back().Text, local);
  return partCount_ + local;
}

void TStringList2::Insert(int i, std::string text, int tag) {
  if (i < 0 || i > Count())
    throw std::out_of_range("insert position " + std::to_string(i) + " out of bounds");
  if (i == Count()) {
    Add(std::move(text), tag);
    return;
  }
  const std::size_t at = PlainIndex(i);
  stamp_.Renew();
  FilterAdd(text);
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(at), Entry{std::move(text), tag});
  indexValid_ = false;
}

void TStringList2::Delete(int i) {
  const std::size_t at = PlainIndex(i);
  stamp_.Renew();
  if (indexValid_ && at + 1 == entries_.size()) {
    IndexRemove(entries_[at].Text, static_cast<int>(at));
  } else {
    indexValid_ = false;
  }
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
}

void TStringList2::SetText(int i, std::string text) {
  if (Text(i) == text) return;
  const std::size_t at = PlainIndex(i);
  stamp_.Renew();
  Entry& e = entries_[at];
  if (indexValid_) {
    IndexRemove(e.Text, static_cast<int>(at));
    if (indexValid_) IndexAdd(text, static_cast<int>(at));
  }
  FilterAdd(text);
  e.Text = std::move(text);
}

void TStringList2::SetTag(int i, int tag) {
  if (Tag(i) == tag) return;
  entries_[PlainIndex(i)].Tag = tag;
  stamp_.Renew();
}

void TStringList2::Clear() {
  stamp_.Renew();
  parts_.clear();
  partStart_.clear();
  partCount_ = 0;
  entries_.clear();
  filterKept_ = false;
  slots_.clear();
  used_ = 0;
  indexValid_ = false;
}

void TStringList2::KeepFilter() const {
  // A frozen part keeps its filter from the start (Freeze), so that a shared part is never
  // written to.
  filter_.reset();
  for (const auto& part : parts_) filter_ |= part->filter_;
  for (const Entry& e : entries_) filter_.set(FilterBit(e.Text));
  filterKept_ = true;
}

void TStringList2::BuildIndex() const {
  std::size_t capacity = 64;
  while (capacity < entries_.size() * 2) capacity *= 2;
  slots_.assign(capacity, Slot{});
  used_ = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) IndexAdd(entries_[i].Text, static_cast<int>(i));
  indexValid_ = true;
}

int TStringList2::FindPlain(std::string_view key, std::uint32_t h) const {
  if (entries_.size() < kIndexThreshold) {
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (entries_[i].Text == key) return static_cast<int>(i);
    return -1;
  }
  if (!indexValid_) BuildIndex();
  return slots_[Probe(key, h)].First;
}

std::uint32_t LookupKey::Hash() const {
  if (!hashed_) {
    hash_ = TStringList2::HashOf(text_);
    hashed_ = true;
  }
  return hash_;
}

int TStringList2::FindPresent(std::string_view key) const {
  if (parts_.empty() && entries_.size() < kIndexThreshold) return FindPlain(key, 0);  // a scan
  // One hash and one filter bit serve the parts and the plain entries.
  return FindPresent(LookupKey(key));
}

int TStringList2::FindPresent(const LookupKey& key) const {
  // The parts come first, so the first match in them is the first match of the list.
  for (std::size_t k = 0; k < parts_.size(); ++k) {
    const TStringList2& part = *parts_[k];
    if (!part.filter_.test(key.bit_)) continue;
    const std::uint32_t h = part.entries_.size() < kIndexThreshold ? 0 : key.Hash();
    if (!part.hashFilter_.empty() && !part.HashFilterHas(h)) continue;
    if (int r = part.FindPlain(key.text_, h); r >= 0) return partStart_[k] + r;
  }
  if (entries_.empty()) return -1;
  // Small lists are scanned: no hash.
  const int local = FindPlain(key.text_, entries_.size() < kIndexThreshold ? 0 : key.Hash());
  return local < 0 ? -1 : partCount_ + local;
}

}  // namespace tqc
