// Command-line options of tqc-convert.
#pragma once

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
  ConversionOptions Conversion;
  std::vector<std::string> Files;
};

// Returns false with a message for a usage error.
bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& out, std::string& error);
std::string CliUsage();

// The files in an order where every header comes after the headers it includes among them.
std::vector<std::string> OrderBaseFirst(const std::vector<std::string>& files);

}  // namespace tqc
