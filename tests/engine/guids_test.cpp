// GUID definitions: the TGUID constant, the interface attribute and its pairing with the
// interface head in either order.
#include <gtest/gtest.h>

#include "engine/dispatch.h"
#include "test_support.h"

namespace tqc {
namespace {

using V = std::vector<std::string>;
using testing::Fixture;

class GuidTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::LoadTables(fx.Defs, "", "[TYPE]\nint,Integer\n"); }
  Fixture fx;
};

const char* const kShapeGuid =
    "DEFINE_GUID(IID_IShape, 0x1234ABCD, 0x12, 0xAB, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);\n";
const char* const kShapeAttribute = "\t['{1234ABCD-0012-00AB-C000-000000000046}']";

TEST_F(GuidTest, WorkedExampleGuidBeforeItsInterface) {
  auto body = fx.Body(std::string(kShapeGuid) + "DECLARE_INTERFACE_(IShape, IUnknown)\n{\n};\n");
  EXPECT_EQ(body, (V{"const", "  IID_IShape: TGUID = (",
                     "    D1:$1234ABCD;D2:$12;D3:$AB;D4:($C0,0,0,0,0,0,0,$46));", "type",
                     "  IShape = interface ( IUnknown )", kShapeAttribute, "  end;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 0);
}

TEST_F(GuidTest, GuidAfterItsInterfaceLandsUnderTheHeadAndShiftsLaterHeads) {
  // Three interfaces are written first; their GUIDs follow in the order A, C, B. Each
  // inserted line moves the heads written after it, so C and B must find theirs shifted.
  auto guid = [](const char* name, const char* last) {
    return std::string("DEFINE_GUID(IID_") + name + ", 0x11111111, 0x2222, 0x3333, 0x44, " +
           "0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, " + last + ");\n";
  };
  auto body = fx.Body(
      "DECLARE_INTERFACE_(IA, IUnknown)\n{\n};\n"
      "DECLARE_INTERFACE_(IB, IUnknown)\n{\n};\n"
      "DECLARE_INTERFACE_(IC, IUnknown)\n{\n};\n" +
      guid("IA", "0x0A") + guid("IC", "0x0C") + guid("IB", "0x0B"));
  auto attribute = [](const char* last) {
    return std::string("\t['{11111111-2222-3333-4455-66778899AA") + last + "}']";
  };
  ASSERT_GE(body.size(), 10u);
  EXPECT_EQ(V(body.begin(), body.begin() + 10),
            (V{"type", "  IA = interface ( IUnknown )", attribute("0A"), "  end;",
               "  IB = interface ( IUnknown )", attribute("0B"), "  end;",
               "  IC = interface ( IUnknown )", attribute("0C"), "  end;"}));
  EXPECT_EQ(fx.Result.ErrorCount, 0);
}

TEST_F(GuidTest, ValuesAndAttributeDigits) {
  struct Case {
    const char* Args;
    const char* DLine;
    const char* Attribute;
  };
  const Case cases[] = {
      // A decimal byte is kept in the constant and written in hexadecimal in the attribute.
      {"0x1234ABCD, 0x12, 0xAB, 192, 0, 0, 0, 0, 0, 0, 0x46",
       "    D1:$1234ABCD;D2:$12;D3:$AB;D4:(192,0,0,0,0,0,0,$46));",
       "\t['{1234ABCD-0012-00AB-C000-000000000046}']"},
      // Suffixes are dropped; lower-case digits become upper case in the attribute.
      {"0x1234abcdL, 0x12, 0xab, 0xc0, 0, 0, 0, 0, 0, 0, 0x46",
       "    D1:$1234abcd;D2:$12;D3:$ab;D4:($c0,0,0,0,0,0,0,$46));",
       "\t['{1234ABCD-0012-00AB-C000-000000000046}']"},
      {"0x5eec05d, 0x8f7d, 0x4362, 0xb9, 0x99, 0xd1, 0xba, 0xf3, 0x57, 0xc7, 0x4",
       "    D1:$5eec05d;D2:$8f7d;D3:$4362;D4:($b9,$99,$d1,$ba,$f3,$57,$c7,$4));",
       "\t['{05EEC05D-8F7D-4362-B999-D1BAF357C704}']"},
  };
  for (const Case& c : cases) {
    auto body = fx.Body(std::string("DEFINE_GUID(IID_IX, ") + c.Args +
                        ");\nDECLARE_INTERFACE_(IX, IUnknown)\n");
    EXPECT_EQ(body, (V{"const", "  IID_IX: TGUID = (", c.DLine, "type",
                       "  IX = interface ( IUnknown )", c.Attribute}))
        << c.Args;
  }
}

TEST_F(GuidTest, OnlyInterfaceIdentifiersOutsideOleModeGetAnAttribute) {
  const std::string args = "(Shape, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);\n";
  // A class identifier gives the constant alone; the interface of that name gets nothing.
  auto body =
      fx.Body("DEFINE_GUID(CLSID_" + args.substr(1) + "DECLARE_INTERFACE_(Shape, IUnknown)\n");
  EXPECT_EQ(body,
            (V{"const", "  CLSID_Shape: TGUID = (", "    D1:1;D2:2;D3:3;D4:(4,5,6,7,8,9,10,11));",
               "type", "  Shape = interface ( IUnknown )"}));

  fx.Options.OleMode = true;
  body = fx.Body("DEFINE_GUID(IID_" + args.substr(1) + "DECLARE_INTERFACE_(Shape, IUnknown)\n");
  EXPECT_EQ(body,
            (V{"const", "  IID_Shape: TGUID = (", "    D1:1;D2:2;D3:3;D4:(4,5,6,7,8,9,10,11));",
               "type", "  Shape = class ( IUnknown )"}));
  // Nor is one inserted later for an interface declared first.
  body = fx.Body("DECLARE_INTERFACE_(Shape, IUnknown)\nDEFINE_GUID(IID_" + args.substr(1));
  EXPECT_EQ(body, (V{"type", "  Shape = class ( IUnknown )", "const", "  IID_Shape: TGUID = (",
                     "    D1:1;D2:2;D3:3;D4:(4,5,6,7,8,9,10,11));"}));
}

TEST_F(GuidTest, ExternGuidTrailingCommentAndLines) {
  auto body = fx.Body(
      "EXTERN_GUID(IID_IShape, 0x1234ABCD, 0x12, 0xAB,\n"
      "   0xC0, 0, 0, 0, 0, 0, 0, 0x46); /* shape */\n"
      "DECLARE_INTERFACE_(IShape, IUnknown)\n");
  EXPECT_EQ(body, (V{"const", "  IID_IShape: TGUID = (",
                     "    D1:$1234ABCD;D2:$12;D3:$AB;D4:($C0,0,0,0,0,0,0,$46));\t(* shape *)",
                     "type", "  IShape = interface ( IUnknown )", kShapeAttribute}));
}

TEST_F(GuidTest, MalformedStatementsAreErrorLines) {
  auto body = fx.Body("DEFINE_GUID(IID_IX, 1, 2, 3);\n");
  EXPECT_EQ(body, (V{"// Error :  DEFINE_GUID ( IID_IX , 1 , 2 , 3 ) ;"}));
  body = fx.Body("DEFINE_GUID(IID_IX, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10; 11);\n");
  ASSERT_EQ(body.size(), 1u);
  EXPECT_EQ(body[0].rfind("// Error :  DEFINE_GUID", 0), 0u);
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  // One token short: no attribute and no constant either.
  body = fx.Body("DEFINE_GUID(IID_IX, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 11);\n");
  EXPECT_EQ(
      body,
      (V{"// Error :  DEFINE_GUID ( IID_IX , 1 , 2 , 3 , 4 , 5 , 6 , 7 , 8 , 9 , 10 11 ) ;"}));
}

TEST_F(GuidTest, AValueThatIsNoNumberFailsTheStatementWithoutHalfAConstant) {
  auto body = fx.Body("DEFINE_GUID(IID_IX, SOME_VALUE, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);\n");
  EXPECT_EQ(body, (V{"// Application Error : "}));
  // Without the attribute the constant alone is fine.
  body = fx.Body("DEFINE_GUID(GUID_X, SOME_VALUE, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11);\n");
  EXPECT_EQ(body, (V{"const", "  GUID_X: TGUID = (",
                     "    D1:SOME_VALUE;D2:2;D3:3;D4:(4,5,6,7,8,9,10,11));"}));
}

}  // namespace
}  // namespace tqc
