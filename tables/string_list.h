// TStringList2: the one list type of tqc. An ordered list of (text, tag) entries that keeps
// insertion order and allows duplicates. Every definition table, every word list of a
// conversion and the token list of a statement is one of these.
//
// FindExact gives the index of the FIRST entry whose text equals the key, byte for byte.
// Tables hold thousands of entries and every token is looked up in several of them, so large
// lists keep a hash index from text to (first index, number of entries with that text).
// Appending, renaming, retagging and removing the last entry keep the index up to date;
// inserting or deleting in the middle shifts every later index, so the index is then
// dropped and rebuilt by the next look-up.
//
// A list may begin with frozen parts: read-only runs of entries, indexed once and shared by
// every copy of the list (the definition tables each conversion starts from, the knowledge
// of a set of include caches). Copying such a list copies pointers, not texts. Appending
// leaves the parts alone; changing or removing an entry inside a part first turns the whole
// list back into plain entries.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tqc {

class TStringList2;

// A text with what every list needs to look it up, computed once: for a token that is looked
// up in several tables.
class LookupKey {
 public:
  explicit LookupKey(std::string_view text);
  std::string_view Text() const { return text_; }

 private:
  friend class TStringList2;
  std::uint32_t Hash() const;  // computed on first use: most look-ups end at the filter
  std::string_view text_;
  std::size_t bit_;
  mutable std::uint32_t hash_ = 0;
  mutable bool hashed_ = false;
};

// A value that changes with every edit of a list other than an append. A reader that has
// looked at the first n entries knows they are unchanged while the stamp stays the same. Every
// stamp is new in the whole process, and a copied or moved list takes a new one, so two
// lists never share a stamp.
class EditStamp {
 public:
  EditStamp() : value_(Next()) {}
  EditStamp(const EditStamp&) : value_(Next()) {}
  EditStamp& operator=(const EditStamp&) {
    value_ = Next();
    return *this;
  }
  void Renew() { value_ = Next(); }
  std::uint64_t Value() const { return value_; }

 private:
  static std::uint64_t Next();
  std::uint64_t value_;
};

class TStringList2 {
 public:
  struct Entry {
    Entry() = default;
    // Built in place by Add: the text is moved or copied once.
    Entry(std::string&& text, int tag) : Text(std::move(text)), Tag(tag) {}
    Entry(const std::string& text, int tag) : Text(text), Tag(tag) {}
    Entry(std::string_view text, int tag) : Text(text), Tag(tag) {}
    std::string Text;
    int Tag = 0;
  };

  TStringList2() = default;
  TStringList2(std::initializer_list<std::string> texts);

  int Count() const { return partCount_ + static_cast<int>(entries_.size()); }
  bool Empty() const { return Count() == 0; }

  // Checked access: a bad index throws std::out_of_range.
  const std::string& Text(int i) const {
    return partCount_ == 0 ? entries_[CheckIndex(i)].Text : EntryAt(i).Text;
  }
  int Tag(int i) const { return partCount_ == 0 ? entries_[CheckIndex(i)].Tag : EntryAt(i).Tag; }
  const std::string& operator[](int i) const { return Text(i); }
  // Whether entry i is exactly `text` (checked like Text). The lengths are compared first,
  // which a comparison of std::string with a literal does not do.
  bool Is(int i, std::string_view text) const { return std::string_view(Text(i)) == text; }
  const std::string& Last() const { return Text(Count() - 1); }
  // Changes with every insertion, deletion, change of an entry and Clear; not with Add.
  std::uint64_t Stamp() const { return stamp_.Value(); }

  // Appends an entry. Each overload builds the entry's text in place: a token is moved
  // through several calls on its way in, and every move of a short string copies its bytes.
  int Add(std::string&& text, int tag = 0);
  int Add(const std::string& text, int tag = 0);
  int Add(std::string_view text, int tag = 0);
  int Add(const char* text, int tag = 0) { return Add(std::string_view(text), tag); }
  void Insert(int i, std::string text, int tag = 0);  // 0 <= i <= Count()
  void Delete(int i);
  void SetText(int i, std::string text);
  void SetTag(int i, int tag);
  void Clear();

  int FindExact(std::string_view key) const {
    // Most keys are in none of the tables they are looked up in: the filter says so at once,
    // without a call.
    if (!FilterHas(FilterBit(key))) return -1;
    return FindPresent(key);
  }
  bool Contains(std::string_view key) const { return FindExact(key) >= 0; }
  int FindExact(const LookupKey& key) const {
    if (!FilterHas(key.bit_)) return -1;
    return FindPresent(key);
  }
  bool Contains(const LookupKey& key) const { return FindExact(key) >= 0; }

  // All entries as one vector (frozen parts are turned back into plain entries first).
  const std::vector<Entry>& Entries() const {
    if (partCount_ > 0) Materialize();
    return entries_;
  }

  // Turns the plain entries into a frozen part at the end of the parts.
  void Freeze();
  // Appends every entry of `other`; its frozen parts are shared when it has nothing else.
  void AppendList(const TStringList2& other);

 private:
  int Added();  // indexes the entry just appended; returns its list index
  const Entry& EntryAt(int i) const;  // any index, parts included; checked
  // Index into entries_ of list index i, after turning the parts back into plain entries if
  // i lies inside one (those entries are about to change).
  std::size_t PlainIndex(int i);
  void Materialize() const;
  // Every access is checked: a bad index throws std::out_of_range. Inline, since the rules
  // index token lists in their inner loops.
  std::size_t CheckIndex(int i) const {
    if (i < 0 || static_cast<std::size_t>(i) >= entries_.size()) [[unlikely]]
      ThrowBadIndex(i);
    return static_cast<std::size_t>(i);
  }
  [[noreturn]] void ThrowBadIndex(int i) const;
  void BuildIndex() const;
  int FindPresent(std::string_view key) const;  // FindExact past the filter
  int FindPresent(const LookupKey& key) const;
  // Index among the plain entries of the first one equal to `key` (hash `h`), or -1.
  int FindPlain(std::string_view key, std::uint32_t h) const;

  // Below this size a scan is as quick as hashing; the index is not kept.
  static constexpr std::size_t kIndexThreshold = 24;

  void IndexAdd(std::string_view text, int i) const;
  void IndexRemove(std::string_view text, int i) const;

  // The index is an open-addressing table (linear probing, at most half full) of entry
  // positions: it holds no copies of the texts, so building and copying it allocates once.
  struct Slot {
    std::uint32_t Hash = 0;
    int First = -1;  // index of the first entry with this text; -1 marks a free slot
    int Count = 0;   // entries with this text
  };
  friend class LookupKey;
  static std::uint32_t HashOf(std::string_view s);
  // The slot holding `text` (hash `h`), or the free slot where it would go.
  std::size_t Probe(std::string_view text, std::uint32_t h) const;
  void Rehash(std::size_t capacity) const;
  // One bit per (length, first and last character) class of the texts stored since the
  // filter was built: a clear bit proves a key absent without a scan or a hash. Removing an
  // entry leaves its bit set, which only costs a look-up.
  static std::size_t FilterBit(std::string_view s) {
    if (s.empty()) return 0;
    return (s.size() * 131u + static_cast<unsigned char>(s.front()) * 7u +
            static_cast<unsigned char>(s.back())) &
           1023u;
  }
  // The filter is kept from the first look-up on: a list never searched (the token list of a
  // statement) does not pay for it on every append.
  mutable std::bitset<1024> filter_;  // covers the frozen parts too; valid while filterKept_
  mutable bool filterKept_ = false;
  bool FilterHas(std::size_t bit) const {
    if (!filterKept_) [[unlikely]]
      KeepFilter();
    return filter_[bit];
  }
  void FilterAdd(std::string_view text) {
    if (filterKept_) filter_.set(FilterBit(text));
  }
  void KeepFilter() const;
  // A frozen part with an index also has a filter by hash (the top bits of a text's hash),
  // which stays selective however many entries the part holds. Empty otherwise.
  std::vector<std::uint64_t> hashFilter_;
  int hashFilterShift_ = 0;
  void SetHashFilterBit(std::uint32_t h) {
    const std::uint32_t b = h >> hashFilterShift_;
    hashFilter_[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
  bool HashFilterHas(std::uint32_t h) const {
    const std::uint32_t b = h >> hashFilterShift_;
    return (hashFilter_[b >> 6] >> (b & 63)) & 1;
  }
  // Frozen parts (each a list with its index built and no parts of its own), where each
  // starts, and how many entries they hold; then the plain entries. Entries() may turn the
  // parts into plain entries, which changes the representation only: hence mutable.
  mutable std::vector<std::shared_ptr<const TStringList2>> parts_;
  mutable std::vector<int> partStart_;
  mutable int partCount_ = 0;
  mutable std::vector<Entry> entries_;
  // The index covers the plain entries only; positions in it count from the first of them.
  mutable std::vector<Slot> slots_;  // empty or a power of two in size
  mutable std::size_t used_ = 0;     // slots in use
  mutable bool indexValid_ = false;
  EditStamp stamp_;
};

inline LookupKey::LookupKey(std::string_view text)
    : text_(text), bit_(TStringList2::FilterBit(text)) {}

// The only table search of the system: index of the first entry equal to key, or -1.
inline int FindExact(const TStringList2& list, std::string_view key) { return list.FindExact(key); }

}  // namespace tqc
