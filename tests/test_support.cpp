#include "test_support.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "engine/tokenizer.h"

namespace tqc::testing {

std::vector<std::string> Fixture::Body(const std::string& text, const std::string& name) {
  auto lines = Convert(text, name);
  // Head: 12 lines. Tail: "", "implementation", "", [const ...], "end.".
  std::size_t end = lines.size();
  for (std::size_t i = lines.size(); i-- > 12;) {
    if (lines[i] == "implementation") {
      end = i - 1;
      break;
    }
  }
  return std::vector<std::string>(lines.begin() + 12, lines.begin() + static_cast<long>(end));
}

void LoadTables(DefinitionTables& defs, const std::string& dat, const std::string& typ) {
  defs = DefinitionTables{};
  ReadDatText(defs, dat);
  ReadTypText(defs, typ);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

AsUnprivileged::AsUnprivileged() {
  if (::geteuid() != 0) return;
  if (::setegid(65534) != 0 || ::seteuid(65534) != 0)
    throw std::runtime_error("cannot take an unprivileged identity");
  dropped_ = true;
}

AsUnprivileged::~AsUnprivileged() {
  if (!dropped_) return;
  // Back to root: the saved user id is still 0.
  if (::seteuid(0) != 0 || ::setegid(0) != 0) std::terminate();
}

std::vector<std::string> Texts(const TStringList2& list) {
  std::vector<std::string> out;
  for (const auto& e : list.Entries()) out.push_back(e.Text);
  return out;
}

std::vector<int> Tags(const TStringList2& list) {
  std::vector<int> out;
  for (const auto& e : list.Entries()) out.push_back(e.Tag);
  return out;
}

std::vector<std::string> Tokens(ConversionContext& ctx, const std::vector<std::string>& lines) {
  ctx.TokenList.Clear();
  for (const auto& l : lines) {
    ctx.PendingStar = false;
    TokenizeLine(l, ctx);
  }
  std::vector<std::string> out;
  for (const auto& e : ctx.TokenList.Entries()) out.push_back(e.Text);
  return out;
}

}  // namespace tqc::testing
