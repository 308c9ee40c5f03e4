// The bridge between the engine's byte lines and the window's text document: encodings,
// byte-exact saving, and styles on the right characters.
#include "pane_text.h"
#include "style_map.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace tqc;
using namespace tqc::shell;

class PaneTextTest : public QObject {
  Q_OBJECT

 private slots:
  void AnsiMapsEveryByteToOneCharacterAndBack() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const QString text = DecodeAnsi(all);
    QCOMPARE(text.size(), qsizetype(256));
    QCOMPARE(EncodeAnsi(text), all);
    // Code page 1252 where it has a character, the C1 control where it has none.
    QCOMPARE(text.at(0x80), QChar(0x20AC));
    QCOMPARE(text.at(0x81), QChar(0x0081));
    QCOMPARE(text.at(0x96), QChar(0x2013));
    QCOMPARE(text.at(0xE9), QChar(0x00E9));
  }

  void AnsiWritesTypedCharactersOutsideTheCodePageAsUtf8() {
    // Nothing the user typed is lost: U+0100 and a surrogate pair have no byte of their own.
    QCOMPARE(EncodeAnsi(QString::fromUtf8("a\xc4\x80z")), std::string("a\xc4\x80z"));
    QCOMPARE(EncodeAnsi(QString::fromUtf8("\xf0\x9f\x98\x80")), std::string("\xf0\x9f\x98\x80"));
    QCOMPARE(EncodeAnsi(QString(QChar(0x20AC))), std::string("\x80"));
  }

  void ChoosesUtf8OnlyForCleanUtf8() {
    struct Case {
      std::vector<std::string> lines;
      PaneEncoding expected;
    };
    const Case cases[] = {
        {{"plain", "ascii"}, PaneEncoding::Ansi},
        {{"caf\xc3\xa9", "x"}, PaneEncoding::Utf8},
        {{"\xf0\x9f\x98\x80"}, PaneEncoding::Utf8},
        {{"caf\xc3\xa9", "caf\xe9"}, PaneEncoding::Ansi},  // one Latin-1 line decides
        {{"\xc0\xaf"}, PaneEncoding::Ansi},                // overlong
        {{"\xed\xa0\x80"}, PaneEncoding::Ansi},            // surrogate
        {{"\xf4\x90\x80\x80"}, PaneEncoding::Ansi},        // above U+10FFFF
        {{"ab\xc3"}, PaneEncoding::Ansi},                  // cut short at the end
        {{"\xe2\x80\xa8"}, PaneEncoding::Ansi},            // U+2028 would break the line
        {{"\xe2\x80\xa9"}, PaneEncoding::Ansi},            // U+2029 too
    };
    for (const Case& c : cases) QCOMPARE(ChooseEncoding(c.lines), c.expected);
  }

  void CharColumnCountsCharactersBeforeTheByte() {
    const std::string line = "a\xc3\xa9z\xf0\x9f\x98\x80!";  // a é z 😀 !
    QCOMPARE(CharColumn(line, 0, PaneEncoding::Utf8), 0);
    QCOMPARE(CharColumn(line, 1, PaneEncoding::Utf8), 1);
    QCOMPARE(CharColumn(line, 3, PaneEncoding::Utf8), 2);
    QCOMPARE(CharColumn(line, 4, PaneEncoding::Utf8), 3);
    QCOMPARE(CharColumn(line, 8, PaneEncoding::Utf8), 5);  // the emoji is a surrogate pair
    QCOMPARE(CharColumn(line, 9, PaneEncoding::Utf8), 6);
    QCOMPARE(CharColumn(line, 8, PaneEncoding::Ansi), 8);
  }

  void StylesLandOnTheirCharactersBehindMultiByteText() {
    OutputPane pane;
    pane.Add("unit caf\xc3\xa9;");
    pane.MarkLine(0, 0, 4, TextStyle::Bold);
    pane.Add("// \xc3\xa9\xf0\x9f\x98\x80 Error : x");  // 3 + 2 + 4 + 1 bytes before "Error"
    pane.MarkLine(1, 10, 5, TextStyle::Red);
    pane.Add("(* \xc3\xa9 *) end.");
    pane.MarkLine(2, 9, 3, TextStyle::Bold);
    pane.MarkLine(2, 10, 1, TextStyle::Red);
    QTextDocument doc;
    QCOMPARE(ShowPane(doc, pane), PaneEncoding::Utf8);
    QCOMPARE(doc.blockCount(), 3);
    QCOMPARE(doc.findBlockByNumber(1).text(),
             QString::fromUtf8("// \xc3\xa9\xf0\x9f\x98\x80 Error : x"));
    QCOMPARE(StyleMap(doc.findBlockByNumber(0)), QString("bbbb......"));
    QCOMPARE(StyleMap(doc.findBlockByNumber(1)), QString(".......rrrrr...."));
    QCOMPARE(StyleMap(doc.findBlockByNumber(2)), QString("........bBb."));
    QVERIFY(!doc.isUndoAvailable());
  }

  void StylesInAnAnsiUnitCountBytes() {
    OutputPane pane;
    pane.Add("\xe9\xe8 Error");
    pane.MarkLine(0, 3, 5, TextStyle::Red);
    pane.Add("caf\xc3\xa9");  // valid UTF-8, but the other line is not
    QTextDocument doc;
    QCOMPARE(ShowPane(doc, pane), PaneEncoding::Ansi);
    QCOMPARE(doc.firstBlock().text(), QString::fromUtf8("\xc3\xa9\xc3\xa8 Error"));
    QCOMPARE(StyleMap(doc.firstBlock()), QString("...rrrrr"));
  }

  void DocumentBytesAreTheEngineBytes() {
    const std::vector<std::vector<std::string>> units = {
        {"unit a;", "", "// caf\xe9 \x80 \x81 \xa0 \xff", "end."},
        {"unit b;", "(* caf\xc3\xa9 \xf0\x9f\x98\x80 *)", "\t\x01 tab and control", "end."},
    };
    for (const auto& lines : units) {
      OutputPane pane;
      for (const auto& l : lines) pane.Add(l);
      QTextDocument doc;
      const PaneEncoding enc = ShowPane(doc, pane);
      QCOMPARE(DocumentBytes(doc, enc), pane.SaveText());
    }
    QTextDocument empty;
    QCOMPARE(DocumentBytes(empty, PaneEncoding::Ansi), std::string());
  }
};

QTEST_MAIN(PaneTextTest)
#include "pane_text_test.moc"
