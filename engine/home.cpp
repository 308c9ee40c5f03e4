// Where the definition files, the help and the include cache live: the portable folder, the
// installed tree with the per-user folder, or the folder given with --home.
#include "home.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "tables/file_io.h"

#ifndef TQC_RELATIVE_DATA_DIR
#define TQC_RELATIVE_DATA_DIR "../share/tqc"
#endif

namespace tqc {

namespace fs = std::filesystem;

namespace {

const char* const kDefinitionFiles[] = {"tqc.dat", "tqc.typ", "tqc.def", "tqc.exp"};

std::string Join(const std::string& dir, const char* name) {
  return (fs::path(dir) / name).string();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

}  // namespace

std::string UserDataDir(const std::string& xdgDataHome, const std::string& userHome) {
  // A relative XDG_DATA_HOME is to be ignored, as for every program that follows the
  // convention.
  if (!xdgDataHome.empty() && xdgDataHome.front() == '/') return Join(xdgDataHome, "morlen/tqc");
  if (!userHome.empty()) return Join(userHome, ".local/share/morlen/tqc");
  return std::string();
}

bool FolderWritable(const std::string& dir, std::string& reason) {
  fs::path p = dir.empty() ? fs::path(".") : fs::path(dir);
  for (;;) {
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        reason = p.string() + " is not a folder";
        return false;
      }
      if (::access(p.c_str(), W_OK | X_OK) == 0) return true;
      reason = p.string() + ": " + std::strerror(errno);
      return false;
    }
    if (errno != ENOENT) {
      reason = p.string() + ": " + std::strerror(errno);
      return false;
    }
    // Not there yet: it would be made in the nearest folder that exists.
    fs::path parent = p.parent_path();
    if (parent.empty()) parent = ".";
    if (parent == p) {
      reason = p.string() + ": " + std::strerror(ENOENT);
      return false;
    }
    p = parent;
  }
}

HomeInputs HomeInputsFromEnvironment(const std::string& programDir, const std::string& givenHome) {
  HomeInputs in;
  in.ProgramDir = programDir;
  in.GivenHome = givenHome;
  in.XdgDataHome = Env("XDG_DATA_HOME");
  in.UserHome = Env("HOME");
  return in;
}

void PickDefinitionFiles(HomeLayout& h) {
  const bool userCopies = h.From == HomeLayout::Source::Installed && !h.UserDir.empty();
  std::string* files[] = {&h.Dat, &h.Typ, &h.Def, &h.Exp};
  for (int i = 0; i < 4; ++i) {
    const char* name = kDefinitionFiles[i];
    files[i]->clear();
    if (userCopies && Exists(Join(h.UserDir, name)))
      *files[i] = Join(h.UserDir, name);
    else if (Exists(Join(h.DataDir, name)))
      *files[i] = Join(h.DataDir, name);
  }
}

HomeLayout FindHome(const HomeInputs& in) {
  HomeLayout h;
  std::vector<std::string> writable;  // candidates for writing, in order
  std::vector<std::string> readOnly;
  if (!in.GivenHome.empty()) {
    h.From = HomeLayout::Source::Given;
    h.DataDir = in.GivenHome;
    writable.push_back(Join(h.DataDir, "inc"));
  } else {
    h.UserDir = UserDataDir(in.XdgDataHome, in.UserHome);
    if (Exists(Join(in.ProgramDir, "tqc.dat"))) {
      // A portable copy, or the build folder: everything beside the program.
      h.From = HomeLayout::Source::Portable;
      h.DataDir = in.ProgramDir;
      writable.push_back(Join(h.DataDir, "inc"));
    } else {
      // Installed: relative to the program, so that a moved or staged tree still works. The
      // shipped caches are never written: that tree belongs to the package manager.
      h.From = HomeLayout::Source::Installed;
      h.DataDir = (fs::path(in.ProgramDir) / TQC_RELATIVE_DATA_DIR).lexically_normal().string();
      if (h.DataDir.size() > 1 && h.DataDir.back() == '/') h.DataDir.pop_back();
      readOnly.push_back(Join(h.DataDir, "inc"));
    }
    if (!h.UserDir.empty()) writable.push_back(Join(h.UserDir, "inc"));
  }

  PickDefinitionFiles(h);
  h.Help = Join(h.DataDir, "help_eng.txt");

  for (const std::string& dir : writable) {
    std::string reason;
    const bool ok = in.CanWrite ? in.CanWrite(dir, reason) : FolderWritable(dir, reason);
    if (ok) {
      h.CacheWriteDir = dir;
      break;
    }
    h.CacheRefusals.push_back("cannot write " + dir + " (" + reason + ")");
  }
  if (writable.empty()) h.CacheRefusals.push_back("no per-user folder: HOME is not set");
  // The folder written to comes first: its caches are the ones made now.
  if (!h.CacheWriteDir.empty()) h.CacheDirs.push_back(h.CacheWriteDir);
  for (const auto* list : {&writable, &readOnly})
    for (const std::string& dir : *list)
      if (dir != h.CacheWriteDir) h.CacheDirs.push_back(dir);
  return h;
}

std::string HomeLayout::CacheNotKeptText() const {
  std::string text = "the include cache is not kept: ";
  for (std::size_t i = 0; i < CacheRefusals.size(); ++i) {
    if (i > 0) text += "; ";
    text += CacheRefusals[i];
  }
  return text;
}

std::vector<std::string> CopyShippedDefinitionFiles(const HomeLayout& home) {
  if (home.UserDir.empty())
    throw std::runtime_error("there is no per-user folder: HOME is not set");
  std::error_code ec;
  fs::create_directories(home.UserDir, ec);
  if (ec) throw std::runtime_error("cannot create " + home.UserDir + ": " + ec.message());
  std::vector<std::string> copied;
  for (const char* name : kDefinitionFiles) {
    const std::string from = Join(home.DataDir, name);
    const std::string to = Join(home.UserDir, name);
    if (!Exists(from) || fs::exists(fs::symlink_status(to, ec))) continue;
    // A copy cut short must not leave half a table to be used from then on; a file that
    // appeared meanwhile stays.
    std::string bytes;
    FileResult r = ReadFileBytes(from, bytes);
    if (r) r = WriteFileSafely(to, bytes, WriteMode::CreateOnly);
    if (r.Error == EEXIST) continue;
    if (!r) throw std::runtime_error("cannot copy " + from + " to " + to + ": " + r.Reason());
    // The copy is the user's to edit, whatever the shipped file's mode.
    fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
    copied.push_back(name);
  }
  return copied;
}

std::string DescribeHome(const HomeLayout& home) {
  std::string out = "home: " + home.DataDir;
  switch (home.From) {
    case HomeLayout::Source::Given:
      out += " (given with --home)\n";
      break;
    case HomeLayout::Source::Portable:
      out += " (portable: the program's folder)\n";
      break;
    case HomeLayout::Source::Installed:
      out += " (installed)\n";
      break;
  }
  const std::string* files[] = {&home.Dat, &home.Typ, &home.Def, &home.Exp};
  for (int i = 0; i < 4; ++i) {
    out += kDefinitionFiles[i];
    out += ": ";
    out += files[i]->empty() ? std::string("not found") : *files[i];
    out += "\n";
  }
  out += "help: " + home.Help + (Exists(home.Help) ? "\n" : " (not found)\n");
  if (!home.UserDir.empty()) out += "user folder: " + home.UserDir + "\n";
  for (const std::string& dir : home.CacheDirs)
    out += "include cache: " + dir +
           (dir == home.CacheWriteDir ? " (written and read)\n" : " (read)\n");
  if (home.CacheWriteDir.empty()) out += home.CacheNotKeptText() + "\n";
  return out;
}

}  // namespace tqc
