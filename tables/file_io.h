// Files on disk, for every part of tqc: whole files read with the system's reason when that
// fails, and files written so that a failure never costs the old file (a temporary file in
// the target's folder, synced, then renamed over the target). Units, include caches and the
// window's saved text all go through WriteFileSafely.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <string>
#include <string_view>

namespace tqc {

// The outcome of a file operation: Error is the errno of the failure (0 on success) and
// Message says what failed in the user's terms, with the path and the system's reason.
struct FileResult {
  int Error = 0;
  std::string Message;  // e.g. "cannot write /x/a.pas: No space left on device"
  std::string Detail;   // the reason when the system's text for Error would not say it
  explicit operator bool() const { return Error == 0; }
  // Detail, else the system's text for Error ("Permission denied").
  std::string Reason() const;
};

// The largest file read (headers, definition files, include caches): far above any real
// header, low enough that a runaway file cannot take the machine's memory.
constexpr std::uintmax_t kMaxReadSize = std::uintmax_t{64} << 20;

// The system's text for an errno value.
std::string SystemReason(int error);

enum class WriteMode {
  Replace,     // an existing file is replaced
  CreateOnly,  // an existing file is kept and the write fails with EEXIST
};

// Writes `bytes` as the file at `path`. A regular file (or a new one) is written through a
// temporary file beside it that is synced and renamed over it, so that readers and other
// writers only ever see a whole file; it keeps the old file's permissions. A symbolic link
// is followed, so the file it points to is replaced and the link stays. A device or a pipe
// (/dev/null, /dev/stdout) is written directly. On failure the old file is as it was, no
// temporary file remains, and Message reads "cannot create PATH: REASON" (no file before)
// or "cannot write PATH: REASON".
FileResult WriteFileSafely(const std::string& path, std::string_view bytes,
                           WriteMode mode = WriteMode::Replace);

// For the programs' start: SIGINT, SIGTERM and SIGHUP remove the temporary file of a write in
// progress and then end the process as the signal would; a write past the file-size limit
// (SIGXFSZ) fails with EFBIG instead of killing the process. Signals the process was started
// with ignored stay ignored.
void InstallWriteSignalHandlers();

// Reads a whole file as bytes. Only a regular file of at most kMaxReadSize bytes is read; a
// named pipe is refused without waiting for a writer. On failure Message reads "cannot open
// PATH: REASON" or "cannot read PATH: REASON" (a folder gives "Is a directory", a device
// "not a regular file (a character device)", a larger file "File too large (...)").
FileResult ReadFileBytes(const std::string& path, std::string& out);
// Reads the same files as ReadFileBytes, handing each piece to `take` as it is read, so that
// a caller that keeps only part of a file never holds all of it.
FileResult ReadFilePieces(const std::string& path,
                          const std::function<void(std::string_view)>& take);
// How a text file was written, as its first bytes tell.
enum class TextEncoding {
  Bytes,    // 8-bit text, taken as it is
  Utf8Bom,  // UTF-8 behind a byte-order mark, which is dropped
  Utf16Le,  // UTF-16 behind its byte-order mark, turned into UTF-8
  Utf16Be,
};
// "UTF-16LE", "UTF-16BE", "UTF-8" or "" (plain bytes).
const char* EncodingName(TextEncoding encoding);

// Reads a text file as the converter takes it: a UTF-8 byte-order mark is dropped, UTF-16 with
// its mark becomes UTF-8. A NUL byte (outside UTF-16 with its mark) is refused with "PATH: not
// a text file" as soon as it is read: in the first 8 KB before the rest is read ("... (no
// byte-order mark: UTF-16?)" when the start reads like UTF-16), later with its offset. Which
// files are read and the other failures as ReadFileBytes.
FileResult ReadTextFile(const std::string& path, std::string& out, TextEncoding& encoding);

// Reads the rest of an open stream into `out`; false when reading fails.
bool ReadRest(std::istream& in, std::string& out);
// Whether the regular file at `path` holds exactly `bytes`.
bool FileHolds(const std::string& path, std::string_view bytes);

}  // namespace tqc
