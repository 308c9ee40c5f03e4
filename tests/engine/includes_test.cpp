// "#include" and the include cache: the rule's forms and lookups, the reader's sections and
// field rules, [INC] chains, the writer's text, when a cache is written, and a cache written
// by one conversion and read by the next.
#include "engine/includes.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/dispatch.h"
#include "engine/rules.h"
#include "test_support.h"

namespace tqc {
namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;
using testing::Fixture;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "tqc_inc_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::string Str() const { return path_.string(); }

 private:
  fs::path path_;
};

void WriteText(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

V Texts(const TStringList2& list, int from = 0) {
  V out;
  for (int i = from; i < list.Count(); ++i) out.push_back(list.Text(i));
  return out;
}

const char* const kEmptyCache =
    "[TYPE]\r\n[POINTER]\r\n[INTERFACE]\r\n[CLASS]\r\n[FUNC]\r\n[MAKE]\r\n[INC]\r\n";

class IncludesTest : public ::testing::Test {
 protected:
  void SetUp() override { fx.Options.UseCacheHome(dir.Str()); }

  // A fresh context converting dir/x.h.
  ConversionContext& Ctx() {
    ConversionContext& ctx = fx.Context();
    ctx.InputPath = dir / "x.h";
    return ctx;
  }
  // Translates one input line as the driver would and returns the line written.
  std::string Run(ConversionContext& ctx, const std::string& line) {
    ctx.CurrentLine = line;
    testing::Tokens(ctx, {line});
    TranslateStatement(ctx);
    return fx.Pane.Lines().empty() ? std::string() : fx.Pane.Lines().back();
  }
  void Cache(const std::string& name, const std::string& text) {
    WriteText(dir / ("inc/" + name + ".tqc"), text);
  }

  TempDir dir;
  Fixture fx;
};

TEST_F(IncludesTest, StatementForms) {
  struct Case {
    const char* Line;
    bool CachePresent, HeaderPresent;
    const char* Written;
    const char* Uses;
    int Errors;
  };
  const Case cases[] = {
      {"#include \"foo.h\"", true, false, "// #include \"foo.h\"", ", foo", 0},
      {"#include <foo.h>", true, false, "// #include <foo.h>", ", foo", 0},
      {"#include \"sub\\foo.h\"", true, false, "// #include \"sub\\foo.h\"", ", foo", 0},
      {"#include \"sub/foo.idl\"", true, false, "// #include \"sub/foo.idl\"", ", foo", 0},
      {"  #include  \"foo.h\"  ", true, false, "//   #include  \"foo.h\"  ", ", foo", 0},
      {"#include \"foo.h\"", false, true, "// #include \"foo.h\"", ", foo", 0},
      {"#include <foo.h>", false, true, "// #include <foo.h>", ", foo", 0},
      {"#include \"foo.h\"", false, false, "// Error :  #include \" foo.h \"", "", 1},
      {"#include <sys/foo.h>", true, true, "// Error :  #include < sys / foo.h >", "", 1},
      {"#include FOO_H", true, true, "// Error :  #include FOO_H", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Line);
    fs::remove_all(dir / "inc");
    fs::remove(dir / "foo.h");
    if (c.CachePresent) Cache("foo", "[TYPE]\r\nFOO_T,Integer\r\n");
    if (c.HeaderPresent) WriteText(dir / "foo.h", "");
    ConversionContext& ctx = Ctx();
    EXPECT_EQ(Run(ctx, c.Line), c.Written);
    EXPECT_EQ(ctx.UsesExtra, c.Uses);
    EXPECT_EQ(ctx.ErrorCount, c.Errors);
    const bool accepted = c.Errors == 0;
    EXPECT_EQ(Texts(ctx.IncludeNames), accepted ? V{"foo"} : V{});
    // Only a cache teaches anything; a neighbouring header alone is just accepted.
    EXPECT_EQ(ctx.TypeNames.Contains("FOO_T"), accepted && c.CachePresent);
  }
}

TEST_F(IncludesTest, ErrorLineIsRed) {
  ConversionContext& ctx = Ctx();
  Run(ctx, "#include <nothing.h>");
  const int last = fx.Pane.Count() - 1;
  ASSERT_EQ(fx.Pane.Line(last).substr(3, 5), "Error");
  EXPECT_EQ(fx.Pane.Ranges(), (std::vector<StyleRange>{{last, 3, 5, TextStyle::Red}}));
}

TEST_F(IncludesTest, NoHomeNoCache) {
  fx.Options.UseCacheHome("");
  Cache("foo", "[TYPE]\r\nFOO_T,Integer\r\n");
  ConversionContext& ctx = Ctx();
  EXPECT_EQ(Run(ctx, "#include <foo.h>"), "// Error :  #include < foo.h >");
  WriteText(dir / "foo.h", "");
  EXPECT_EQ(Run(ctx, "#include <foo.h>"), "// #include <foo.h>");
  EXPECT_FALSE(ctx.TypeNames.Contains("FOO_T"));
  // Nothing is written either.
  fx.Defs.InterfaceNames.Add("IUnknown");
  fx.Convert("#include <foo.h>\n", dir / "y.h");
  EXPECT_FALSE(fx.Result.CacheWritten);
  EXPECT_FALSE(fs::exists(dir / "inc/y.tqc"));
}

TEST_F(IncludesTest, ReaderSectionsAndFields) {
  Cache("foo",
        "stray,entry\r\n"  // before any section header
        "[TYPE]\r\n"
        "A,TA\r\n"
        "unsigned int,UINT\r\n"  // three fields: ignored
        "\"unsigned long\",ULONG\r\n"
        "single\r\n"
        "\r\n"
        "[TYPE] \r\n"  // not a header: section unchanged
        "B,TB\n"
        "[BOGUS]\r"
        "C , TC\r\n"
        "[POINTER]\r\n"
        "PX,X,anything\r\n"
        "PY,Y\r\n"
        "a,b,c,d\r\n"
        "[MAKE]\r\n"
        "M,\"1, 2\"\r\n"
        "lone\r\n"
        "[INTERFACE]\r\n"
        "IFoo\r\n"
        "x,y\r\n"
        "[CLASS]\r\n"
        "CFoo\r\n"
        "[FUNC]\r\n"
        "TFooProc\r\n"
        "[INC]\r\n"
        "[interface]\r\n"
        "notAnInterface\r\n");
  ConversionContext& ctx = Ctx();
  const int types = ctx.TypeNames.Count(), pointers = ctx.PointeeTypes.Count();
  Run(ctx, "#include \"foo.h\"");
  EXPECT_EQ(Texts(ctx.TypeNames, types), (V{"A", "unsigned long", "B", "C"}));
  EXPECT_EQ(Texts(ctx.TypeValues, types), (V{"TA", "ULONG", "TB", "TC"}));
  ASSERT_EQ(Texts(ctx.PointeeTypes, pointers), (V{"PX", "PY"}));
  EXPECT_EQ(Texts(ctx.PointerTypes, pointers), (V{"X", "Y"}));
  EXPECT_EQ(ctx.PointeeTypes.Tag(pointers), 1);
  EXPECT_EQ(ctx.PointeeTypes.Tag(pointers + 1), 0);
  EXPECT_EQ(Texts(ctx.MakeNames), V{"M"});
  EXPECT_EQ(Texts(ctx.MakeValues), V{"1, 2"});
  EXPECT_EQ(Texts(ctx.InterfaceNames), V{"IFoo"});
  EXPECT_EQ(Texts(ctx.ClassNames), V{"CFoo"});
  EXPECT_EQ(Texts(ctx.FuncNames), V{"TFooProc"});
  // Headers are case-sensitive: "notAnInterface" still sits under [INC].
  EXPECT_EQ(Texts(ctx.IncludedCaches), V{"notAnInterface"});
  // Read knowledge is never recorded as the conversion's own.
  EXPECT_TRUE(ctx.NewTypeIdx.empty() && ctx.NewPointerIdx.empty() && ctx.NewMakeIdx.empty() &&
              ctx.NewInterfaceIdx.empty() && ctx.NewClassIdx.empty() && ctx.NewFuncIdx.empty());
}

TEST_F(IncludesTest, IncChainsReadInQueueOrder) {
  Cache("a", "[TYPE]\r\nA,X\r\n[INC]\r\nb\r\nc\r\nmissing\r\n");
  Cache("b", "[TYPE]\r\nB,X\r\n[INC]\r\nd\r\nc\r\n");
  Cache("c", "[TYPE]\r\nC,X\r\n");
  Cache("d", "[TYPE]\r\nD,X\r\n");
  ConversionContext& ctx = Ctx();
  const int before = ctx.TypeNames.Count();
  EXPECT_EQ(Run(ctx, "#include <a.h>"), "// #include <a.h>");
  EXPECT_EQ(Texts(ctx.TypeNames, before), (V{"A", "B", "C", "D"}));
  EXPECT_EQ(Texts(ctx.IncludedCaches), (V{"b", "c", "missing", "d"}));
  EXPECT_EQ(ctx.ErrorCount, 0);  // the missing nested cache is skipped silently
  EXPECT_EQ(ctx.UsesExtra, ", a");
}

TEST_F(IncludesTest, CycleReadsTheNamedCacheTwice) {
  Cache("a", "[TYPE]\r\nA,X\r\n[INC]\r\nb\r\n");
  Cache("b", "[TYPE]\r\nB,X\r\n[INC]\r\na\r\n");
  ConversionContext& ctx = Ctx();
  const int before = ctx.TypeNames.Count();
  Run(ctx, "#include \"a.h\"");
  EXPECT_EQ(Texts(ctx.TypeNames, before), (V{"A", "B", "A"}));
  EXPECT_EQ(Texts(ctx.IncludedCaches), (V{"b", "a"}));
  // A later "#include" reads its own cache again, but not what [INC] already queued.
  Run(ctx, "#include \"a.h\"");
  EXPECT_EQ(Texts(ctx.TypeNames, before), (V{"A", "B", "A", "A"}));
  EXPECT_EQ(Texts(ctx.IncludeNames), (V{"a", "a"}));
  EXPECT_EQ(ctx.UsesExtra, ", a, a");
}

TEST_F(IncludesTest, IncNamesOutsideTheFolderAreNotFollowed) {
  Cache("a", "[INC]\r\n../evil\r\n..\\evil\r\nsub/x\r\nsub\\x\r\n..\r\nok\r\n");
  WriteText(dir / "evil.tqc", "[TYPE]\r\nEVIL,X\r\n");
  WriteText(dir / "inc/..tqc", "[TYPE]\r\nDOTDOT,X\r\n");
  Cache("sub/x", "[TYPE]\r\nSUBX,X\r\n");
  Cache("ok", "[TYPE]\r\nOK,X\r\n");
  ConversionContext& ctx = Ctx();
  Run(ctx, "#include <a.h>");
  EXPECT_TRUE(ctx.TypeNames.Contains("OK"));
  EXPECT_FALSE(ctx.TypeNames.Contains("EVIL"));
  EXPECT_FALSE(ctx.TypeNames.Contains("DOTDOT"));
  EXPECT_FALSE(ctx.TypeNames.Contains("SUBX"));
  EXPECT_EQ(Texts(ctx.IncludedCaches), V{"ok"});
}

TEST_F(IncludesTest, FoldersAreNotCaches) {
  fs::create_directories(dir / "inc/foo.tqc");
  Cache("a", "[INC]\r\nfoo\r\n");
  ConversionContext& ctx = Ctx();
  EXPECT_EQ(Run(ctx, "#include <foo.h>"), "// Error :  #include < foo.h >");
  EXPECT_EQ(Run(ctx, "#include <a.h>"), "// #include <a.h>");
  EXPECT_EQ(ctx.ErrorCount, 1);
  IncludeCacheMemo memo;
  EXPECT_EQ(memo.Get(dir / "inc/foo.tqc"), nullptr) << "a folder was read as a cache";
}

TEST_F(IncludesTest, AnUnreadableCacheIsMarkedAndReportedAsAWarning) {
  Cache("foo", "[TYPE]\r\nFOO,Integer\r\n");
  fs::permissions(dir / "inc/foo.tqc", fs::perms::none);
  fs::permissions(dir.Str(), fs::perms::all);  // entered by the unprivileged user below
  std::vector<std::string> lines;
  {
    testing::AsUnprivileged user;
    lines = fx.Convert("#include <foo.h>\n", dir / "x.h");
  }
  EXPECT_NE(std::find(lines.begin(), lines.end(), "// Application Error : "), lines.end());
  ASSERT_EQ(fx.Result.Failures.size(), 1u);
  const ConversionResult::Failure& f = fx.Result.Failures[0];
  EXPECT_TRUE(f.Warning);
  EXPECT_EQ(f.Reason, "cannot read include cache " + (dir / "inc/foo.tqc") + ": Permission denied");
}

TEST_F(IncludesTest, WriterText) {
  ConversionContext& ctx = Ctx();
  auto add = [](TStringList2& list, std::vector<int>& idx, const std::string& s, int tag = 0) {
    idx.push_back(list.Add(s, tag));
  };
  ctx.TypeNames.Add("Old");  // not in the index list: not written
  ctx.TypeValues.Add("X");
  add(ctx.TypeNames, ctx.NewTypeIdx, "T1");
  ctx.TypeValues.Add("V1");
  add(ctx.TypeNames, ctx.NewTypeIdx, "T2");
  ctx.TypeValues.Add("V2");
  std::reverse(ctx.NewTypeIdx.begin(), ctx.NewTypeIdx.end());  // index-list order counts
  add(ctx.PointeeTypes, ctx.NewPointerIdx, "PA", 1);
  ctx.PointerTypes.Add("A");
  add(ctx.PointeeTypes, ctx.NewPointerIdx, "PB", 0);
  ctx.PointerTypes.Add("B");
  add(ctx.InterfaceNames, ctx.NewInterfaceIdx, "IA");
  ctx.InterfaceNames.Add("IFromDefs");
  add(ctx.ClassNames, ctx.NewClassIdx, "CA");
  add(ctx.FuncNames, ctx.NewFuncIdx, "TProc");
  add(ctx.MakeNames, ctx.NewMakeIdx, "M");
  ctx.MakeValues.Add("V");
  ctx.IncludeNames.Add("base");
  ctx.IncludeNames.Add("base");
  EXPECT_EQ(BuildIncludeCache(ctx),
            "[TYPE]\r\nT2,V2\r\nT1,V1\r\n"
            "[POINTER]\r\nPA,A,i\r\nPB,B\r\n"
            "[INTERFACE]\r\nIA\r\n"
            "[CLASS]\r\nCA\r\n"
            "[FUNC]\r\nTProc\r\n"
            "[MAKE]\r\nM,V\r\n"
            "[INC]\r\nbase\r\nbase\r\n");
  // A stale index is a failure the writer reports instead of throwing.
  ctx.NewFuncIdx.push_back(99);
  std::string error;
  EXPECT_FALSE(WriteIncludeCache(ctx, error));
  EXPECT_NE(error.find(dir / "inc/x.tqc"), std::string::npos) << error;
}

TEST_F(IncludesTest, ReadTagOnePointerIsWrittenOnlyWhenAddedAnew) {
  Cache("foo", "[POINTER]\r\nPX,X,anything\r\n");
  ConversionContext& ctx = Ctx();
  Run(ctx, "#include \"foo.h\"");
  const int at = ctx.PointeeTypes.FindExact("PX");
  ASSERT_GE(at, 0);
  EXPECT_EQ(ctx.PointeeTypes.Tag(at), 1);
  EXPECT_EQ(BuildIncludeCache(ctx), std::string(kEmptyCache) + "foo\r\n");
  ctx.NewPointerIdx.push_back(ctx.PointeeTypes.Add("PX", 1));
  ctx.PointerTypes.Add("X");
  EXPECT_EQ(BuildIncludeCache(ctx),
            "[TYPE]\r\n[POINTER]\r\nPX,X,i\r\n[INTERFACE]\r\n[CLASS]\r\n[FUNC]\r\n[MAKE]\r\n"
            "[INC]\r\nfoo\r\n");
}

TEST_F(IncludesTest, WhenTheCacheIsNeeded) {
  using Setter = void (*)(ConversionContext&);
  const std::pair<const char*, Setter> cases[] = {
      {"new type", [](ConversionContext& c) { c.NewTypeIdx.push_back(0); }},
      {"new pointer", [](ConversionContext& c) { c.NewPointerIdx.push_back(0); }},
      {"new make", [](ConversionContext& c) { c.NewMakeIdx.push_back(0); }},
      {"new func", [](ConversionContext& c) { c.NewFuncIdx.push_back(0); }},
      {"any interface", [](ConversionContext& c) { c.InterfaceNames.Add("IUnknown"); }},
      {"any class", [](ConversionContext& c) { c.ClassNames.Add("CObject"); }},
      {"an include", [](ConversionContext& c) { c.IncludeNames.Add("base"); }},
  };
  EXPECT_FALSE(IncludeCacheNeeded(Ctx()));
  for (const auto& [what, set] : cases) {
    ConversionContext& ctx = Ctx();
    set(ctx);
    EXPECT_TRUE(IncludeCacheNeeded(ctx)) << what;
  }
}

TEST_F(IncludesTest, ConversionWritesTheCache) {
  // Nothing learned and no names at all: no file.
  fx.Convert("int x;\n", dir / "plain.h");
  EXPECT_FALSE(fx.Result.CacheWritten);
  EXPECT_FALSE(fs::exists(dir / "inc"));
  // Interface names of the definition tables alone make an all-empty cache, and the missing
  // "inc" folder is created.
  fx.Defs.InterfaceNames.Add("IUnknown");
  fx.Convert("int x;\n", dir / "plain.h");
  EXPECT_TRUE(fx.Result.CacheWritten);
  EXPECT_EQ(ReadText(dir / "inc/plain.tqc"), kEmptyCache);
  fx.Defs.InterfaceNames.Clear();
  fx.Defs.ClassNames.Add("CObject");
  fx.Convert("", dir / "other.idl");
  EXPECT_EQ(ReadText(dir / "inc/other.tqc"), kEmptyCache);
  EXPECT_EQ(fx.Result.CacheError, "");
}

TEST_F(IncludesTest, UnchangedCacheIsLeftInPlace) {
  fx.Convert("DECLARE_INTERFACE_(IA, IUnknown)\n", dir / "same.h");
  ASSERT_TRUE(fx.Result.CacheWritten);
  const std::string first = ReadText(dir / "inc/same.tqc");
  // A hard link sees the file's own bytes: a rewrite by rename would leave it behind.
  fs::create_hard_link(dir / "inc/same.tqc", dir / "link.tqc");
  fx.Convert("DECLARE_INTERFACE_(IA, IUnknown)\n", dir / "same.h");
  EXPECT_TRUE(fx.Result.CacheWritten);
  EXPECT_EQ(fs::hard_link_count(dir / "inc/same.tqc"), 2u) << "an unchanged cache was rewritten";
  EXPECT_EQ(ReadText(dir / "inc/same.tqc"), first);
  // Same size, other bytes: rewritten.
  fx.Convert("DECLARE_INTERFACE_(IB, IUnknown)\n", dir / "same.h");
  EXPECT_NE(ReadText(dir / "inc/same.tqc"), first);
  EXPECT_EQ(ReadText(dir / "link.tqc"), first);
  EXPECT_EQ(fs::hard_link_count(dir / "inc/same.tqc"), 1u);
}

TEST_F(IncludesTest, CacheWriteFailureIsReportedNotFatal) {
  fx.Defs.InterfaceNames.Add("IUnknown");
  // "inc" cannot be created: the home is a file.
  WriteText(dir / "home", "");
  fx.Options.UseCacheHome(dir / "home");
  auto lines = fx.Convert("#line 1\n", dir / "x.h");
  EXPECT_FALSE(fx.Result.CacheWritten);
  EXPECT_NE(fx.Result.CacheError.find(dir / "home/inc/x.tqc"), std::string::npos)
      << fx.Result.CacheError;
  EXPECT_EQ(fx.Result.ErrorCount, 1);
  EXPECT_EQ(lines.back(), "end.");
  // The cache's name is taken by a folder.
  fx.Options.UseCacheHome(dir.Str());
  fs::create_directories(dir / "inc/x.tqc");
  fx.Convert("", dir / "x.h");
  EXPECT_FALSE(fx.Result.CacheWritten);
  EXPECT_EQ(fx.Result.CacheError,
            "cannot write include cache " + (dir / "inc/x.tqc") + ": Is a directory");
  for (const auto& e : fs::directory_iterator(dir / "inc"))  // no temporary file left behind
    EXPECT_EQ(e.path().filename(), "x.tqc");
}

TEST_F(IncludesTest, RoundTrip) {
  WriteText(dir / "base.h", "DECLARE_INTERFACE_(IBase, IUnknown)\nclass CBase : public X\n");
  fx.Convert(ReadText(dir / "base.h"), dir / "base.h");
  ASSERT_TRUE(fx.Result.CacheWritten);
  EXPECT_EQ(ReadText(dir / "inc/base.tqc"),
            "[TYPE]\r\n[POINTER]\r\n[INTERFACE]\r\nIBase\r\n[CLASS]\r\nCBase\r\n[FUNC]\r\n"
            "[MAKE]\r\n[INC]\r\n");
  // The second header learns the names through its "#include" ...
  ConversionContext& ctx = Ctx();
  Run(ctx, "#include \"base.h\"");
  EXPECT_EQ(Texts(ctx.InterfaceNames), V{"IBase"});
  EXPECT_EQ(Texts(ctx.ClassNames), V{"CBase"});
  // ... its unit uses the base unit, and its own cache leads back to the base.
  auto lines = fx.Convert("#include \"base.h\"\n", dir / "top.h");
  EXPECT_EQ(lines.at(10), "uses Windows, base;");
  EXPECT_EQ(lines.at(12), "// #include \"base.h\"");
  EXPECT_EQ(ReadText(dir / "inc/top.tqc"), std::string(kEmptyCache) + "base\r\n");
}

TEST_F(IncludesTest, UsesLineNamesEachUnitOnceAndNeverItself) {
  for (const char* h : {"a.h", "A.h", "string.h", "windows.h", "ole2.h", "activex.h"})
    WriteText(dir / h, "");
  struct Case {
    const char* Unit;
    const char* Text;
    const char* UnitLine;
    const char* Uses;
  };
  const Case cases[] = {
      {"x.h", "#include <a.h>\n#include <A.h>\n#include \"a.h\"\n", "unit x;", "uses Windows, a;"},
      {"x.h", "#include <windows.h>\n#include <ole2.h>\n#include <activex.h>\n", "unit x;",
       "uses Windows;"},
      {"a.h", "#include <a.h>\n#include <string.h>\n", "unit a;", "uses Windows, &string;"},
      {"string.h", "#include <string.h>\n", "unit &string;", "uses Windows;"},
      {"windows.h", "#include <a.h>\n", "unit windows;", "uses a;"},
      {"Windows.h", "", "unit Windows;", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    auto lines = fx.Convert(c.Text, dir / c.Unit);
    EXPECT_EQ(lines.at(4), c.UnitLine);
    EXPECT_EQ(lines.at(10), c.Uses);
  }
}

TEST_F(IncludesTest, LearnedTypesReachTheTokens) {
  // A type read from a cache maps the C spelling for the rest of the conversion.
  Cache("base", "[TYPE]\r\nMYINT,Longint\r\n");
  auto body = fx.Body("MYINT before;\n#include \"base.h\"\nMYINT after;\n", dir / "x.h");
  ASSERT_EQ(body.size(), 4u);  // "var", before, the include, after
  EXPECT_NE(body[1].find("MYINT"), std::string::npos) << body[1];
  EXPECT_EQ(body[1].find("Longint"), std::string::npos) << body[1];
  EXPECT_NE(body[3].find("Longint"), std::string::npos) << body[3];
  EXPECT_EQ(body[3].find("MYINT"), std::string::npos) << body[3];
}

TEST_F(IncludesTest, MemoGivesWhatReadingGives) {
  Cache("a", "[TYPE]\r\nA,X\r\n[POINTER]\r\nPA,A,i\r\n[INC]\r\nb\r\n");
  Cache("b", "[TYPE]\r\nB,X\r\n[FUNC]\r\nTB\r\n[INC]\r\na\r\n");
  auto snapshot = [&](ConversionContext& ctx) {
    V all = Texts(ctx.TypeNames);
    for (int i = 0; i < ctx.PointeeTypes.Count(); ++i)
      all.push_back(ctx.PointeeTypes.Text(i) + std::to_string(ctx.PointeeTypes.Tag(i)));
    for (const V& v : {Texts(ctx.FuncNames), Texts(ctx.IncludedCaches), Texts(ctx.IncludeNames)})
      all.insert(all.end(), v.begin(), v.end());
    return all;
  };
  auto twice = [&](ConversionContext& ctx) {
    Run(ctx, "#include <a.h>");
    Run(ctx, "#include <b.h>");
    return snapshot(ctx);
  };
  const V plain = twice(Ctx());

  IncludeCacheMemo memo;
  fx.Options.CacheMemo = &memo;
  EXPECT_EQ(twice(Ctx()), plain);
  EXPECT_EQ(twice(Ctx()), plain);  // a second conversion of the run
  EXPECT_EQ(memo.Parses(), 2u);

  // A changed cache is parsed again.
  Cache("b", "[TYPE]\r\nB2,X\r\n");
  ConversionContext& ctx = Ctx();
  Run(ctx, "#include <b.h>");
  EXPECT_TRUE(ctx.TypeNames.Contains("B2"));
  EXPECT_EQ(memo.Parses(), 3u);

  // A cache rewritten by a conversion of the same run is seen at once.
  fx.Convert("DECLARE_INTERFACE_(INew, IUnknown)\n", dir / "b.h");
  ConversionContext& after = Ctx();
  Run(after, "#include <b.h>");
  EXPECT_EQ(Texts(after.InterfaceNames), V{"INew"});
  EXPECT_FALSE(after.TypeNames.Contains("B2"));
}

// From its second walk on, what a cache and the caches it leads to give a conversion is kept
// and appended whole; the lists must come out exactly as the walk makes them.
TEST_F(IncludesTest, KeptClosuresGiveWhatTheWalkGives) {
  Cache("a", "[TYPE]\r\nA,X\r\n[POINTER]\r\nPA,A,i\r\n[INC]\r\nb\r\nmissing\r\nc\r\n");
  Cache("b", "[TYPE]\r\nB,X\r\nA,Y\r\n[FUNC]\r\nTB\r\n[INC]\r\nc\r\n[MAKE]\r\nM,1\r\n");
  Cache("c", "[INTERFACE]\r\nIC\r\n[CLASS]\r\nCC\r\n[POINTER]\r\nPC,C\r\n[INC]\r\na\r\n");
  Cache("d", "[TYPE]\r\nD,X\r\n[INC]\r\nc\r\n");
  fx.Defs.TypeNames.Add("Defs");
  fx.Defs.TypeValues.Add("V");
  auto lists = [&](ConversionContext& ctx) {
    V all;
    for (const TStringList2* l :
         {&ctx.TypeNames, &ctx.TypeValues, &ctx.PointeeTypes, &ctx.PointerTypes, &ctx.MakeNames,
          &ctx.MakeValues, &ctx.IncludedCaches, &ctx.InterfaceNames, &ctx.ClassNames,
          &ctx.FuncNames}) {
      for (int i = 0; i < l->Count(); ++i)
        all.push_back(l->Text(i) + "/" + std::to_string(l->Tag(i)));
      all.push_back("|");
    }
    all.push_back(std::to_string(ctx.TypeNames.FindExact("A")) + "," +
                  std::to_string(ctx.PointeeTypes.FindExact("PC")) + "," + ctx.UsesExtra);
    return all;
  };
  auto convert = [&] {
    ConversionContext& ctx = Ctx();
    ctx.CopyTables();
    ctx.TypeNames.Add("Own");  // something of the header's own before its first include
    ctx.TypeValues.Add("O");
    Run(ctx, "#include <a.h>");
    Run(ctx, "#include <d.h>");  // after a first walk: walked as before
    Run(ctx, "#include <missing.h>");
    return lists(ctx);
  };
  const V plain = convert();

  IncludeCacheMemo memo;
  fx.Options.CacheMemo = &memo;
  for (int run = 0; run < 4; ++run) EXPECT_EQ(convert(), plain) << "conversion " << run;
  EXPECT_NE(memo.Closure(dir / "inc/a.tqc"), nullptr);
  EXPECT_EQ(memo.Closure(dir / "inc/d.tqc"), nullptr);  // never walked first

  // A file of the closure changes: the next conversion walks again and sees it.
  Cache("c", "[INTERFACE]\r\nIC2\r\n");
  fx.Options.CacheMemo = nullptr;
  const V changed = convert();
  EXPECT_NE(changed, plain);
  fx.Options.CacheMemo = &memo;
  for (int run = 0; run < 3; ++run) EXPECT_EQ(convert(), changed) << "after the change " << run;
  // A missing cache that appears counts as a change too.
  Cache("missing", "[TYPE]\r\nNOWHERE,X\r\n");
  fx.Options.CacheMemo = nullptr;
  const V appeared = convert();
  fx.Options.CacheMemo = &memo;
  EXPECT_EQ(convert(), appeared);
  EXPECT_NE(std::find(appeared.begin(), appeared.end(), "NOWHERE/0"), appeared.end());
}

TEST_F(IncludesTest, BatchMemoReadsEachCacheOnceAndSeesItsOwnWrites) {
  Cache("a", "[TYPE]\r\nA1,X\r\n");
  IncludeCacheMemo memo(IncludeCacheMemo::Checks::FirstReadOnly);
  fx.Options.CacheMemo = &memo;
  Run(Ctx(), "#include <a.h>");
  EXPECT_EQ(Run(Ctx(), "#include <b.h>"), "// Error :  #include < b.h >");
  // Another writer changes "a" and creates "b": the batch keeps what it read first.
  Cache("a", "[TYPE]\r\nA2,X\r\n");
  Cache("b", "[TYPE]\r\nB,X\r\n");
  ConversionContext& later = Ctx();
  Run(later, "#include <a.h>");
  EXPECT_TRUE(later.TypeNames.Contains("A1"));
  EXPECT_FALSE(later.TypeNames.Contains("A2"));
  EXPECT_EQ(Run(later, "#include <b.h>"), "// Error :  #include < b.h >");
  EXPECT_EQ(memo.Parses(), 1u);
  // A cache the batch writes itself is read anew.
  fx.Convert("DECLARE_INTERFACE_(IB, IUnknown)\n", dir / "b.h");
  ConversionContext& after = Ctx();
  EXPECT_EQ(Run(after, "#include <b.h>"), "// #include <b.h>");
  EXPECT_EQ(Texts(after.InterfaceNames), V{"IB"});
}

TEST_F(IncludesTest, AHeaderNeverReadsItsOwnCache) {
  // b's cache leads back to x's, whose old copy already names X_FN: read, it would make X_FN
  // known, and the cache written now would lose it.
  Cache("b", "[INC]\r\nx\r\n");
  const std::string text = "#include \"b.h\"\ntypedef int X_FN(int x);\n";
  IncludeCacheMemo memo, batch(IncludeCacheMemo::Checks::FirstReadOnly);
  for (IncludeCacheMemo* m : {static_cast<IncludeCacheMemo*>(nullptr), &memo, &batch}) {
    fx.Options.CacheMemo = m;
    // From the third reading on, the memo walks from a kept closure.
    for (int run = 0; run < 4; ++run) {
      fx.Convert(text, dir / "x.h");
      EXPECT_NE(ReadText(dir / "inc/x.tqc").find("[FUNC]\r\nX_FN\r\n"), std::string::npos) << run;
    }
  }
  // Withheld, a cache counts as absent until the batch writes it.
  batch.Withhold(dir / "inc/b.tqc");
  EXPECT_EQ(batch.Get(dir / "inc/b.tqc"), nullptr);
  batch.Written(dir / "inc/b.tqc",
                std::make_shared<const ParsedIncludeCache>(ParseIncludeCache("[TYPE]\r\nB,X\r\n")));
  ASSERT_NE(batch.Get(dir / "inc/b.tqc"), nullptr);
  EXPECT_EQ(batch.Get(dir / "inc/b.tqc")->Types.size(), 1u);
}

TEST_F(IncludesTest, CachesAreLookedForInEachFolderAndWrittenToOne) {
  // The per-user folder, written to, and a shipped one, only read.
  fx.Options.CacheDirs = {dir / "user", dir / "shipped"};
  fx.Options.CacheWriteDir = dir / "user";
  WriteText(dir / "shipped/a.tqc", "[TYPE]\r\nA,X\r\n[INC]\r\nb\r\n");
  WriteText(dir / "shipped/b.tqc", "[TYPE]\r\nB,Shipped\r\n");
  WriteText(dir / "user/b.tqc", "[TYPE]\r\nB,User\r\n");
  IncludeCacheMemo memo;
  auto known = [&](IncludeCacheMemo* m) {
    fx.Options.CacheMemo = m;
    ConversionContext& ctx = Ctx();
    EXPECT_EQ(Run(ctx, "#include <a.h>"), "// #include <a.h>");
    return Texts(ctx.TypeValues);
  };
  // The cache of the first folder that has one counts, also for [INC] names, with or without
  // the memo and its kept closures.
  for (IncludeCacheMemo* m : {static_cast<IncludeCacheMemo*>(nullptr), &memo, &memo, &memo})
    EXPECT_EQ(known(m), (V{"X", "User"}));
  // A cache that appears in an earlier folder takes over.
  WriteText(dir / "user/a.tqc", "[TYPE]\r\nA,Mine\r\n");
  EXPECT_EQ(known(&memo), V{"Mine"});
  // What a conversion learns goes to the folder written to only.
  fx.Options.CacheMemo = &memo;
  fx.Convert("#include <b.h>\n", dir / "c.h");
  EXPECT_TRUE(fx.Result.CacheWritten);
  EXPECT_TRUE(fs::exists(dir / "user/c.tqc"));
  EXPECT_FALSE(fs::exists(dir / "shipped/c.tqc"));
  // Without a folder to write to, the cache is not kept, and the result says so.
  fx.Options.CacheWriteDir.clear();
  fx.Convert("#include <b.h>\n", dir / "d.h");
  EXPECT_TRUE(fx.Result.CacheNotKept);
  EXPECT_FALSE(fx.Result.CacheWritten);
  EXPECT_EQ(fx.Result.CacheError, "");
  EXPECT_FALSE(fs::exists(dir / "user/d.tqc"));
}

TEST_F(IncludesTest, CompilerReadyQualifiesANameThatItsUnitHides) {
  // hstring.h declares HSTRING: in a unit that uses the unit hstring, the word is the unit's.
  fx.Options.CompileReady = true;
  auto has = [](const V& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  fx.Convert("typedef void *HSTRING;\n", dir / "hstring.h");
  EXPECT_TRUE(has(fx.Convert("#include <hstring.h>\nvoid f(HSTRING s);\n", dir / "b.h"),
                  "  procedure f(s: hstring.HSTRING); cdecl; external 'b.dll' name 'f';"));
  // The unit that declares the name keeps it as it is.
  EXPECT_TRUE(has(fx.Convert("typedef void *HSTRING;\nvoid g(HSTRING s);\n", dir / "hstring.h"),
                  "  procedure g(s: HSTRING); cdecl; external 'hstring.dll' name 'g';"));
}

}  // namespace
}  // namespace tqc
