// The rule families that TranslateStatement dispatches to, in dispatch order. Each returns
// Declined when the statement is not its own. Rule code lives in one file per family.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "context.h"
#include "dispatch.h"

namespace tqc {

// Replacement records of the definition files (tqc.def and a user .def).
RuleResult ApplyReplacement(ConversionContext& ctx, Statement& st);

// Conditional compilation, packing pragmas, linkage blocks.
RuleResult TranslateIf(ConversionContext& ctx, Statement& st);     // #if #elif #elseif
RuleResult TranslateIfdef(ConversionContext& ctx, Statement& st);  // #ifdef #ifndef #else #endif
RuleResult TranslatePragma(ConversionContext& ctx, Statement& st);
// The packing stack of "#pragma pack(push/pop)" and of the pshpackN.h/poppack.h includes:
// PushAlignmentOf pushes the current alignment and sets code (0..3: 1, 2, 4, 8 bytes);
// PopAlignment restores the one pushed last. Both return the directive line to write.
// The alignment directive, with `note` as its comment (the line it stands for).
std::string PushAlignmentOf(ConversionContext& ctx, int code, std::string_view note = "push");
std::string PopAlignment(ConversionContext& ctx, std::string_view note = "pop");
RuleResult TranslateExternC(ConversionContext& ctx, Statement& st);
// The __cplusplus resolution of the source pre-pass, one line at a time (the line as read,
// leading blanks included). Its mode and depth live in `state` for one pre-pass.
struct CplusplusState {
  int Mode = 0;
  int Depth = 0;
};
enum class CplusplusAction {
  Delete,        // the line is dropped from the source
  KeepLine,      // kept, and examined for interface and class heads
  KeepDirective  // kept (a conditional line), not examined further
};
CplusplusAction ResolveCplusplusLine(std::string_view line, CplusplusState& state);

// GUID definitions.
RuleResult TranslateGuid(ConversionContext& ctx, Statement& st);

// Includes and the include cache.
RuleResult TranslateInclude(ConversionContext& ctx, Statement& st);
bool IncludeCacheNeeded(const ConversionContext& ctx);
// The include cache named `name` (a header's file name without its extension) from the first
// cache folder that holds it; null when none does.
std::shared_ptr<const ParsedIncludeCache> FindCache(const ConversionContext& ctx,
                                                    const std::string& name);
// Builds the cache text (CR LF lines) of the conversion.
std::string BuildIncludeCache(const ConversionContext& ctx);
// Writes the cache file; returns false (and the reason) when it could not be written.
bool WriteIncludeCache(const ConversionContext& ctx, std::string& error);

// Macros.
RuleResult TranslateUndef(ConversionContext& ctx, Statement& st);
RuleResult TranslateDefine(ConversionContext& ctx, Statement& st);

// Typedefs, structs, unions, enumerations, constants, variables.
RuleResult TranslateDeclaration(ConversionContext& ctx, Statement& st);  // token 0 not typedef
RuleResult TranslateTypedef(ConversionContext& ctx, Statement& st);      // token 0 typedef
RuleResult TranslateOpenBody(ConversionContext& ctx, Statement& st);     // open enum/union/struct
RuleResult TranslateVariable(ConversionContext& ctx, Statement& st);     // statements without "("

// COM interfaces and C++ classes.
RuleResult TranslateInterfaceOrClass(ConversionContext& ctx, Statement& st);

// Function prototypes and procedural types.
RuleResult TranslatePrototype(ConversionContext& ctx, Statement& st);

// IDL pre-conversion: the lines of an .idl file as header lines.
std::vector<std::string> ConvertIdl(const std::vector<std::string>& idlLines, ConversionHost& host);

}  // namespace tqc
