// Parsing of tqc-convert's command line.
#include "cli_options.h"

#include <cstdio>
#include <optional>

namespace tqc {

std::string CliUsage() {
  return R"(Usage: tqc-convert [OPTIONS] FILE...
Converts C/C++ headers (.h) and IDL files (.idl) into Pascal units (.pas).

  --home DIR          folder that holds tqc.dat, tqc.typ, tqc.def and the inc cache
                      folder (default: the program's folder when it holds tqc.dat; else
                      the user's copies in ~/.local/share/morlen/tqc, then the shipped
                      files in ../share/tqc beside the program's folder)
  --print-home        print the folders and files in use and convert nothing
  -o, --output FILE   write the unit to FILE (one input only); "-" = standard output
  --out-dir DIR       write each unit as DIR/NAME.pas (default: beside its input)
  --ole               Ole Mode
  --call CONV         default call type: stdcall | cdecl | pascal | register (default cdecl)
  --cpp               def __cplusplus
  --compile-ready     Compiler-Ready Output: units a Pascal compiler accepts as they are
  --target T          platform of the units: windows | unix (default windows); unix: Free
                      Pascal on Linux, the BSDs, macOS: C's types through the ctypes unit,
                      C's layout, every routine bound to the library (--dll libz.so.1)
  --other MODE        Parameter Mode, Other group: normal | pointer | var (default normal)
  --intf MODE         Parameter Mode, Interface/class group: normal | pointer | var
  --void-ptr MODE     void * parameters: var | pointer (default var)
  --def FILE          load a user replacement file (as Load Definition...)
  --dll NAME          answer to the DLL-name prompt (default: accept the offered name)
  --dll-cancel        answer the DLL-name prompt with Cancel
  --date YYYY-MM-DD   date written in the banner (default: today)
  --codepage N        double-byte code page of the input: 932, 936, 949, 950 (default: none)
  --order             convert the given headers base-first, by their #include lines; the
                      caches of the given headers are read only as this run writes them
  --settings          start from the options the window stored (Ole Mode, call type,
                      def __cplusplus, Parameter Mode); options given here still win
  -h, --help          show this help
  --version           show the version
A value may also follow its option with "=" (--call=stdcall) or, for -o, directly (-oFILE).
)";
}

namespace {

bool SetMode(const std::string& v, int bit, ConversionOptions& o) {
  if (v == "normal") {
    o.PointerModeMask &= ~bit;
    o.VarModeMask &= ~bit;
  } else if (v == "pointer") {
    o.PointerModeMask |= bit;
    o.VarModeMask &= ~bit;
  } else if (v == "var") {
    o.VarModeMask |= bit;
    o.PointerModeMask &= ~bit;
  } else {
    return false;
  }
  return true;
}

bool ParseDate(const std::string& v, BannerDate& d) {
  int y, m, day;
  char extra;
  if (std::sscanf(v.c_str(), "%4d-%2d-%2d%c", &y, &m, &day, &extra) != 3) return false;
  if (m < 1 || m > 12 || day < 1 || y < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (day > kDays[m - 1] + (m == 2 && leap ? 1 : 0)) return false;
  d = BannerDate{y, m, day};
  return true;
}

bool ParseArgs(const std::vector<std::string>& args, CliOptions& out, std::string& error) {
  ConversionOptions& conv = out.Conversion;
  bool onlyFiles = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyFiles || arg.empty() || arg[0] != '-' || arg == "-") {
      out.Files.push_back(arg);
      continue;
    }
    // The value may also come in the same word, as getopt_long reads it: "--call=stdcall",
    // "-oFILE".
    std::string a = arg;
    std::optional<std::string> joined;
    if (arg.starts_with("--")) {
      if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
        a = arg.substr(0, eq);
        joined = arg.substr(eq + 1);
      }
    } else if (arg.size() > 2 && arg[1] == 'o') {
      a = "-o";
      joined = arg.substr(2);
    }
    bool valueTaken = false;
    auto value = [&](std::string& v) {
      valueTaken = true;
      if (joined) {
        v = *joined;
        return true;
      }
      if (i + 1 >= args.size()) {
        error = "option " + a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--") onlyFiles = true;
    else if (a == "-h" || a == "--help") out.Help = true;
    else if (a == "--version") out.Version = true;
    else if (a == "--home") { if (!value(out.Home)) return false; }
    else if (a == "-o" || a == "--output") { if (!value(v)) return false; out.Output = v; }
    else if (a == "--out-dir") { if (!value(v)) return false; out.OutDir = v; }
    else if (a == "--ole") conv.OleMode = true;
    else if (a == "--cpp") conv.DefineCplusplus = true;
    else if (a == "--compile-ready") conv.CompileReady = true;
    else if (a == "--target") {
      if (!value(v)) return false;
      if (v == "windows") conv.Platform = Target::Windows;
      else if (v == "unix") conv.Platform = Target::Unix;
      else { error = "unknown target '" + v + "' (windows or unix)"; return false; }
    }
    else if (a == "--call") {
      if (!value(v)) return false;
      if (v == "stdcall") conv.DefaultCall = CallType::Stdcall;
      else if (v == "cdecl") conv.DefaultCall = CallType::Cdecl;
      else if (v == "pascal") conv.DefaultCall = CallType::Pascal;
      else if (v == "register") conv.DefaultCall = CallType::Register;
      else { error = "unknown call type '" + v + "'"; return false; }
    } else if (a == "--other" || a == "--intf") {
      if (!value(v)) return false;
      if (!SetMode(v, a == "--other" ? 1 : 2, conv)) {
        error = "unknown parameter mode '" + v + "' (normal, pointer or var)";
        return false;
      }
    } else if (a == "--void-ptr") {
      if (!value(v)) return false;
      if (v == "var") conv.VoidPtrAsPointer = false;
      else if (v == "pointer") conv.VoidPtrAsPointer = true;
      else { error = "unknown void pointer mode '" + v + "' (var or pointer)"; return false; }
    } else if (a == "--def") { if (!value(v)) return false; out.DefFile = v; }
    else if (a == "--dll") { if (!value(v)) return false; out.DllName = v; }
    else if (a == "--dll-cancel") out.DllCancel = true;
    else if (a == "--date") {
      if (!value(v)) return false;
      BannerDate d;
      if (!ParseDate(v, d)) { error = "bad date '" + v + "' (YYYY-MM-DD)"; return false; }
      conv.Today = d;
    } else if (a == "--codepage") {
      if (!value(v)) return false;
      if (v == "932" || v == "936" || v == "949" || v == "950") conv.CodePage = std::stoi(v);
      else { error = "unsupported code page '" + v + "' (932, 936, 949 or 950)"; return false; }
    } else if (a == "--order") out.Order = true;
    else if (a == "--settings") out.Settings = true;
    else if (a == "--print-home") out.PrintHome = true;
    else { error = "unknown option " + a; return false; }
    if (joined && !valueTaken) {
      error = "option " + a + " takes no value";
      return false;
    }
  }
  if (out.Help || out.Version || out.PrintHome) return true;
  if (out.Files.empty()) { error = "no input file"; return false; }
  if (out.Output && out.Files.size() > 1) {
    error = "--output takes one input file only";
    return false;
  }
  if (out.DllName && out.DllCancel) {
    error = "--dll and --dll-cancel exclude each other";
    return false;
  }
  return true;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& out, std::string& error,
                     const std::function<void(ConversionOptions&)>& loadStored) {
  const CliOptions start = out;
  if (!ParseArgs(args, out, error)) return false;
  if (!out.Settings || !loadStored) return true;
  out = start;
  loadStored(out.Conversion);
  return ParseArgs(args, out, error);
}

}  // namespace tqc
