// The options of one conversion, as the window's menus or tqc-convert's flags set them.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tqc {

class IncludeCacheMemo;

enum class CallType { Stdcall, Cdecl, Pascal, Register };

// The platform the units are written for. Windows: the Windows unit and the Windows C types.
// Unix: Free Pascal on Linux, the BSDs and macOS: C's own types and layout, the C library's
// headers left to the compiler, every routine bound to the library named.
enum class Target { Windows, Unix };

// The name of a target on the command line, in the settings and in the tables' section
// headers ("[unix TYPE]"); "" for Windows, whose sections are the plain ones.
inline const char* TargetSectionName(Target t) { return t == Target::Unix ? "unix" : ""; }

struct BannerDate {
  int Year = 1970, Month = 1, Day = 1;
};

struct ConversionOptions {
  bool OleMode = false;
  CallType DefaultCall = CallType::Cdecl;
  bool DefineCplusplus = false;  // "def __cplusplus"
  Target Platform = Target::Windows;
  // "Compiler-Ready Output": write what a Pascal compiler needs beyond the translation rules
  // (section headers in every branch, guarded {$IF} names, external bindings, ...).
  bool CompileReady = false;
  int VarModeMask = 0;      // bit 0: Other, bit 1: Interface/class
  int PointerModeMask = 0;  // bit 0: Other, bit 1: Interface/class
  bool VoidPtrAsPointer = false;
  std::string VersionText = "Ver.0.0.0.0";
  // ANSI code page whose double-byte lead bytes the tokenizer honours: 0 (single-byte),
  // 932, 936, 949 or 950.
  int CodePage = 0;
  // Date written in the banner; today when absent.
  std::optional<BannerDate> Today;
  // The include cache folders (each an "inc" folder), read in this order: a header's cache is
  // the first one found. Empty: no cache is read.
  std::vector<std::string> CacheDirs;
  // Where caches are written, normally the first of CacheDirs. Empty: none is written.
  std::string CacheWriteDir;
  // One folder for both: "<home>/inc", the layout of a home given with --home; an empty
  // home: no cache at all.
  void UseCacheHome(const std::string& home) {
    CacheWriteDir = home.empty() ? home : home.back() == '/' ? home + "inc" : home + "/inc";
    CacheDirs.clear();
    if (!home.empty()) CacheDirs.push_back(CacheWriteDir);
  }
  // Parsed include caches shared by the conversions of one run (not owned); null: every
  // cache is parsed whenever it is read.
  IncludeCacheMemo* CacheMemo = nullptr;
};

}  // namespace tqc
