// The output files of a run, written under a temporary name and put in place whole.

#include "OutputFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <ostrel/utils/TextFile.h>

#include "Interrupts.h"

namespace Towerkit {

namespace {

// ": <reason>" for the current errno, or nothing when the system gave none.
std::string Reason(int i_errno) {
  if (i_errno == 0) return std::string();
  return std::string(": ") + std::strerror(i_errno);
}

// The permission bits a file created now would get: 0666 less the process's umask.
mode_t NewFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}

bool OpenDirect(OutputFile& io_file, std::string& o_error) {
  errno = 0;
  if (io_file.stream.open(io_file.target.c_str())) return true;
  o_error = "Cannot open output file '" + io_file.target + "'" + Reason(errno);
  return false;
}

// Flushes and closes the stream. False, with o_error set and the output discarded, when any
// write failed.
bool FinishOutput(OutputFile& io_file, std::string& o_error) {
  io_file.stream.flush();
  io_file.stream.close();
  if (io_file.stream.good()) return true;
  o_error = "Cannot write output file '" + io_file.target + "'" + Reason(io_file.stream.error());
  DiscardOutput(io_file);
  return false;
}

// Renames the finished temporary file over its target. False, with o_error set and the
// temporary file removed, when it cannot.
bool PlaceOutput(OutputFile& io_file, std::string& o_error) {
  if (io_file.tempPath.empty()) return true;
  if (std::rename(io_file.tempPath.c_str(), io_file.realPath.c_str()) != 0) {
    o_error = "Cannot write output file '" + io_file.target + "'" + Reason(errno);
    DiscardOutput(io_file);
    return false;
  }
  ForgetTemporary(io_file.registered);
  io_file.registered = -1;
  io_file.tempPath.clear();
  return true;
}

}  // namespace

bool OpenOutput(const std::string& i_path, OutputFile& o_file, std::string& o_error, OutputNaming i_naming) {
  namespace fs = std::filesystem;
  o_file.target = i_path;
  o_file.realPath = i_path;
  o_file.tempPath.clear();

  struct stat info {};
  // A link the tool named itself is replaced, not followed.
  const bool exists = i_naming == OutputNaming::Tool
                          ? lstat(i_path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)
                          : stat(i_path.c_str(), &info) == 0;
  if (exists && S_ISDIR(info.st_mode)) {
    o_error = "Cannot write output file '" + i_path + "': it is a folder";
    return false;
  }
  if (exists && !S_ISREG(info.st_mode)) {
    if (i_naming == OutputNaming::User) return OpenDirect(o_file, o_error);
    o_error = "Cannot write output file '" + i_path + "': it is not a regular file";
    return false;
  }
  if (exists) {
    // Writing through a link changes the file it names, not the link.
    std::error_code ec;
    const fs::path resolved = fs::canonical(i_path, ec);
    if (!ec) o_file.realPath = resolved.string();
    // The target could not have been truncated, so it must not be replaced either.
    if (access(o_file.realPath.c_str(), W_OK) != 0) {
      o_error = "Cannot open output file '" + i_path + "'" + Reason(errno);
      return false;
    }
  }

  fs::path folder = fs::path(o_file.realPath).parent_path();
  if (folder.empty()) folder = ".";
  std::string pattern = (folder / ".towerkit-XXXXXX").string();
  // An interruption between the file's making and its registering would leave it behind: the
  // signals wait until it is registered.
  sigset_t interruptions, before;
  sigemptyset(&interruptions);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&interruptions, signal);
  pthread_sigmask(SIG_BLOCK, &interruptions, &before);
  const int fd = mkstemp(pattern.data());
  const int failure = errno;
  if (fd >= 0) o_file.registered = RegisterTemporary(pattern);
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  if (fd < 0) {
    o_error = "Cannot open output file '" + i_path + "'" + Reason(failure);
    return false;
  }
  // A replaced file keeps its own permissions; a new one gets those the umask gives.
  fchmod(fd, exists ? static_cast<mode_t>(info.st_mode & 07777) : NewFileMode());
  o_file.tempPath = pattern;
  o_file.stream.attach(fd);
  return true;
}

void DiscardOutput(OutputFile& io_file) {
  if (io_file.stream.is_open()) io_file.stream.close();
  if (!io_file.tempPath.empty()) std::remove(io_file.tempPath.c_str());
  ForgetTemporary(io_file.registered);
  io_file.registered = -1;
  io_file.tempPath.clear();
}

bool CommitOutput(OutputFile& io_file, std::string& o_error) {
  return FinishOutput(io_file, o_error) && PlaceOutput(io_file, o_error);
}

bool CommitOutputs(OutputFile& io_first, OutputFile& io_second, std::string& o_error) {
  if (!FinishOutput(io_first, o_error)) {
    DiscardOutput(io_second);
    return false;
  }
  if (!FinishOutput(io_second, o_error)) {
    DiscardOutput(io_first);
    return false;
  }
  // A hard link keeps the second target's earlier content under another name until the first
  // is in place.
  const bool renamed = !io_second.tempPath.empty();  // not written in place
  struct stat info {};
  const bool existed = renamed && stat(io_second.realPath.c_str(), &info) == 0;
  std::string backup;
  int backupSlot = -1;
  if (existed) {
    backup = io_second.tempPath + ".old";
    if (link(io_second.realPath.c_str(), backup.c_str()) != 0) {
      backup.clear();
    } else {
      backupSlot = RegisterTemporary(backup);
    }
  }
  const auto dropBackup = [&] {
    if (!backup.empty()) std::remove(backup.c_str());
    ForgetTemporary(backupSlot);
  };
  if (!PlaceOutput(io_second, o_error)) {
    dropBackup();
    DiscardOutput(io_first);
    return false;
  }
  if (!PlaceOutput(io_first, o_error)) {
    if (!backup.empty()) {
      std::rename(backup.c_str(), io_second.realPath.c_str());
      ForgetTemporary(backupSlot);
    } else if (renamed && !existed) {
      std::remove(io_second.realPath.c_str());
    }
    return false;
  }
  dropBackup();
  return true;
}

bool OpenOutputFolder(const std::string& i_target, OutputFolder& o_folder, std::string& o_error) {
  namespace fs = std::filesystem;
  o_folder.target = i_target;
  const fs::path target(i_target);
  fs::path parent = target.parent_path();
  if (parent.empty()) parent = ".";
  std::string pattern = (parent / ("." + target.filename().string() + "-XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    o_error = "Cannot make a folder beside '" + Ostrel::TextFile::Excerpt(i_target, i_target.size()) + "'" + Reason(errno);
    return false;
  }
  o_folder.staging = pattern;
  return true;
}

void DiscardOutputFolder(OutputFolder& io_folder) {
  if (io_folder.staging.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(io_folder.staging, ec);
  io_folder.staging.clear();
}

namespace {

// Moves the files of i_from into i_to, a folder that exists: each replaces the file of its name,
// a folder joins the folder of its name. False, with o_error set, at the first that cannot.
bool MoveInto(const std::filesystem::path& i_from, const std::filesystem::path& i_to, bool& io_touched,
              std::string& o_error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator entry(i_from, ec), end; !ec && entry != end; entry.increment(ec)) {
    const fs::path there = i_to / entry->path().filename();
    std::error_code kind;
    if (entry->is_directory(kind) && fs::is_directory(there, kind)) {
      if (!MoveInto(entry->path(), there, io_touched, o_error)) return false;
      continue;
    }
    if (std::rename(entry->path().c_str(), there.c_str()) != 0) {
      o_error = "Cannot write '" + Ostrel::TextFile::Excerpt(there.string(), there.string().size()) + "'" + Reason(errno);
      return false;
    }
    io_touched = true;
  }
  if (!ec) return true;
  o_error = "Cannot read folder '" + Ostrel::TextFile::Excerpt(i_from.string(), i_from.string().size()) + "': " + ec.message();
  return false;
}

}  // namespace

bool CommitOutputWithFolder(OutputFile& io_file, OutputFolder& io_folder, std::string& o_error) {
  namespace fs = std::filesystem;
  if (!FinishOutput(io_file, o_error)) {
    DiscardOutputFolder(io_folder);
    return false;
  }
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(io_folder.target, ec);
  bool moved = true;
  if (!fs::exists(there)) {
    if (std::rename(io_folder.staging.c_str(), io_folder.target.c_str()) != 0) {
      o_error = "Cannot write folder '" + Ostrel::TextFile::Excerpt(io_folder.target, io_folder.target.size()) + "'" + Reason(errno);
      moved = false;
    } else {
      io_folder.staging.clear();
    }
  } else if (!fs::is_directory(io_folder.target, ec)) {
    o_error = "Cannot write folder '" + Ostrel::TextFile::Excerpt(io_folder.target, io_folder.target.size()) + "': it is not a folder";
    moved = false;
  } else {
    moved = MoveInto(io_folder.staging, io_folder.target, io_folder.touched, o_error);
  }
  DiscardOutputFolder(io_folder);
  if (!moved) {
    DiscardOutput(io_file);
    return false;
  }
  return PlaceOutput(io_file, o_error);
}

}  // namespace Towerkit
