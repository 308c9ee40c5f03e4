// Function prototypes and procedural types: the parts of the prototype rule that the
// interface and class rules share. Members of an interface or class body that no member
// form claims are ordinary prototypes with four-blank heads and the body's directive;
// constructors and STDMETHOD/STDMETHODIMP methods write their parameter lists with the
// prototype's parameter rule in a reduced form.
#pragma once

#include <string>

#include "context.h"
#include "dispatch.h"

namespace tqc {

// A token as C source again, for statements that go back into SourceLines: comments return
// to C form, since the tokenizer would take "(*" apart, and a "//" comment in the middle of
// the line (`last` false) would swallow the tokens after it.
std::string AsSource(const std::string& tok, bool last);

// The prototype rule for a statement inside an interface or class body (InInterface set):
// the head starts with four blanks and, in a COM interface (IsComInterface), the directive
// is " virtual; stdcall; abstract;" (OleMode), " safecall;" (IDispatchSeen) or " stdcall;".
// Same results as TranslatePrototype; outside a body it is TranslatePrototype.
RuleResult TranslateMemberPrototype(ConversionContext& ctx, Statement& st);

enum class ParameterListForm {
  // Routines and procedural types: void lists, comments between parameters, function-pointer
  // parameters, default values and C++ reference parameters.
  Prototype,
  // Constructors: a void first parameter is skipped only when ")" follows; no comments,
  // function pointers, default values or references; a name must be followed by "," or ")".
  Constructor,
  // STDMETHOD: no void skipping; a "(" comment at the start of a parameter is copied as
  // comment + " " (before the "(" when it precedes the first parameter); a comment after a
  // name, or in its place, is written after the parameter before the separator; no function
  // pointers, default values or references.
  Method,
  // STDMETHODIMP: Method, with a void list giving no parameters.
  MethodImpl,
};

struct ParameterListEnd {
  enum class Kind {
    Closed,    // stopped at the ")" at Index
    Unclosed,  // reached the last token without a ")"
    Error,     // the statement is an error line from token Index on (Built = the line)
    Split,     // a function-pointer parameter was split into two statements put back into
               // SourceLines; the statement writes nothing
  };
  Kind End = Kind::Unclosed;
  int Index = -1;
  bool Written = false;  // "(" was written: the caller closes with ")"
  bool Varargs = false;  // the list ended in "...": the routine takes a C variable list
};

// Writes the parameters that start at token `first` (the token after the "(") onto `line`.
// Lines completed on the way (a wrap after 78 characters, a "//" comment) are written to
// the pane, except when the list ends in a split. The token list may be edited in place.
ParameterListEnd WriteParameterList(ConversionContext& ctx, int first, ParameterListForm form,
                                    std::string& line);

}  // namespace tqc
