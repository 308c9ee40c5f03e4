// Pass. C shape: a header that uses what only its includer, or a header it never includes,
// declares («typedef HSTRING_HEADER X;» where winstring.h declares HSTRING_HEADER). The names
// the unit's declarations use that neither this unit nor the units it includes declare are
// looked up among the other converted units (IsKnownName), whose units then join the uses
// clause. Field and parameter names (followed by ":") and Pascal's words are passed over; so
// are constants, whose values were checked when they were written. A name the ActiveX unit
// declares makes the unit use it.
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "compile_ready/declarations.h"
#include "compile_ready/passes.h"
#include "context.h"
#include "type_mapping.h"

namespace tqc {

void FindNamesOfOtherUnits(ConversionContext& ctx, UnitModel& model) {
  static const std::unordered_set<std::string> kWords = {
      "abstract", "array",    "begin",     "cdecl",   "class", "const",  "end",     "export",
      "external", "function", "interface", "name",    "of",    "packed", "pascal",  "procedure",
      "record",   "register", "safecall",  "stdcall", "type",  "var",    "varargs", "virtual",
      "case",     "out",      "string",    "set",     "file",  "to",     "object",  "in"};
  // A word is looked up once per unit: what a look-up finds does not change within the unit.
  enum : unsigned char { kOleChecked = 1, kLookedUp = 2 };
  std::unordered_map<std::string_view, unsigned char> done;
  bool constants = false;
  for (int i = model.First(); i < model.Count(); ++i) {
    bool comment = model.CommentAtStart(i);
    if (model.Kind(i) == LineKind::SectionHeader) constants = model.Code(i) == "const";
    if (constants && !comment) continue;
    const std::string& line = model.Text(i);  // look-ups do not change the unit
    ForEachCodeWord(line, comment, [&](std::size_t p, std::size_t end) {
      std::size_t after = end;
      while (after < line.size() && (line[after] == ' ' || line[after] == '\t')) ++after;
      const bool named = after < line.size() && line[after] == ':' &&
                         !(after + 1 < line.size() && line[after + 1] == '=');
      const std::string_view word(line.data() + p, end - p);
      unsigned char& state = done[word];
      // The tables' COM interfaces are declared by the ActiveX unit, and so are some of the
      // Pascal types they write.
      if (!ctx.UsesOle && !(state & kOleChecked)) {
        const int ptr = ctx.Defs.PointerTypes.FindExact(word);
        if (ctx.Defs.InterfaceNames.Contains(word) || ctx.Defs.ActiveXNames.Contains(word) ||
            (ptr >= 0 && ptr < ctx.Defs.PointeeTypes.Count() &&
             ctx.Defs.PointeeTypes.Tag(ptr) == 1))
          ctx.UsesOle = true;
      }
      state |= kOleChecked;
      if (named || (state & kLookedUp)) return;
      state |= kLookedUp;
      if (!kWords.contains(AsciiLowerCopy(word))) IsKnownName(ctx, word);
    });
  }
}

}  // namespace tqc
