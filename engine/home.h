// Where a run of tqc finds its definition files and help, and where it keeps the include cache:
// a portable folder (the program's own folder holds tqc.dat), an installed tree (the shipped
// files in ../share/tqc beside the program's bin folder, the user's own copies of the tables in
// the per-user folder), or a folder given with --home. The window and tqc-convert both ask here.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tqc {

struct HomeInputs {
  std::string ProgramDir;   // folder of the running program
  std::string GivenHome;    // --home; overrides everything when set
  std::string XdgDataHome;  // $XDG_DATA_HOME (ignored unless absolute)
  std::string UserHome;     // $HOME
  // Whether files can be created in a folder (or in the folder that would be made there);
  // fills the reason when not. Default: FolderWritable.
  std::function<bool(const std::string& dir, std::string& reason)> CanWrite;
};

struct HomeLayout {
  enum class Source { Given, Portable, Installed };
  Source From = Source::Installed;
  std::string
      DataDir;  // the shipped files: the given home, the program's folder, <prefix>/share/tqc
  std::string UserDir;  // the per-user folder; empty when no home folder is known
  // The definition files in use: in an installed tree each is the user's copy when there is
  // one, else the shipped file; empty when found nowhere (tqc.def and tqc.exp are optional).
  std::string Dat, Typ, Def, Exp;
  std::string Help;  // help_eng.txt of DataDir
  // Include cache folders ("inc" folders), read in this order; the first holds the caches
  // written now (CacheWriteDir) when one could be written.
  std::vector<std::string> CacheDirs;
  std::string CacheWriteDir;               // empty: no folder can be written
  std::vector<std::string> CacheRefusals;  // why each candidate for writing was refused

  // "the include cache is not kept: cannot write DIR: REASON; ..."
  std::string CacheNotKeptText() const;
};

// The inputs of a run: the program's folder, --home, and the environment.
HomeInputs HomeInputsFromEnvironment(const std::string& programDir, const std::string& givenHome);

HomeLayout FindHome(const HomeInputs& in);

// Sets Dat, Typ and Def from the files there now (FindHome does it once).
void PickDefinitionFiles(HomeLayout& home);

// The per-user folder: $XDG_DATA_HOME/morlen/tqc, else $HOME/.local/share/morlen/tqc; empty
// when neither is known.
std::string UserDataDir(const std::string& xdgDataHome, const std::string& userHome);

// Whether files can be created in `dir`: an existing folder the process may write to, or a
// folder that does not exist yet under the nearest existing one that it may write to, as
// access(2) judges it (so a read-only file system counts also for root).
bool FolderWritable(const std::string& dir, std::string& reason);

// Copies the shipped definition files that the per-user folder lacks into it (making the
// folder), never replacing a file there. Returns the names copied; throws std::runtime_error
// naming the path and the reason when a copy fails.
std::vector<std::string> CopyShippedDefinitionFiles(const HomeLayout& home);

// The folder and files in use, one "what: path" line each, for tqc-convert --print-home.
std::string DescribeHome(const HomeLayout& home);

}  // namespace tqc
