// libFuzzer target: TStringList2 against a plain vector, under edits, copies, frozen parts and
// appended lists chosen by the input. Every look-up must give the first equal entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/list_model.h"
#include "tables/string_list.h"

using namespace tqc;

namespace {

void Check(const TStringList2& list, const ListModel& m) {
  if (list.Count() != static_cast<int>(m.Texts.size())) std::abort();
  for (int i = 0; i < list.Count(); ++i) {
    if (list.Text(i) != m.Texts[static_cast<std::size_t>(i)]) std::abort();
    if (list.Tag(i) != m.Tags[static_cast<std::size_t>(i)]) std::abort();
    if (list.FindExact(m.Texts[static_cast<std::size_t>(i)]) !=
        m.Find(m.Texts[static_cast<std::size_t>(i)]))
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TStringList2 list, other;
  ListModel m, om;
  std::size_t p = 0;
  auto next = [&]() -> unsigned { return p < size ? data[p++] : 0u; };
  // Keys from a small alphabet, so that equal entries are common; lists grow past the size at
  // which they are indexed.
  auto key = [&] { return "k" + std::to_string(next() % 48); };
  while (p < size) {
    const unsigned op = next() % 12;
    const int n = list.Count();
    const int at = n > 0 ? static_cast<int>(next() % static_cast<unsigned>(n)) : 0;
    switch (op) {
      case 0:
      case 1: {
        std::string k = key();
        const int tag = static_cast<int>(next() % 4);
        list.Add(k, tag);
        m.Texts.push_back(k);
        m.Tags.push_back(tag);
        break;
      }
      case 2:
        if (n > 0) {
          std::string k = key();
          list.SetText(at, k);
          m.Texts[static_cast<std::size_t>(at)] = k;
        }
        break;
      case 3:
        if (n > 0) {
          list.SetTag(at, 7);
          m.Tags[static_cast<std::size_t>(at)] = 7;
        }
        break;
      case 4: {
        std::string k = key();
        list.Insert(at, k, 2);
        m.Texts.insert(m.Texts.begin() + at, k);
        m.Tags.insert(m.Tags.begin() + at, 2);
        break;
      }
      case 5:
        if (n > 0) {
          const int i = next() % 2 ? n - 1 : at;
          list.Delete(i);
          m.Texts.erase(m.Texts.begin() + i);
          m.Tags.erase(m.Tags.begin() + i);
        }
        break;
      case 6:
        list.Freeze();
        break;
      case 7: {
        std::string k = key();
        other.Add(k, 5);
        om.Texts.push_back(k);
        om.Tags.push_back(5);
        if (next() % 2) other.Freeze();
        break;
      }
      case 8:
        list.AppendList(other);
        m.Texts.insert(m.Texts.end(), om.Texts.begin(), om.Texts.end());
        m.Tags.insert(m.Tags.end(), om.Tags.begin(), om.Tags.end());
        break;
      case 9: {
        TStringList2 copy = list;  // editing the copy must leave the list alone
        if (copy.Count() > 0) copy.SetText(0, "changed");
        copy.Add("k1");
        Check(list, m);
        break;
      }
      case 10: {
        const std::string k = key();  // a look-up between edits builds the index
        if (list.FindExact(k) != m.Find(k)) std::abort();
        break;
      }
      default:
        if (next() % 8 == 0) {
          list.Clear();
          m.Texts.clear();
          m.Tags.clear();
        }
        break;
    }
    if (list.FindExact("absent") != -1) std::abort();
  }
  Check(list, m);
  Check(other, om);
  try {
    list.Text(list.Count());
    std::abort();  // a bad index must throw
  } catch (const std::out_of_range&) {
  }
  return 0;
}
