// Pass. C shape: a COM header declares its interfaces in the branch for C++
// («#if defined(__cplusplus) && !defined(CINTERFACE)»; the C branch has records of method
// pointers instead), and the routines after the conditional use them. A branch for C++ that
// declares an interface is the one compiled: its directive becomes «{$IF True }».
#include <string>
#include <vector>

#include "compile_ready/passes.h"

namespace tqc {

namespace {

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.substr(0, prefix.size()) == prefix;
}

bool IsCplusplusBranch(std::string_view line) {
  return StartsWithText(line, "{$IFDEF __cplusplus}") ||
         (StartsWithText(line, "{$IF ") &&
          line.find("Defined(__cplusplus)") != std::string_view::npos &&
          line.find("not Defined(__cplusplus)") == std::string_view::npos);
}

}  // namespace

void TakeInterfaceBranches(UnitModel& model) {
  struct Open {
    int Line;
    bool Cpp;
    bool FirstBranch = true;
    bool Take = false;
  };
  std::vector<Open> open;
  for (int i = model.First(); i < model.Count(); ++i) {
    switch (model.Directive(i)) {
      case DirectiveKind::End:
        if (open.empty()) break;
        if (open.back().Take) {
          const int head = open.back().Line;
          model.Replace(head, "{$IF True }\t// " + model.Text(head));
        }
        open.pop_back();
        break;
      case DirectiveKind::Else:
        if (!open.empty()) open.back().FirstBranch = false;
        break;
      case DirectiveKind::If:
        open.push_back({i, IsCplusplusBranch(model.Text(i))});
        break;
      default: {
        // A complete interface, not a forward declaration.
        const std::string& code = model.Code(i);
        if (model.Kind(i) != LineKind::Declaration ||
            code.find(" = interface") == std::string::npos || code.ends_with(";"))
          break;
        for (auto o = open.rbegin(); o != open.rend(); ++o)
          if (o->Cpp && o->FirstBranch) {
            o->Take = true;
            break;
          }
      }
    }
  }
}

}  // namespace tqc
