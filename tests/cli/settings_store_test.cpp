// The stored settings' rules shared by the window and tqc-convert --settings: how a stored text
// reads, the defaults, the ranges, the written forms and the INI reader.
#include <gtest/gtest.h>

#include <map>

#include "cli/stored_settings.h"

namespace tqc {
namespace {

using Store = std::map<std::pair<std::string, std::string>, std::string>;

StoredSettings Read(const Store& store) {
  return ReadStoredSettings([&store](const std::string& s, const std::string& n) {
    auto it = store.find({s, n});
    return it == store.end() ? std::nullopt : std::optional<std::string>(it->second);
  });
}

TEST(StoredIntegerTest, DecimalHexadecimalAndNoNumber) {
  struct Case {
    const char* text;
    std::optional<int> value;
  };
  const Case cases[] = {
      {"0", 0},
      {"640", 640},
      {"-12", -12},
      {"+7", 7},
      {" 42 ", 42},
      {"$10", 16},
      {"$ff", 255},
      {"$7FFFFFFF", 2147483647},
      {"$FFFFFFFF", -1},  // 32 bits, as the store keeps integers
      {"-$10", -16},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"$100000000", std::nullopt},
      {"abc", std::nullopt},
      {"", std::nullopt},
      {"$", std::nullopt},
      {"-", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"0x10", std::nullopt},
      {"$1G", std::nullopt},
      {"1.5", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(StoredInteger(c.text), c.value) << '"' << c.text << '"';
}

TEST(StoredSettingsTest, AnEmptyStoreGivesTheDefaults) {
  const StoredSettings s = Read({});
  EXPECT_EQ(s.Top, 0);
  EXPECT_EQ(s.Left, 0);
  EXPECT_EQ(s.Height, 400);
  EXPECT_EQ(s.Width, 640);
  EXPECT_EQ(s.Dir, "");
  EXPECT_FALSE(s.Ole);
  EXPECT_EQ(s.DefCall, 2);
  EXPECT_EQ(s.Var1, 0);
  EXPECT_EQ(s.Var2, 0);
  EXPECT_FALSE(s.Var3);
  EXPECT_FALSE(s.Cpp);
  EXPECT_FALSE(s.Ready);
  EXPECT_FALSE(s.FixedFont);
  ConversionOptions o;
  o.OleMode = true;
  o.DefaultCall = CallType::Pascal;
  ApplyStoredOptions(s, o);
  EXPECT_FALSE(o.OleMode);
  EXPECT_EQ(o.DefaultCall, CallType::Cdecl);
}

TEST(StoredSettingsTest, BadValuesGiveTheDefaultsAndGoodOnesAreRead) {
  const StoredSettings bad = Read({{{"Pos", "Width"}, "abc"},
                                   {{"Pos", "Height"}, "0"},
                                   {{"Pos", "Top"}, "99999999999"},
                                   {{"Pos", "Left"}, "-40000"},
                                   {{"Option", "Ole"}, "yes"},
                                   {{"Option", "DefCall"}, "cdecl"},
                                   {{"Option", "Var1"}, "4"},
                                   {{"Option", "Var2"}, "-1"},
                                   {{"Option", "Var3"}, "true"},
                                   {{"Option", "cpp"}, ""}});
  EXPECT_EQ(bad.Width, 640);
  EXPECT_EQ(bad.Height, 400);
  EXPECT_EQ(bad.Top, 0);
  EXPECT_EQ(bad.Left, 0);
  EXPECT_FALSE(bad.Ole);
  EXPECT_EQ(bad.DefCall, 2);
  EXPECT_EQ(bad.Var1, 0);
  EXPECT_EQ(bad.Var2, 0);
  EXPECT_FALSE(bad.Var3);
  EXPECT_FALSE(bad.Cpp);

  const StoredSettings good = Read({{{"Pos", "Width"}, "$320"},
                                    {{"Pos", "Height"}, "300"},
                                    {{"Pos", "Top"}, "-8"},
                                    {{"Pos", "Left"}, "25"},
                                    {{"Pos", "Dir"}, "/home/u/My Headers"},
                                    {{"Option", "Ole"}, "5"},  // anything but 0 is true
                                    {{"Option", "DefCall"}, "7"},
                                    {{"Option", "Var1"}, "3"},
                                    {{"Option", "Var2"}, "$2"},
                                    {{"Option", "Var3"}, "1"},
                                    {{"Option", "cpp"}, "-1"},
                                    {{"Option", "Ready"}, "1"},
                                    {{"Option", "FixedFont"}, "1"}});
  EXPECT_EQ(good.Width, 800);
  EXPECT_EQ(good.Height, 300);
  EXPECT_EQ(good.Top, -8);
  EXPECT_EQ(good.Left, 25);
  EXPECT_EQ(good.Dir, "/home/u/My Headers");
  EXPECT_TRUE(good.Ole);
  EXPECT_EQ(good.DefCall, 7);
  EXPECT_EQ(good.Var1, 3);
  EXPECT_EQ(good.Var2, 2);
  EXPECT_TRUE(good.Var3);
  EXPECT_TRUE(good.Cpp);
  EXPECT_TRUE(good.Ready);
  EXPECT_TRUE(good.FixedFont);
  // Names are exact: "CPP" is not "cpp".
  EXPECT_FALSE(Read({{{"Option", "CPP"}, "1"}}).Cpp);
  EXPECT_FALSE(Read({{{"Pos", "cpp"}, "1"}}).Cpp);
}

TEST(StoredSettingsTest, CallTypesOfTheStoredNumbers) {
  EXPECT_EQ(CallTypeOfDefCall(1), CallType::Stdcall);
  EXPECT_EQ(CallTypeOfDefCall(2), CallType::Cdecl);
  EXPECT_EQ(CallTypeOfDefCall(3), CallType::Pascal);
  for (int other : {0, 4, -1, 1000}) EXPECT_EQ(CallTypeOfDefCall(other), CallType::Register);
}

TEST(IniTextTest, SectionsValuesQuotesAndEscapes) {
  const IniSections ini = ParseIniText(
      "; comment\r\n"
      "[General]\r\n"
      "x=1\r\n"
      "\r\n"
      "[Pos]\n"
      "Top = 12 \n"
      "Dir=\"/a, b\"\n"
      "Quoted=\"say \\\"hi\\\"\"\n"
      "Euro=\\x20ac!\n"
      "At=@@home\n"
      "List=1, 2\n"
      "Back=C:\\\\tmp\n"
      "no equals sign\n"
      "=7\n"
      "[Option]\n"
      "Var1=$3\n"
      "Var1=1\n"
      "[%41b]\n"
      "k%20ey=v\n");
  ASSERT_TRUE(ini.count("Pos"));
  const auto& pos = ini.at("Pos");
  EXPECT_EQ(pos.at("Top"), "12");
  EXPECT_EQ(pos.at("Dir"), "/a, b");
  EXPECT_EQ(pos.at("Quoted"), "say \"hi\"");
  EXPECT_EQ(pos.at("Euro"), "\xE2\x82\xAC!");
  EXPECT_EQ(pos.at("At"), "@home");
  EXPECT_EQ(pos.at("List"), "");  // a list is no single text
  EXPECT_EQ(pos.at("Back"), "C:\\tmp");
  EXPECT_EQ(pos.size(), 7u);
  EXPECT_EQ(ini.at("Option").at("Var1"), "1");  // the last one
  EXPECT_EQ(ini.at("Ab").at("k ey"), "v");
  EXPECT_EQ(ini.at("General").at("x"), "1");
}

TEST(IniTextTest, GarbageNeverFails) {
  for (const char* text : {"", "[", "[]", "]]]", "=", "==", "[Pos\nTop=5", "\"\"\"", "\\", "a=\\",
                           "a=\\x", "a=\"unclosed", "%", "a%=1", "[%zz]\nb=%4"}) {
    EXPECT_NO_THROW(ParseIniText(text)) << text;
  }
  // "[Pos" without its bracket still names the section.
  EXPECT_EQ(ParseIniText("[Pos\nTop=5").at("Pos").at("Top"), "5");
}

}  // namespace
}  // namespace tqc
