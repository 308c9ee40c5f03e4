// The options of one conversion, as the window's menus or tqc-convert's flags set them.
#pragma once

#include <optional>
#include <string>

namespace tqc {

class IncludeCacheMemo;

enum class CallType { Stdcall, Cdecl, Pascal, Register };

struct BannerDate {
  int Year = 1970, Month = 1, Day = 1;
};

struct ConversionOptions {
  bool OleMode = false;
  CallType DefaultCall = CallType::Cdecl;
  bool DefineCplusplus = false;  // "def __cplusplus"
  int VarModeMask = 0;           // bit 0: Other, bit 1: Interface/class
  int PointerModeMask = 0;       // bit 0: Other, bit 1: Interface/class
  bool VoidPtrAsPointer = false;
  std::string VersionText = "Ver.0.0.0.0";
  // ANSI code page whose double-byte lead bytes the tokenizer honours: 0 (single-byte),
  // 932, 936, 949 or 950.
  int CodePage = 0;
  // Date written in the banner; today when absent.
  std::optional<BannerDate> Today;
  // Folder of the program: the include cache lives in its "inc" folder. Empty: no cache is
  // read or written.
  std::string HomeDir;
  // Parsed include caches shared by the conversions of one run (not owned); null: every
  // cache is parsed whenever it is read.
  IncludeCacheMemo* CacheMemo = nullptr;
};

}  // namespace tqc
