// TStringList2: FindExact's first-match answer must stay right through every kind of edit,
// for lists small enough to be scanned and large enough to be indexed.
#include "tables/string_list.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/list_model.h"

namespace tqc {
namespace {

void ExpectSame(const TStringList2& list, const ListModel& ref, int keyCount,
                const std::string& where) {
  ASSERT_EQ(list.Count(), static_cast<int>(ref.Texts.size())) << where;
  for (int i = 0; i < list.Count(); ++i) {
    ASSERT_EQ(list.Text(i), ref.Texts[static_cast<std::size_t>(i)]) << where;
    ASSERT_EQ(list.Tag(i), ref.Tags[static_cast<std::size_t>(i)]) << where;
  }
  for (int k = 0; k < keyCount; ++k) {
    const std::string key = "k" + std::to_string(k);
    ASSERT_EQ(list.FindExact(key), ref.Find(key)) << where << " key " << key;
    ASSERT_EQ(list.FindExact(LookupKey(key)), ref.Find(key)) << where << " key " << key;
  }
  ASSERT_EQ(list.FindExact("absent"), -1) << where;
}

// Random edits over a small key alphabet, so that duplicates are everywhere; sizes cross
// the indexing threshold in both directions.
TEST(StringListTest, FindExactAgreesWithLinearScanUnderRandomEdits) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 rng(seed);
    const int keyCount = 3 + static_cast<int>(seed % 60);
    const int maxSize = seed % 2 ? 40 : 400;
    auto key = [&] { return "k" + std::to_string(rng() % static_cast<unsigned>(keyCount)); };
    TStringList2 list;
    ListModel ref;
    for (int step = 0; step < 1500; ++step) {
      const int n = static_cast<int>(ref.Texts.size());
      const unsigned op = rng() % 100;
      std::string what;
      if (op < 35 && n < maxSize) {
        std::string k = key();
        const int tag = static_cast<int>(rng() % 5);
        list.Add(k, tag);
        ref.Texts.push_back(k);
        ref.Tags.push_back(tag);
        what = "Add";
      } else if (op < 55 && n > 0) {
        const int i = static_cast<int>(rng() % static_cast<unsigned>(n));
        std::string k = key();
        list.SetText(i, k);
        ref.Texts[static_cast<std::size_t>(i)] = k;
        what = "SetText";
      } else if (op < 62 && n > 0) {
        const int i = static_cast<int>(rng() % static_cast<unsigned>(n));
        list.SetTag(i, 7);
        ref.Tags[static_cast<std::size_t>(i)] = 7;
        what = "SetTag";
      } else if (op < 72 && n < maxSize) {
        const int i = static_cast<int>(rng() % static_cast<unsigned>(n + 1));
        std::string k = key();
        list.Insert(i, k, 1);
        ref.Texts.insert(ref.Texts.begin() + i, k);
        ref.Tags.insert(ref.Tags.begin() + i, 1);
        what = "Insert";
      } else if (op < 88 && n > 0) {
        // Deleting the last entry and deleting in the middle take different paths.
        const int i = rng() % 2 ? n - 1 : static_cast<int>(rng() % static_cast<unsigned>(n));
        list.Delete(i);
        ref.Texts.erase(ref.Texts.begin() + i);
        ref.Tags.erase(ref.Tags.begin() + i);
        what = "Delete";
      } else if (op < 92) {
        // A copy answers like the original, and editing one leaves the other alone.
        TStringList2 copy = list;
        ExpectSame(copy, ref, keyCount, "copy");
        if (copy.Count() > 0) copy.SetText(0, "k0");
        if (copy.Count() > 1) copy.SetTag(copy.Count() / 2, 9);
        copy.Add("k1");
        ExpectSame(list, ref, keyCount, "original after editing the copy");
        what = "Copy";
      } else if (op < 93) {
        list.Clear();
        ref.Texts.clear();
        ref.Tags.clear();
        what = "Clear";
      } else if (op < 96) {
        list.Freeze();  // changes nothing a caller can see
        what = "Freeze";
      } else if (n < maxSize) {
        // Appending another list, frozen (its parts are shared) or not (its entries copied).
        TStringList2 other;
        const int m = static_cast<int>(rng() % 40);
        for (int j = 0; j < m; ++j) {
          std::string k = key();
          other.Add(k, j);
          ref.Texts.push_back(k);
          ref.Tags.push_back(j);
        }
        if (rng() % 2) other.Freeze();
        if (rng() % 2) other.FindExact("k1");  // with or without an index
        list.AppendList(other);
        what = "AppendList";
      } else {
        continue;
      }
      // Look-ups between edits build the index; without them edits pile up unindexed.
      if (rng() % 3 != 0)
        ExpectSame(list, ref, keyCount,
                   "seed " + std::to_string(seed) + " step " + std::to_string(step) + " " + what);
      if (::testing::Test::HasFatalFailure()) return;
    }
    ExpectSame(list, ref, keyCount, "seed " + std::to_string(seed) + " end");
  }
}

TEST(StringListTest, FirstOfEqualEntriesWinsAndTheNextTakesOverWhenItGoes) {
  TStringList2 list;
  for (int i = 0; i < 50; ++i) list.Add("x" + std::to_string(i));
  list.Add("dup", 1);  // 50
  list.Add("dup", 2);  // 51
  list.Add("dup", 3);  // 52
  EXPECT_EQ(list.FindExact("dup"), 50);
  list.SetText(50, "other");
  EXPECT_EQ(list.FindExact("dup"), 51);
  list.SetText(52, "x0");  // a later duplicate of an earlier entry does not win
  EXPECT_EQ(list.FindExact("x0"), 0);
  list.SetText(10, "dup");  // an earlier entry renamed takes over
  EXPECT_EQ(list.FindExact("dup"), 10);
  list.Delete(list.Count() - 1);
  EXPECT_EQ(list.FindExact("x0"), 0);
  list.Delete(0);  // a middle deletion shifts every index
  EXPECT_EQ(list.FindExact("x0"), -1);
  EXPECT_EQ(list.FindExact("x1"), 0);
  EXPECT_EQ(list.FindExact("dup"), 9);
  EXPECT_EQ(list.FindExact(std::string_view("dup", 2)), -1);  // whole text only
  EXPECT_EQ(list.FindExact("DUP"), -1);                       // case-sensitive
}

// Thousands of distinct texts make the index grow several times; removing them again from
// the end, with look-ups in between, takes texts out of long probe runs.
TEST(StringListTest, LargeListsGrowAndShrinkTheirIndex) {
  TStringList2 list;
  ListModel ref;
  for (int i = 0; i < 5000; ++i) {
    const std::string text = "k" + std::to_string(i * 7 % 5000);
    list.Add(text, i);
    ref.Texts.push_back(text);
    ref.Tags.push_back(i);
    if (i % 97 == 0) {
      ASSERT_EQ(list.FindExact(text), ref.Find(text));
    }
  }
  TStringList2 copy = list;
  ExpectSame(copy, ref, 5100, "copy of 5000");
  for (int n = 0; n < 4990; ++n) {
    list.Delete(list.Count() - 1);
    ref.Texts.pop_back();
    ref.Tags.pop_back();
    if (n % 499 == 0) ExpectSame(list, ref, 5100, "after " + std::to_string(n + 1) + " deletes");
  }
  ExpectSame(list, ref, 5100, "10 left");
  EXPECT_EQ(copy.Count(), 5000);
  EXPECT_EQ(copy.FindExact(copy.Text(4321)), 4321);  // the copy keeps its own index
}

// A reader that remembers the stamp may trust the entries it has read while the stamp holds:
// only appends keep it, and no two lists ever share one.
TEST(StringListTest, StampChangesWithEveryEditButAnAppend) {
  struct Case {
    const char* name;
    void (*edit)(TStringList2&);
    bool keeps;
  };
  const Case cases[] = {
      {"add", [](TStringList2& l) { l.Add("d"); }, true},
      {"add a view", [](TStringList2& l) { l.Add(std::string_view("d")); }, true},
      {"append a list", [](TStringList2& l) { l.AppendList(TStringList2{"x", "y"}); }, true},
      {"look up", [](TStringList2& l) { (void)l.FindExact("b"); }, true},
      {"same text", [](TStringList2& l) { l.SetText(1, "b"); }, true},
      {"same tag", [](TStringList2& l) { l.SetTag(1, 0); }, true},
      {"insert", [](TStringList2& l) { l.Insert(1, "x"); }, false},
      {"insert at the end", [](TStringList2& l) { l.Insert(3, "x"); }, true},
      {"delete the last", [](TStringList2& l) { l.Delete(2); }, false},
      {"delete the first", [](TStringList2& l) { l.Delete(0); }, false},
      {"other text", [](TStringList2& l) { l.SetText(0, "x"); }, false},
      {"other tag", [](TStringList2& l) { l.SetTag(0, 5); }, false},
      {"clear", [](TStringList2& l) { l.Clear(); }, false},
      {"assign", [](TStringList2& l) { l = TStringList2{"a", "b", "c"}; }, false},
  };
  for (const Case& c : cases) {
    TStringList2 list{"a", "b", "c"};
    const std::uint64_t before = list.Stamp();
    c.edit(list);
    EXPECT_EQ(list.Stamp() == before, c.keeps) << c.name;
  }
  // Copies and moves take stamps of their own, even of equal lists.
  TStringList2 a{"a", "b"};
  TStringList2 b = a;
  EXPECT_NE(a.Stamp(), b.Stamp());
  const std::uint64_t stampOfB = b.Stamp();
  TStringList2 c = std::move(b);
  EXPECT_NE(c.Stamp(), stampOfB);
  EXPECT_NE(c.Stamp(), a.Stamp());
}

TEST(StringListTest, CheckedAccessThrows) {
  TStringList2 list{"a", "b"};
  EXPECT_THROW(list.Text(2), std::out_of_range);
  EXPECT_THROW(list.Text(-1), std::out_of_range);
  EXPECT_THROW(list.Tag(2), std::out_of_range);
  EXPECT_THROW(list.SetText(2, "x"), std::out_of_range);
  EXPECT_THROW(list.SetTag(-1, 0), std::out_of_range);
  EXPECT_THROW(list.Delete(2), std::out_of_range);
  EXPECT_THROW(list.Insert(3, "x"), std::out_of_range);
  EXPECT_THROW(TStringList2().Last(), std::out_of_range);
  EXPECT_NO_THROW(list.Insert(2, "c"));
  EXPECT_EQ(list.Last(), "c");
}

}  // namespace
}  // namespace tqc
