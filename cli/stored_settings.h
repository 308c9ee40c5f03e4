// The settings the window keeps between runs (sections "Pos" and "Option"): their names, their
// defaults, how a stored text reads and how a value is written. Plain C++: the window reads the
// store through Qt, tqc-convert --settings reads the same INI file directly.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/options.h"

namespace tqc {

// A stored integer: decimal, or "$" followed by hexadecimal digits (up to 32 bits, as the store
// keeps them), with an optional sign and blanks around it. nullopt when the text is no number.
std::optional<int> StoredInteger(std::string_view text);

struct StoredSettings {
  // "Pos"
  int Top = 0;
  int Left = 0;
  int Height = 400;
  int Width = 640;
  std::string Dir;  // the folder of the last opened header
  // "Option"
  bool Ole = false;
  int DefCall = 2;         // 1 stdcall, 2 cdecl, 3 pascal, anything else register
  int Var1 = 0;            // VarModeMask
  int Var2 = 0;            // PointerModeMask
  bool Var3 = false;       // VoidPtrAsPointer
  bool Cpp = false;        // def __cplusplus
  bool Ready = false;      // Compiler-Ready Output
  bool Unix = false;       // Unix Target (--target unix)
  bool FixedFont = false;  // the window's pane in a fixed-width font
};

// One value as the store holds it.
struct StoredValue {
  std::string Section, Name, Text;
};

// Looks a value up: its text, or nullopt when the store has none.
using StoreReader =
    std::function<std::optional<std::string>(const std::string& section, const std::string& name)>;

// Reads every value; absent values, texts that are no number and values out of range give the
// defaults.
StoredSettings ReadStoredSettings(const StoreReader& read);

// Every value in its stored form: integers in decimal, booleans "0" or "1".
std::vector<StoredValue> StoredValuesOf(const StoredSettings& s);

// The call type of a stored "DefCall" (any number without a call type of its own: register).
CallType CallTypeOfDefCall(int defCall);

// The conversion options the stored settings choose.
void ApplyStoredOptions(const StoredSettings& s, ConversionOptions& o);

// The INI form of the store (sections, then name=value lines), as the window's settings library
// writes it on Linux: section -> name -> value text, quotes and escapes undone.
using IniSections = std::map<std::string, std::map<std::string, std::string>>;
IniSections ParseIniText(std::string_view text);

// The window's store file: $XDG_CONFIG_HOME/morlen/tqc.conf, or ~/.config/morlen/tqc.conf.
// Empty when neither folder is known.
std::string StoredSettingsPath();

// The settings in the INI file at `path`; the defaults when it cannot be read.
StoredSettings ReadStoredSettingsFile(const std::string& path);

}  // namespace tqc
