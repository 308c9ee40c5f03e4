// COM interfaces and C++ classes: the interface and class heads (with the GUID attribute
// and the registration of new names), access labels, the braces of a body, constructors
// and destructors, STDMETHOD and STDMETHODIMP methods. Other members of a body fall through
// to the prototype rule, which reads the body state kept here (InInterface, IsComInterface,
// IDispatchSeen).

#include "routines.h"
#include "rules.h"
#include "type_mapping.h"

namespace tqc {

namespace {

bool IsComment(const std::string& s) {
  return s.size() > 1 && (StartsWith(s, "(*") || StartsWith(s, "//"));
}

// Token i, or an empty text past the end (for look-ahead only).
const std::string& At(const TStringList2& t, int i) {
  static const std::string kNone;
  return i >= 0 && i < t.Count() ? t.Text(i) : kNone;
}

int FindToken(const TStringList2& t, std::string_view s, int from) {
  for (int i = from; i < t.Count(); ++i)
    if (t.Text(i) == s) return i;
  return -1;
}

// More "{" than "}" from token `from` on: an inline body continues on later lines.
bool BracesStayOpen(const TStringList2& t, int from) {
  int depth = 0;
  for (int i = from; i < t.Count(); ++i) {
    if (t.Is(i, "{")) ++depth;
    if (t.Is(i, "}")) --depth;
  }
  return depth > 0;
}

RuleResult Error(Statement& st, int from) {
  st.Outcome = from;
  return RuleResult::Epilogue;
}

RuleResult Line(Statement& st, std::string text) {
  st.Built = std::move(text);
  st.Outcome = kWriteBuilt;
  return RuleResult::Epilogue;
}

RuleResult Pend(ConversionContext& ctx) {
  ctx.Pending = true;
  return RuleResult::Done;
}

void RegisterName(TStringList2& names, std::vector<int>& idx, const std::string& name) {
  if (names.Contains(name)) return;
  idx.push_back(names.Count());
  names.Add(name);
}

void OpenBody(ConversionContext& ctx, const std::string& name, bool com) {
  ctx.InInterface = true;
  ctx.IsComInterface = com;
  ctx.InterfaceName = name;
  SwitchSection(ctx, Section::Type);
  ctx.UsesOle = true;
}

std::string InterfaceHeadLine(const ConversionContext& ctx, const std::string& name,
                              const std::string& base) {
  return "  " + name + (ctx.Options.OleMode ? " = class ( " : " = interface ( ") + base + " )";
}

// The common end of the three interface head forms. `uuid` is the GUID string of the head
// (MIDL_INTERFACE, DECLSPEC_UUID), or empty when the attribute comes from a DEFINE_GUID.
RuleResult InterfaceHead(ConversionContext& ctx, Statement& st, const std::string& name,
                         const std::string& base, const std::string* uuid) {
  OpenBody(ctx, name, true);
  std::string line = InterfaceHeadLine(ctx, name, base);
  if (!ctx.Options.OleMode) {
    // A new head starts a new body, so the flag describes this interface alone.
    ctx.IDispatchSeen = EqualsIgnoreCase(base, "idispatch");
    if (uuid) {
      line += "\r\n\t['{" + *uuid + "}']";
    } else if (int f = ctx.ForwardNames.FindExact(name); f >= 0) {
      line += "\r\n\t" + ctx.ForwardTexts.Text(f);
      ctx.ForwardNames.Delete(f);
      ctx.ForwardTexts.Delete(f);
    } else {
      // The head goes on the next line of the pane; its attribute on the line after it.
      ctx.ForwardRefs.Add(name, ctx.Pane.Count() + 1);
    }
  }
  RegisterName(ctx.InterfaceNames, ctx.NewInterfaceIdx, name);
  return Line(st, std::move(line));
}

std::string Unquote(const std::string& s) {
  return s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string();
}

// «DECLARE_INTERFACE_ ( Name , Base )»
RuleResult DeclareInterfaceHead(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  if (t.Count() < 6 || !t.Is(1, "(") || !t.Is(3, ",") || !t.Is(5, ")"))
    return Error(st, 0);
  return InterfaceHead(ctx, st, t.Text(2), t.Text(4), nullptr);
}

// «MIDL_INTERFACE ( 'uuid' ) Name : public Base {»
RuleResult MidlInterfaceHead(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  if (t.Count() < 9) return Pend(ctx);
  if (!t.Is(1, "(") || !t.Is(3, ")") || !t.Is(5, ":") || !t.Is(6, "public"))
    return Error(st, 0);
  const std::string uuid = Unquote(t.Text(2));
  return InterfaceHead(ctx, st, t.Text(4), t.Text(7), &uuid);
}

// «interface DECLSPEC_UUID ( 'uuid' ) Name : public Base {»
RuleResult UuidInterfaceHead(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  if (k == 7 && t.Is(4, ")") && t.Is(6, ";")) return Error(st, 0);
  if (k < 10) return Pend(ctx);
  if (!t.Is(9, "{")) return Error(st, 0);
  const std::string uuid = Unquote(t.Text(3));
  return InterfaceHead(ctx, st, t.Text(5), t.Text(8), &uuid);
}

RuleResult ClassHead(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  std::string line;
  if (k == 2 || ((k == 3 || k == 4) && t.Is(2, "{"))) {
    line = "  " + t.Text(1) + " = class";
    if (k == 4 && (StartsWith(t.Text(3), "/") || StartsWith(t.Text(3), "(")))
      line += "\t" + t.Text(3);
  } else if (k < 3 || !t.Is(2, ":")) {
    return Error(st, 0);
  } else {
    if (FindToken(t, "{", 2) < 0) return Pend(ctx);
    line = "  " + t.Text(1) + " = class ( ";
    for (int i = 3;; i += 3) {
      const std::string_view access = t.Text(i);
      if ((access != "public" && access != "private") || i + 2 >= k) {
        st.Built = line;
        return Error(st, i);
      }
      line += t.Text(i + 1);
      if (t.Is(i + 2, "{")) break;
      line += ", ";
    }
    line += " )";
    // A C++ class whose one base is a COM interface («class ITextServices : public IUnknown»)
    // is an interface: a class would have to implement IUnknown's methods.
    const std::string& base = t.Text(4);
    if (ctx.Ready.ClassesOfInterfacesAreInterfaces() && !ctx.Options.OleMode && t.Is(5, "{") &&
        (base == "IUnknown" || ctx.InterfaceNames.Contains(base))) {
      const std::string name = t.Text(1);
      OpenBody(ctx, name, true);
      ctx.IDispatchSeen = false;
      RegisterName(ctx.InterfaceNames, ctx.NewInterfaceIdx, name);
      return Line(st, InterfaceHeadLine(ctx, name, base));
    }
  }
  const std::string name = t.Text(1);
  OpenBody(ctx, name, false);
  ctx.IDispatchSeen = false;
  RegisterName(ctx.ClassNames, ctx.NewClassIdx, name);
  return Line(st, std::move(line));
}

RuleResult AccessLabel(ConversionContext& ctx, Statement& st) {
  if (!ctx.InInterface) return Error(st, 0);
  const std::string& label = ctx.TokenList.Text(0);
  if (label == "protected:") return Line(st, "  protected");
  if (label == "private:") return Line(st, "  private");
  return Line(st, ctx.IsComInterface ? "  //  public" : "  public");
}

// The parameter list from token `first` on, written onto `line`. Returns the index of its
// ")", or -1 when the statement became an error line (Outcome set, the line built so far
// goes with it).
int MemberParameters(ConversionContext& ctx, Statement& st, int first, ParameterListForm form,
                     std::string& line) {
  const ParameterListEnd end = WriteParameterList(ctx, first, form, line);
  switch (end.End) {
    case ParameterListEnd::Kind::Closed:
      if (end.Written) line += ")";
      return end.Index;
    case ParameterListEnd::Kind::Error:
      st.Outcome = end.Index;
      break;
    default:  // no ")": the list ran into the end of the statement
      st.Outcome = ctx.TokenList.Count() - 1;
      break;
  }
  st.Built = line;
  return -1;
}

RuleResult Constructor(ConversionContext& ctx, Statement& st) {
  TStringList2& t = ctx.TokenList;
  // «CFoo *Make();» names the class but declares no constructor.
  if (At(t, 1) != "(") return RuleResult::Declined;
  if (FindToken(t, ";", 1) < 0 && FindToken(t, "{", 1) < 0) return Pend(ctx);
  std::string line = "    constructor Create";
  const int close = MemberParameters(ctx, st, 2, ParameterListForm::Constructor, line);
  if (close < 0) return RuleResult::Epilogue;
  line += "; override;";
  const int k = t.Count();
  if (At(t, close + 1) == "{") {
    line += "\r\n\t";
    for (int j = close + 1; j < k; ++j) (line += ' ') += t.Text(j);
    if (BracesStayOpen(t, close + 1)) ctx.InBlockComment = true;
  } else if (k - close - 1 == 2 && IsComment(t.Text(close + 2))) {
    line += "\t" + t.Text(close + 2);
  }
  return Line(st, std::move(line));
}

RuleResult Destructor(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const bool body = FindToken(t, "{", 2) >= 0;
  if (!body && FindToken(t, ";", 1) < 0) return Pend(ctx);
  std::string line = "    destructor Destroy; override;";
  if (body) {
    line += "\r\n\t";
    for (int j = 1; j < k; ++j) (line += ' ') += t.Text(j);
    if (BracesStayOpen(t, 1)) ctx.InBlockComment = true;
  } else if (k == 5 && IsComment(t.Text(4))) {
    line += "\t" + t.Text(4);
  }
  return Line(st, std::move(line));
}

// The head of a STDMETHOD or STDMETHODIMP method; the methods Pascal's interfaces provide
// themselves are commented out. `result` receives ": type" or nothing.
std::string MethodHead(const ConversionContext& ctx, std::string name, const std::string& type,
                       std::string& result) {
  const std::string lower = AsciiLowerCopy(name);
  result = ": " + type;
  if (lower == "addref" || lower == "release")
    return "//    function " + std::string(ctx.Options.OleMode ? "" : "_") + name;
  if (lower == "queryinterface") return "//    function " + name;
  if (ctx.IDispatchSeen && (lower == "gettypeinfocount" || lower == "gettypeinfo" ||
                            lower == "getidsofnames" || lower == "invoke"))
    return "//    function " + name;
  if (lower == "begin" || lower == "end") name = "_" + name;
  if (ctx.VoidNames.Contains(type)) {
    result.clear();
    return "    procedure " + name;
  }
  return "    function " + name;
}

// Appends the comments that follow the parameter list.
void AppendLaterComments(const TStringList2& t, int close, std::string& line) {
  for (int j = close + 1; j < t.Count(); ++j)
    if (StartsWith(t.Text(j), "(*")) line += " " + t.Text(j);
}

// The result type of STDMETHOD_ / STDMETHODIMP_ (token 2). An elaborated name
// («struct IFoo *») loses its keyword, so that the name stays at token 4, and a pointer
// result is named as an ordinary prototype names it.
std::string ResultType(ConversionContext& ctx) {
  TStringList2& t = ctx.TokenList;
  const std::string_view k = At(t, 2);
  // A const result («STDMETHOD_(const char *, GetName)») is the type itself in Pascal.
  if (k == "struct" || k == "union" || k == "enum" || k == "const") t.Delete(2);
  std::string type = At(t, 2);
  if (type.size() > 1 && type.back() == '*') {
    type.pop_back();
    type = PointerTypeOf(ctx, type);
  }
  return type;
}

// «STDMETHOD ( Name ) ( THIS_ ... ) PURE ;», «STDMETHOD_ ( Type , Name ) ( THIS_ ... ) ...»
RuleResult StdMethod(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const bool typed = t.Is(0, "STDMETHOD_");
  const int nameIdx = typed ? 4 : 2;
  if (FindToken(t, ";", nameIdx + 1) < 0) return Pend(ctx);
  const std::string type = typed ? ResultType(ctx) : "HRESULT";
  if (t.Count() < nameIdx + 6) return Error(st, 0);
  // Anything else in the places of the brackets and the comma would be read as the name.
  if (!t.Is(1, "(") || (typed && !t.Is(3, ",")) || !t.Is(nameIdx + 1, ")") ||
      !t.Is(nameIdx + 2, "("))
    return Error(st, 0);
  std::string result;
  const std::string head = MethodHead(ctx, t.Text(nameIdx), type, result);
  std::string line = head;
  // The parameters follow THIS_ (THIS or void for none); a list without it starts at once.
  const std::string_view self = t.Text(nameIdx + 3);
  const bool skip = self == "THIS" || self == "THIS_" ||
                    (ctx.VoidNames.Contains(self) && At(t, nameIdx + 4) == ")");
  const int close =
      MemberParameters(ctx, st, nameIdx + (skip ? 4 : 3), ParameterListForm::Method, line);
  if (close < 0) return RuleResult::Epilogue;
  line += result;
  if (ctx.Options.OleMode)
    line += "; virtual; stdcall; abstract;";
  else if (ctx.IDispatchSeen && !StartsWith(head, "/"))
    line += "; safecall;";
  else
    line += "; stdcall;";
  AppendLaterComments(t, close, line);
  return Line(st, std::move(line));
}

// «STDMETHODIMP Name ( ... ) ;», «STDMETHODIMP_ ( Type ) Name ( ... ) ;»
RuleResult StdMethodImp(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const bool typed = t.Is(0, "STDMETHODIMP_");
  const int nameIdx = typed ? 4 : 1;
  if (FindToken(t, ";", 1) < 0) return Pend(ctx);
  const std::string type = typed ? ResultType(ctx) : "HRESULT";
  if (t.Count() < nameIdx + 4) return Error(st, 0);
  const std::string& name = t.Text(nameIdx);
  std::string result;
  std::string head;
  if (name == "QueryInterface" || name == "AddRef" || name == "Release") {
    head = "//    function _" + name;
    result = ": " + type;
  } else {
    head = MethodHead(ctx, name, type, result);
  }
  std::string line = head;
  const int close = MemberParameters(ctx, st, nameIdx + 2, ParameterListForm::MethodImpl, line);
  if (close < 0) return RuleResult::Epilogue;
  line += result;
  line += ctx.Options.OleMode ? "; virtual; stdcall; abstract;" : "; stdcall;";
  AppendLaterComments(t, close, line);
  return Line(st, std::move(line));
}

// Statements inside an interface or class body that this rule translates itself.
RuleResult BodyStatement(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const std::string_view t0 = t.Text(0);
  const std::string& name = ctx.InterfaceName;
  if (StartsWith(t0, "DECLARE_")) return Error(st, 0);
  if (t0 == name) return Constructor(ctx, st);
  if (t0 == "~" + name) return Destructor(ctx, st);
  // A virtual constructor or destructor. «virtual IFoo* STDMETHODCALLTYPE Clone();» only
  // returns the interface and stays an ordinary method.
  if (t0 == "virtual" && t.Count() > 2 &&
      ((t.Text(1) == name && t.Is(2, "(")) || t.Text(1) == "~" + name))
    return Error(st, 0);
  if (t0 == "STDMETHOD" || t0 == "STDMETHOD_") return StdMethod(ctx, st);
  if (t0 == "STDMETHODIMP" || t0 == "STDMETHODIMP_") return StdMethodImp(ctx, st);
  if (t0 == "{") {
    ctx.Pending = false;
    return RuleResult::Done;
  }
  if (t0 == "}") {
    ctx.InInterface = false;
    ctx.IDispatchSeen = false;
    return Line(st, "  end;");
  }
  // Any other member is an ordinary prototype (four-blank head, the body's directive), or a
  // field. The dispatch tries the prototype rule next; calling it from here as well would
  // run its body handling twice on a statement it declines.
  return RuleResult::Declined;
}

}  // namespace

RuleResult TranslateInterfaceOrClass(ConversionContext& ctx, Statement& st) {
  const TStringList2& t = ctx.TokenList;
  const int k = t.Count();
  const std::string_view t0 = t.Text(0);
  if (t0 == "DECLARE_INTERFACE_") return DeclareInterfaceHead(ctx, st);
  if (t0 == "MIDL_INTERFACE") return MidlInterfaceHead(ctx, st);
  if (t0 == "interface" && At(t, 1) == "DECLSPEC_UUID" && At(t, 2) == "(")
    return UuidInterfaceHead(ctx, st);
  if (t0 == "class") return ClassHead(ctx, st);
  if (t0 == "protected:" || t0 == "private:" || t0 == "public:") return AccessLabel(ctx, st);
  if (ctx.OpenStructLine != -1 && (t0 == "BEGIN_INTERFACE" || t0 == "END_INTERFACE"))
    return Error(st, 0);
  if (ctx.InInterface) return BodyStatement(ctx, st);
  if (t0 == "}" && k >= 2 && t.Is(1, ";")) {
    if (k == 2) return Line(st, "// };");
    if (k == 3 && (StartsWith(t.Text(2), "(") || StartsWith(t.Text(2), "/")))
      return Line(st, "// }; " + t.Text(2));
  }
  return RuleResult::Declined;
}

}  // namespace tqc
