// The window's stored settings in plain C++: number rules, defaults, ranges, the INI reader.
#include "stored_settings.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tqc {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int ReadInteger(const StoreReader& read, const char* section, const char* name, int fallback,
                int low, int high) {
  const std::optional<std::string> text = read(section, name);
  if (!text) return fallback;
  const std::optional<int> v = StoredInteger(*text);
  if (!v || *v < low || *v > high) return fallback;
  return *v;
}

bool ReadBool(const StoreReader& read, const char* section, const char* name, bool fallback) {
  const std::optional<std::string> text = read(section, name);
  if (!text) return fallback;
  const std::optional<int> v = StoredInteger(*text);
  if (!v) return fallback;
  return *v != 0;
}

// Window coordinates far beyond any screen are treated as damage, not as a place.
constexpr int kMinCoordinate = -32768;
constexpr int kMaxCoordinate = 32767;

void AppendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | ((cp >> 12) & 0x0F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Undoes the escapes of the settings library: "%XX" in section and value names.
std::string UnescapeName(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexDigit(s[i + 1]) >= 0 && HexDigit(s[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(s[i + 1]) * 16 + HexDigit(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// A value text: quoted parts, backslash escapes and "@@" for a leading "@". A comma outside
// quotes makes a list, which is no single text: it reads as empty.
std::string UnescapeValue(std::string_view s) {
  std::string out;
  bool quoted = false;
  bool list = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      list = true;
    } else if (c == '\\' && i + 1 < s.size()) {
      const char e = s[++i];
      switch (e) {
        case 'a':
          out += '\a';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'v':
          out += '\v';
          break;
        case 'x': {
          unsigned cp = 0;
          int digits = 0;
          while (i + 1 < s.size() && digits < 4 && HexDigit(s[i + 1]) >= 0) {
            cp = cp * 16 + static_cast<unsigned>(HexDigit(s[++i]));
            ++digits;
          }
          AppendUtf8(out, cp);
          break;
        }
        default:
          out += e;
          break;  // \" \\ \' \? and anything unknown
      }
    } else {
      out += c;
    }
  }
  if (list) return std::string();
  if (out.size() >= 2 && out[0] == '@' && out[1] == '@') out.erase(0, 1);
  return out;
}

}  // namespace

std::optional<int> StoredInteger(std::string_view text) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return std::nullopt;
  std::int64_t value = 0;
  if (s.front() == '$') {
    s.remove_prefix(1);
    if (s.empty() || s.size() > 8) return std::nullopt;
    for (char c : s) {
      const int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      value = value * 16 + d;
    }
    // Eight digits fill 32 bits: "$FFFFFFFF" is -1, as the store's integers are 32-bit.
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  } else {
    for (char c : s) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
      if (value > 2147483648LL) return std::nullopt;
    }
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

StoredSettings ReadStoredSettings(const StoreReader& read) {
  StoredSettings s;
  s.Top = ReadInteger(read, "Pos", "Top", s.Top, kMinCoordinate, kMaxCoordinate);
  s.Left = ReadInteger(read, "Pos", "Left", s.Left, kMinCoordinate, kMaxCoordinate);
  s.Height = ReadInteger(read, "Pos", "Height", s.Height, 1, kMaxCoordinate);
  s.Width = ReadInteger(read, "Pos", "Width", s.Width, 1, kMaxCoordinate);
  if (std::optional<std::string> dir = read("Pos", "Dir")) s.Dir = *dir;
  s.Ole = ReadBool(read, "Option", "Ole", s.Ole);
  // Any number is a call type (those without one of their own mean register).
  s.DefCall = ReadInteger(read, "Option", "DefCall", s.DefCall, INT32_MIN, INT32_MAX);
  s.Var1 = ReadInteger(read, "Option", "Var1", s.Var1, 0, 3);
  s.Var2 = ReadInteger(read, "Option", "Var2", s.Var2, 0, 3);
  s.Var3 = ReadBool(read, "Option", "Var3", s.Var3);
  s.Cpp = ReadBool(read, "Option", "cpp", s.Cpp);
  s.Ready = ReadBool(read, "Option", "Ready", s.Ready);
  s.Unix = ReadBool(read, "Option", "Unix", s.Unix);
  s.FixedFont = ReadBool(read, "Option", "FixedFont", s.FixedFont);
  return s;
}

std::vector<StoredValue> StoredValuesOf(const StoredSettings& s) {
  auto b = [](bool v) { return std::string(v ? "1" : "0"); };
  return {
      {"Pos", "Top", std::to_string(s.Top)},
      {"Pos", "Left", std::to_string(s.Left)},
      {"Pos", "Height", std::to_string(s.Height)},
      {"Pos", "Width", std::to_string(s.Width)},
      {"Pos", "Dir", s.Dir},
      {"Option", "Ole", b(s.Ole)},
      {"Option", "DefCall", std::to_string(s.DefCall)},
      {"Option", "Var1", std::to_string(s.Var1)},
      {"Option", "Var2", std::to_string(s.Var2)},
      {"Option", "Var3", b(s.Var3)},
      {"Option", "cpp", b(s.Cpp)},
      {"Option", "Ready", b(s.Ready)},
      {"Option", "Unix", b(s.Unix)},
      {"Option", "FixedFont", b(s.FixedFont)},
  };
}

CallType CallTypeOfDefCall(int defCall) {
  switch (defCall) {
    case 1:
      return CallType::Stdcall;
    case 2:
      return CallType::Cdecl;
    case 3:
      return CallType::Pascal;
    default:
      return CallType::Register;
  }
}

void ApplyStoredOptions(const StoredSettings& s, ConversionOptions& o) {
  o.OleMode = s.Ole;
  o.DefaultCall = CallTypeOfDefCall(s.DefCall);
  o.DefineCplusplus = s.Cpp;
  o.CompileReady = s.Ready;
  o.Platform = s.Unix ? Target::Unix : Target::Windows;
  o.VarModeMask = s.Var1;
  o.PointerModeMask = s.Var2;
  o.VoidPtrAsPointer = s.Var3;
}

IniSections ParseIniText(std::string_view text) {
  IniSections sections;
  std::string section;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      section = UnescapeName(Trim(
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    const std::string name = UnescapeName(Trim(line.substr(0, eq)));
    if (name.empty()) continue;
    auto& values = sections[section];
    // The last of two equal names counts, as the settings library reads them.
    values.insert_or_assign(name, UnescapeValue(Trim(line.substr(eq + 1))));
  }
  return sections;
}

std::string StoredSettingsPath() {
  std::string config;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::string();
    config = std::string(home) + "/.config";
  }
  return config + "/morlen/tqc.conf";
}

StoredSettings ReadStoredSettingsFile(const std::string& path) {
  IniSections sections;
  if (!path.empty()) {
    std::ifstream in(path, std::ios::binary);
    if (in) {
      std::ostringstream ss;
      ss << in.rdbuf();
      sections = ParseIniText(ss.str());
    }
  }
  return ReadStoredSettings([&sections](const std::string& section,
                                        const std::string& name) -> std::optional<std::string> {
    const auto s = sections.find(section);
    if (s == sections.end()) return std::nullopt;
    const auto v = s->second.find(name);
    if (v == s->second.end()) return std::nullopt;
    return v->second;
  });
}

}  // namespace tqc
