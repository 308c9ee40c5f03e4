// ConvertHeader: converts one header or IDL file into the text of a Pascal unit, written
// into an OutputPane. Window effects go through the ConversionHost.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "context.h"
#include "host.h"
#include "options.h"
#include "output_pane.h"
#include "tables/definition_files.h"

namespace tqc {

struct ConversionResult {
  std::string UnitName;
  int ErrorCount = 0;
  bool CacheWritten = false;
  std::string CacheError;     // why the include cache could not be written (empty: no failure)
  bool CacheNotKept = false;  // a cache was due, but there is no folder to write it to
  TextEncoding Encoding = TextEncoding::Bytes;  // how the input file was written
  // One entry per "// Application Error : " line: the input line number and the reason.
  struct Failure {
    int Line = 0;
    std::string Reason;
    bool Intended = false;  // raised on purpose by a rule (see failure.h)
    bool Warning = false;   // a file the conversion needed could not be read
  };
  std::vector<Failure> Failures;
};

// A header as the conversion reads it: the text (a byte-order mark dropped, UTF-16 made UTF-8),
// the file's modified date and how it was written.
struct LoadedHeader {
  std::string Bytes;
  BannerDate FileDate;
  TextEncoding Encoding = TextEncoding::Bytes;
};
// Throws std::runtime_error with the path and the reason when the file cannot be read or is
// not a text file.
// The name of the unit converted from a header: UnitNameOf its file name stem; in the unix
// target with "_h" behind it when the header's code names something like it (typedef struct
// sqlite3 sqlite3; in sqlite3.h): a program would read the name as the unit's and could not
// use it. (The Windows target's compiler-ready units qualify such names instead.)
std::string UnitNameOfHeader(const DefinitionTables& defs, const ConversionOptions& options,
                             const std::string& stem, std::string_view bytes);

LoadedHeader LoadHeader(const std::string& path);

// Reads the file and converts it. Throws as LoadHeader, the pane then left as it was, and
// std::bad_alloc when memory runs out.
ConversionResult ConvertHeader(const std::string& path, DefinitionTables& tables,
                               const ConversionOptions& options, ConversionHost& host,
                               OutputPane& pane);

// Converts file bytes already read. `path` gives the unit name, the folder that neighbouring
// headers are looked for in, and the ".idl" test; `fileDate` is the source's modified date.
ConversionResult ConvertText(const std::string& path, std::string_view bytes,
                             const BannerDate& fileDate, DefinitionTables& tables,
                             const ConversionOptions& options, ConversionHost& host,
                             OutputPane& pane);

// Writes the uses line of the unit (line UsesLineIndex) from what the conversion found.
void WriteUsesLine(ConversionContext& ctx);

// The source pre-pass: interface and class names registered ahead of use, and the
// __cplusplus resolution when that option is on.
void PrepareSource(ConversionContext& ctx);

// "05 Mar 2004".
std::string FormatBannerDate(const BannerDate& date);
BannerDate TodayDate();

}  // namespace tqc
