// libFuzzer target: TokenizeLine on one line, with the carried state of a conversion.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/context.h"
#include "engine/tokenizer.h"

using namespace tqc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DefinitionTables defs;
  ConversionOptions options;
  // The first byte picks a code page so the double-byte rule is exercised too.
  static const int kPages[] = {0, 932, 936, 949, 950};
  if (size > 0) options.CodePage = kPages[data[0] % 5];
  OutputPane pane;
  SilentHost host;
  ConversionContext ctx(defs, options, pane, host);
  std::string_view all(reinterpret_cast<const char*>(data), size);
  // Lines split at LF carry the tokenizer's modes from one to the next.
  std::size_t start = 0;
  while (start <= all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    ctx.PendingStar = false;
    try {
      TokenizeLine(all.substr(start, end - start), ctx);
    } catch (const std::exception&) {
      // A failure of one line is the driver's to report; the fuzzer looks for crashes.
    }
    start = end + 1;
  }
  return 0;
}
