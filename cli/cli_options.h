// Command-line options of tqc-convert.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/options.h"

namespace tqc {

struct CliOptions {
  std::string Home;
  std::optional<std::string> Output;
  std::optional<std::string> OutDir;
  std::optional<std::string> DefFile;
  std::optional<std::string> DllName;
  bool DllCancel = false;
  bool Order = false;
  bool Help = false;
  bool Version = false;
  bool Settings = false;   // start from the window's stored options
  bool PrintHome = false;  // print the folder and files in use, convert nothing
  ConversionOptions Conversion;
  std::vector<std::string> Files;
};

// Returns false with a message for a usage error. The conversion options start from those in
// `out`. With --settings, `loadStored` (when given) sets the options the window stored and the
// command line is read again on top of them, so that explicit options win.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& out, std::string& error,
                     const std::function<void(ConversionOptions&)>& loadStored = {});
std::string CliUsage();

// The files in an order where every header comes after the headers it includes among them.
// With `trailingAfter` (compiler-ready units), a header included after its includer's last
// declaration is converted after that includer, whose declarations it continues.
std::vector<std::string> OrderBaseFirst(const std::vector<std::string>& files,
                                        bool trailingAfter = false);

}  // namespace tqc
