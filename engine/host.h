// ConversionHost: everything the engine needs from whoever runs it (the window or the
// command line). The engine itself never touches a window.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tqc {

class ConversionHost {
 public:
  virtual ~ConversionHost() = default;
  // Status bar text, e.g. " Converting (h -> pas) ... (42%)".
  virtual void ShowStatus(std::string_view /*text*/) {}
  // Called once per input line so a window stays responsive.
  virtual void ProcessPendingEvents() {}
  // The "Input Name of export's DLL" prompt; nullopt means Cancel.
  virtual std::optional<std::string> AskDllName(std::string_view offered) = 0;
};

// A host that answers the DLL prompt with a fixed answer and shows nothing.
class SilentHost : public ConversionHost {
 public:
  SilentHost() = default;
  explicit SilentHost(std::optional<std::string> answer, bool acceptOffered = false)
      : answer_(std::move(answer)), acceptOffered_(acceptOffered) {}
  static SilentHost AcceptingOffered() { return SilentHost(std::nullopt, true); }
  std::optional<std::string> AskDllName(std::string_view offered) override {
    ++Prompts;
    if (acceptOffered_) return std::string(offered);
    return answer_;
  }
  int Prompts = 0;

 private:
  std::optional<std::string> answer_;
  bool acceptOffered_ = true;
};

}  // namespace tqc
