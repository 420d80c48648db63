#pragma once
// The output files of a run (a mesh and its material library, a .glb). A regular file is written beside its
// target under a temporary name and renamed over the target only when complete, so a failed run never leaves
// a half file nor spoils the file that was there; an interrupted run removes it (Interrupts.h). Special files
// (a terminal, a pipe, /dev/null) are written directly: they cannot be renamed over, and what was sent to them
// cannot be taken back. Which is which is decided by the file's type, wherever it lies.
//
// A file the user names is written through a symbolic link, to the file it names. A file the tool names
// itself (the material library beside a mesh, the buffer of a .gltf) is never: a link of that name is
// replaced by the file, and anything but a regular file there is refused.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "FileStream.h"

namespace Towerkit {

struct OutputFile {
  std::string target;    // the path as the user gave it, for messages
  std::string realPath;  // the file that is finally replaced (symbolic links followed)
  std::string tempPath;  // the temporary file being written; empty when written directly
  FileStream stream;
  int registered = -1;  // the temporary file's slot for an interrupted run
};

// Who named a file: the user, or the tool after the user's file.
enum class OutputNaming { User, Tool };

// Prepares io_file for writing to i_path. False, with o_error set, when it cannot be written;
// nothing is created then.
bool OpenOutput(const std::string& i_path, OutputFile& o_file, std::string& o_error,
                OutputNaming i_naming = OutputNaming::User);

// Drops what was written: the temporary file goes, the target stays as it was.
void DiscardOutput(OutputFile& io_file);

// Flushes and closes the stream and puts the file in place. False, with o_error set, when any
// write failed; the target then stays as it was.
bool CommitOutput(OutputFile& io_file, std::string& o_error);

// Puts two files that belong together in place (a mesh and its material library), only when
// both were written whole. False, with o_error set, when either failed; both targets then stay
// as they were, as far as the file system allows: the second is put in place first, and put
// back if the first cannot follow it.
bool CommitOutputs(OutputFile& io_first, OutputFile& io_second, std::string& o_error);

// A folder of files that a writer writes itself beside an output (a tileset's tiles). They are
// written into a new folder of the run's own, `staging`, beside the target, and moved into the
// target only once the output is written whole, so a failed run never leaves its files where a
// finished output would refer to them, and never removes or spoils a file that was there. An
// interrupted run leaves the staging folder (a hidden `.NAME-XXXXXX` that nothing refers to).
struct OutputFolder {
  std::string target;   // the folder the files belong in: FOLDER/NAME
  std::string staging;  // the run's own folder beside it, FOLDER/.NAME-XXXXXX; empty when none
  bool touched = false;  // a file of the target was replaced, by a commit that then failed
};

// Makes the staging folder of i_target. False, with o_error set, when it cannot be made.
bool OpenOutputFolder(const std::string& i_target, OutputFolder& o_folder, std::string& o_error);

// Removes the staging folder and everything in it; the target stays as it was.
void DiscardOutputFolder(OutputFolder& io_folder);

// Puts a written output in place with its folder: the output is finished first, then the folder's
// files move into the target (the staging folder is renamed to it when there is none; otherwise
// each file replaces the one of its name, and the target's other files stay), then the output is
// renamed into place. False, with o_error set, when any step fails: the output stays as it was,
// and the folder as well unless moving its files failed half way (then `touched`).
bool CommitOutputWithFolder(OutputFile& io_file, OutputFolder& io_folder, std::string& o_error);

}  // namespace Towerkit
