// Reading whole files and writing them safely. A write goes to a temporary file in the
// target's folder (so the final rename never crosses a file system), is synced, and is renamed
// over the target; the one temporary file in progress is known to the signal handlers so that
// an interrupted run leaves nothing behind.
#include "file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>
#include <vector>

namespace tqc {

namespace {

// The temporary file of the write in progress, for the signal handlers. The path is complete
// before the flag is set, and the flag is cleared before the path changes again.
std::atomic<bool> g_tempActive{false};
char g_tempPath[4096];

bool RegisterTemp(const std::string& path) {
  if (path.size() >= sizeof g_tempPath) return false;  // such a write is not cleaned up
  std::memcpy(g_tempPath, path.c_str(), path.size() + 1);
  g_tempActive.store(true);
  return true;
}

void ReleaseTemp() { g_tempActive.store(false); }

extern "C" void RemoveTempAndEnd(int sig) {
  // Only async-signal-safe calls here. The handler was reset on entry, so the signal raised
  // again ends the process with the signal's own status.
  if (g_tempActive.load()) ::unlink(g_tempPath);
  ::signal(sig, SIG_DFL);
  ::raise(sig);
}

FileResult Failure(const char* what, const std::string& path, int error, std::string detail = {}) {
  FileResult r;
  r.Error = error != 0 ? error : EIO;
  r.Detail = std::move(detail);
  r.Message = std::string(what) + " " + path + ": " + r.Reason();
  return r;
}

// A file that is not text: "PATH: not a text file", with why when the start looked like text.
FileResult NotText(const std::string& path, const std::string& why = {}) {
  FileResult r;
  r.Error = EILSEQ;
  r.Detail = why.empty() ? "not a text file" : "not a text file (" + why + ")";
  r.Message = path + ": " + r.Detail;
  return r;
}

// Closes a descriptor when it goes out of scope (unless released).
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; returns the errno of a failed close, or 0.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor also when close is interrupted.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
  }

 private:
  int fd_;
};

// Writes all bytes; returns the errno of the failure, or 0.
int WriteAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, std::min<std::size_t>(left, std::size_t{1} << 30));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return 0;
}

std::string Megabytes(std::uintmax_t bytes) {
  return std::to_string((bytes + (std::uintmax_t{1} << 20) - 1) >> 20) + " MB";
}

FileResult TooLarge(const std::string& path, std::uintmax_t size) {
  return Failure("cannot read", path, EFBIG,
                 "File too large (" + (size > kMaxReadSize ? Megabytes(size) + "; " : "") +
                     "files are read up to " + Megabytes(kMaxReadSize) + ")");
}

// What a file is when it is not a regular one, for the refusal.
const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

// Opens a file for reading. Only a regular file within the size limit is taken: a named pipe
// would wait for a writer (it is opened without waiting and refused), a device may never end.
FileResult OpenRegularFile(const std::string& path, Fd& fd, struct stat& st) {
  fd.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0) return Failure("cannot open", path, errno);
  if (::fstat(fd.Get(), &st) != 0) return Failure("cannot read", path, errno);
  if (S_ISDIR(st.st_mode)) return Failure("cannot read", path, EISDIR);
  if (!S_ISREG(st.st_mode))
    return Failure("cannot read", path, EINVAL,
                   std::string("not a regular file (") + KindOf(st.st_mode) + ")");
  if (static_cast<std::uintmax_t>(st.st_size) > kMaxReadSize) return TooLarge(path, st.st_size);
  return {};
}

// Appends what the descriptor gives until its end or until `out` holds `limit` bytes. With
// `refuseNul`, a piece that holds a NUL byte ends the read: the file is not text.
FileResult ReadPieces(int fd, const std::string& path, std::string& out, std::size_t limit,
                      bool refuseNul = false) {
  char piece[65536];
  while (out.size() < limit) {
    const ssize_t n = ::read(fd, piece, std::min(sizeof piece, limit - out.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Failure("cannot read", path, errno);
    }
    if (n == 0) break;
    if (refuseNul) {
      if (const void* nul = std::memchr(piece, '\0', static_cast<std::size_t>(n)))
        return NotText(path,
                       "a NUL byte at offset " +
                           std::to_string(out.size() + static_cast<std::size_t>(
                                                           static_cast<const char*>(nul) - piece)));
    }
    out.append(piece, static_cast<std::size_t>(n));
  }
  return {};
}

// Reads the rest of a regular file, which may have grown since it was measured, up to the
// size limit.
FileResult ReadToEnd(int fd, const std::string& path, std::string& out, bool refuseNul = false) {
  if (FileResult r = ReadPieces(fd, path, out, kMaxReadSize + 1, refuseNul); !r) return r;
  if (out.size() > kMaxReadSize) return TooLarge(path, out.size());
  return {};
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The path a chain of symbolic links ends at, also when the last one points nowhere yet. A
// chain too long (a loop) is left as it stands: the write then fails with the system's reason.
std::string FollowLinks(const std::string& path) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    const ssize_t n = ::readlink(at.c_str(), to.data(), to.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= to.size()) return at;
    to.resize(static_cast<std::size_t>(n));
    at = to.front() == '/' ? to : FolderOf(at) + "/" + to;
  }
  return at;
}

// The process that wrote ".tqc-PID-N.tmp", or 0 for any other name.
pid_t TemporaryFileOwner(std::string_view name) {
  if (!name.starts_with(".tqc-") || !name.ends_with(".tmp")) return 0;
  name = name.substr(5, name.size() - 9);
  const std::size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash > 9 ||
      name.substr(dash + 1).find_first_not_of("0123456789") != std::string_view::npos ||
      name.substr(0, dash).find_first_not_of("0123456789") != std::string_view::npos)
    return 0;
  return static_cast<pid_t>(std::stol(std::string(name.substr(0, dash))));
}

// A process killed outright (SIGKILL, a crash, a power cut) cannot remove its temporary file:
// the first write of a later process into that folder removes the files whose process is gone.
// A process that still runs, also another user's, keeps its file.
void RemoveStaleTemporaryFiles(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d)) {
    const pid_t owner = TemporaryFileOwner(e->d_name);
    if (owner <= 0 || owner == ::getpid()) continue;
    if (::kill(owner, 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

}  // namespace

std::string SystemReason(int error) { return std::system_category().message(error); }

std::string FileResult::Reason() const {
  if (!Detail.empty()) return Detail;
  return Error == 0 ? std::string() : SystemReason(Error);
}

void InstallWriteSignalHandlers() {
  // Every signal whose default action ends the process, so that none of them leaves a
  // temporary file behind; SIGXFSZ is ignored below.
  std::vector<int> fatal{SIGHUP,  SIGINT,    SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                         SIGFPE,  SIGUSR1,   SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                         SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR,  SIGSYS};
#ifdef SIGSTKFLT
  fatal.push_back(SIGSTKFLT);
#endif
  for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) fatal.push_back(sig);
  for (int sig : fatal) {
    struct sigaction old {};
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
    struct sigaction sa {};
    sa.sa_handler = RemoveTempAndEnd;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESETHAND;
    ::sigaction(sig, &sa, nullptr);
  }
  ::signal(SIGXFSZ, SIG_IGN);
}

FileResult WriteFileSafely(const std::string& path, std::string_view bytes, WriteMode mode) {
  // A link is followed: the file it points to is replaced (or made), the link stays.
  const std::string target = FollowLinks(path);
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return Failure("cannot create", path, errno);
  if (exists && S_ISDIR(st.st_mode)) return Failure("cannot write", path, EISDIR);
  if (exists && mode == WriteMode::CreateOnly) return Failure("cannot create", path, EEXIST);
  const char* const failing = exists ? "cannot write" : "cannot create";

  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced; it takes the bytes as they come.
    Fd fd(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0) return Failure(failing, path, errno);
    if (int e = WriteAll(fd.Get(), bytes)) return Failure(failing, path, e);
    if (int e = fd.Close()) return Failure(failing, path, e);
    return {};
  }

  // A short name, so that it fits the file-name limit whatever the target's name.
  static std::atomic<unsigned> counter{0};
  const std::string folder = FolderOf(target);
  RemoveStaleTemporaryFiles(folder);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + (folder == "/" ? "" : "/") + ".tqc-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter) + ".tmp";
    const bool registered = RegisterTemp(temp);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int e = errno;
      if (registered) ReleaseTemp();
      if (e != EEXIST) return Failure(failing, path, e);
    }
  }
  if (fd < 0) return Failure(failing, path, EEXIST);
  Fd file(fd);
  auto fail = [&](int e) {
    if (file.Get() >= 0) file.Close();
    ::unlink(temp.c_str());
    ReleaseTemp();
    return Failure(failing, path, e);
  };
  if (exists) {
    // The replacement keeps the old file's owner (where allowed) and permissions.
    if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
        ::fchown(file.Get(), st.st_uid, st.st_gid) != 0)
      (void)::fchown(file.Get(), static_cast<uid_t>(-1), st.st_gid);
    (void)::fchmod(file.Get(), st.st_mode & 07777);
  }
  if (int e = WriteAll(file.Get(), bytes)) return fail(e);
  // Synced before the rename: after a crash the target is the old file or the whole new one.
  // A new file is not synced: without an old file a crash can cost nothing that a new run
  // would not make again, and a batch into an empty folder would mostly wait for the disk.
  if (exists && ::fsync(file.Get()) != 0) return fail(errno);
  if (int e = file.Close()) return fail(e);
  if (mode == WriteMode::CreateOnly) {
    // A link fails when the target appeared meanwhile, where a rename would replace it.
    if (::link(temp.c_str(), target.c_str()) != 0) return fail(errno);
    ::unlink(temp.c_str());
  } else if (::rename(temp.c_str(), target.c_str()) != 0) {
    return fail(errno);
  }
  ReleaseTemp();
  return {};
}

FileResult ReadFileBytes(const std::string& path, std::string& out) {
  out.clear();
  Fd fd(-1);
  struct stat st {};
  if (FileResult r = OpenRegularFile(path, fd, st); !r) return r;
  out.reserve(static_cast<std::size_t>(st.st_size));
  return ReadToEnd(fd.Get(), path, out);
}

FileResult ReadFilePieces(const std::string& path,
                          const std::function<void(std::string_view)>& take) {
  Fd fd(-1);
  struct stat st {};
  if (FileResult r = OpenRegularFile(path, fd, st); !r) return r;
  std::string piece;
  for (std::uintmax_t total = 0;;) {
    piece.clear();
    if (FileResult r = ReadPieces(fd.Get(), path, piece, 65536); !r) return r;
    if (piece.empty()) return {};
    total += piece.size();
    if (total > kMaxReadSize) return TooLarge(path, total);
    take(piece);
  }
}

const char* EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8Bom:
      return "UTF-8";
    case TextEncoding::Utf16Le:
      return "UTF-16LE";
    case TextEncoding::Utf16Be:
      return "UTF-16BE";
    case TextEncoding::Bytes:
      break;
  }
  return "";
}

namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 code units (after the mark) as UTF-8; a lone surrogate or an odd last byte becomes
// U+FFFD, so that nothing is dropped without a trace.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size() / 2 + bytes.size() / 8);
  auto unit = [&](std::size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]),
               b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char32_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) {
    const char32_t u = unit(i);
    if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
  }
  if (i < bytes.size()) AppendUtf8(out, 0xFFFD);
  return out;
}

// Whether bytes with NULs in them read like UTF-16 written without its mark: mostly text with a
// NUL beside every character, all on the same side.
bool LooksLikeUtf16(std::string_view bytes) {
  std::size_t nul[2] = {0, 0};
  const std::size_t pairs = bytes.size() / 2;
  for (std::size_t i = 0; i < 2 * pairs; ++i)
    if (bytes[i] == '\0') ++nul[i % 2];
  const auto most = [&](std::size_t n) { return n * 4 >= pairs * 3; };
  const auto few = [&](std::size_t n) { return n * 8 <= pairs; };
  return pairs >= 2 && ((most(nul[0]) && few(nul[1])) || (most(nul[1]) && few(nul[0])));
}

}  // namespace

FileResult ReadTextFile(const std::string& path, std::string& out, TextEncoding& encoding) {
  out.clear();
  encoding = TextEncoding::Bytes;
  Fd fd(-1);
  struct stat st {};
  if (FileResult r = OpenRegularFile(path, fd, st); !r) return r;
  // The start decides whether the file is text at all, before a large file is read whole.
  constexpr std::size_t kProbe = 8192;
  std::string head;
  if (FileResult r = ReadPieces(fd.Get(), path, head, kProbe); !r) return r;
  const auto starts = [&](std::string_view mark) { return head.starts_with(mark); };
  if (starts("\xFF\xFE"))
    encoding = TextEncoding::Utf16Le;
  else if (starts("\xFE\xFF"))
    encoding = TextEncoding::Utf16Be;
  else if (starts("\xEF\xBB\xBF"))
    encoding = TextEncoding::Utf8Bom;
  const bool utf16 = encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be;
  if (!utf16 && head.find('\0') != std::string::npos)
    return NotText(path, LooksLikeUtf16(head) ? "no byte-order mark: UTF-16?" : "");
  out.reserve(static_cast<std::size_t>(st.st_size));
  out += head;
  // Past the start a NUL byte is refused as soon as it is read: text has none.
  if (head.size() == kProbe) {
    if (FileResult r = ReadToEnd(fd.Get(), path, out, !utf16); !r) return r;
  }
  if (encoding == TextEncoding::Utf8Bom) {
    out.erase(0, 3);
  } else if (utf16) {
    out = Utf16ToUtf8(std::string_view(out).substr(2), encoding == TextEncoding::Utf16Be);
    if (out.find('\0') != std::string::npos) return NotText(path, "a NUL character");
  }
  return {};
}

bool ReadRest(std::istream& in, std::string& out) {
  out.clear();
  // A regular file is read in one piece into a buffer of its size; a stream without a size
  // (a pipe) goes through the stream buffer.
  const std::istream::pos_type start = in.tellg();
  if (start != std::istream::pos_type(-1) && in.seekg(0, std::ios::end)) {
    const std::istream::pos_type end = in.tellg();
    in.seekg(start);
    if (end != std::istream::pos_type(-1) && end >= start && in) {
      out.resize(static_cast<std::size_t>(end - start));
      in.read(out.data(), static_cast<std::streamsize>(out.size()));
      if (in.bad()) return false;
      // A file that shrank meanwhile: keep what was read. One that grew: read the rest too.
      out.resize(static_cast<std::size_t>(in.gcount()));
      if (in.eof()) return true;
      in.clear();
    }
  }
  in.clear(in.rdstate() & ~std::ios::failbit);
  std::ostringstream ss;
  if (in.peek() != std::istream::traits_type::eof()) ss << in.rdbuf();
  if (in.bad()) return false;
  out += ss.str();
  return true;
}

bool FileHolds(const std::string& path, std::string_view bytes) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) != bytes.size())
    return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // Compared a piece at a time: a unit can be tens of megabytes.
  char piece[65536];
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t want = std::min(sizeof piece, bytes.size() - at);
    in.read(piece, static_cast<std::streamsize>(want));
    if (static_cast<std::size_t>(in.gcount()) != want ||
        std::memcmp(piece, bytes.data() + at, want) != 0)
      return false;
    at += want;
  }
  // The file may have grown since it was measured.
  return in.peek() == std::istream::traits_type::eof();
}

}  // namespace tqc
