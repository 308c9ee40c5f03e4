// Whole units of fixed sample headers, byte for byte, with the shipped definition files.
// They guard the output while the engine is reworked (for speed or otherwise): any change
// to a unit must be a deliberate one. Set TQC_UPDATE_GOLDEN=1 to rewrite the expected units
// after such a change, then read the difference before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/conversion.h"
#include "tables/definition_files.h"
#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;

using testing::ReadAll;

TEST(GoldenTest, SampleHeadersConvertToTheirExpectedUnits) {
  const fs::path dir = fs::path(TQC_FIXTURES_DIR) / "golden";
  const bool update = std::getenv("TQC_UPDATE_GOLDEN") != nullptr;
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const fs::path header = entry.path();
    if (header.extension() != ".h" && header.extension() != ".idl") continue;
    DefinitionTables tables;
    LoadDefinitions(tables, TQC_DATA_DIR);
    ConversionOptions options;
    options.Today = BannerDate{2026, 1, 1};
    options.VersionText = "Ver.1.0.0.0";
    SilentHost host = SilentHost::AcceptingOffered();
    OutputPane pane;
    ConvertText(header.string(), ReadAll(header), BannerDate{2026, 1, 1}, tables, options, host,
                pane);
    const std::string unit = pane.SaveText();
    fs::path expected = header;
    expected.replace_extension(".pas");
    if (update) {
      std::ofstream(expected, std::ios::binary) << unit;
    } else {
      ASSERT_TRUE(fs::exists(expected)) << expected;
      EXPECT_EQ(unit, ReadAll(expected)) << "unit of " << header.filename();
    }
    ++compared;
  }
  EXPECT_GE(compared, 2);
}

}  // namespace
}  // namespace tqc
