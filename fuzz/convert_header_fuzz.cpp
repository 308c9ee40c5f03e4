// libFuzzer target: ConvertText on a whole file with the shipped definition tables.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/conversion.h"
#include "shipped_tables.h"
#include "tables/definition_files.h"

using namespace tqc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ConversionOptions options;
  options.Today = BannerDate{2026, 1, 1};
  // The first byte picks the options; the rest is the file.
  options.OleMode = data[0] & 1;
  options.DefineCplusplus = data[0] & 2;
  options.VarModeMask = (data[0] >> 2) & 3;
  options.PointerModeMask = (data[0] >> 4) & 3;
  options.VoidPtrAsPointer = data[0] & 64;
  options.DefaultCall = static_cast<CallType>((data[0] >> 6) & 3);
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  // Each run starts from a fresh copy: a conversion may add to SkipWords.
  DefinitionTables tables = ShippedTables();
  OutputPane pane;
  SilentHost host = SilentHost::AcceptingOffered();
  bool idl = size > 1 && (data[1] & 0x80);
  ConvertText(idl ? "fuzz.idl" : "fuzz.h", text, BannerDate{2026, 1, 1}, tables, options, host,
              pane);
  return 0;
}
