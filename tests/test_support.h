// Helpers shared by the engine tests: a context over small hand-made tables, and a
// conversion of header text straight to the unit's lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/conversion.h"
#include "engine/host.h"
#include "tables/definition_files.h"

namespace tqc::testing {

// Owns everything a ConversionContext refers to.
struct Fixture {
  DefinitionTables Defs;
  ConversionOptions Options;
  OutputPane Pane;
  SilentHost Host = SilentHost::AcceptingOffered();
  std::unique_ptr<ConversionContext> Ctx;

  Fixture() { Options.Today = BannerDate{2026, 12, 7}; }
  // (Re)creates the context after Defs and Options are set up.
  ConversionContext& Context() {
    Ctx = std::make_unique<ConversionContext>(Defs, Options, Pane, Host);
    Ctx->CopyTables();
    return *Ctx;
  }
  // Converts `text` as the file `name` and returns the unit's lines.
  std::vector<std::string> Convert(const std::string& text, const std::string& name = "x.h") {
    Result = ConvertText(name, text, BannerDate{2026, 12, 1}, Defs, Options, Host, Pane);
    return Pane.Lines();
  }
  // The body of the unit: the lines between the head and the tail.
  std::vector<std::string> Body(const std::string& text, const std::string& name = "x.h");
  ConversionResult Result;
};

// Loads the tables from small tqc.dat / tqc.typ texts.
void LoadTables(DefinitionTables& defs, const std::string& dat, const std::string& typ);

// The whole file as bytes (empty when it cannot be read).
std::string ReadAll(const std::string& path);

// The texts and the tags of a list, for comparisons in tests.
std::vector<std::string> Texts(const TStringList2& list);
std::vector<int> Tags(const TStringList2& list);

// While it lives, file permissions apply to this process: a process running as root (as the
// tests do on a build machine) takes the identity of an unprivileged user. Files the test
// makes for such a user must lie in folders that everybody may enter.
class AsUnprivileged {
 public:
  AsUnprivileged();
  ~AsUnprivileged();
  AsUnprivileged(const AsUnprivileged&) = delete;
  AsUnprivileged& operator=(const AsUnprivileged&) = delete;

 private:
  bool dropped_ = false;
};

// Tokens of one line (or several lines joined by the tokenizer's carried state).
std::vector<std::string> Tokens(ConversionContext& ctx, const std::vector<std::string>& lines);

}  // namespace tqc::testing
