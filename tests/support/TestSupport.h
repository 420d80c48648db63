#pragma once
// Helpers shared by the tests: capture the console, feed standard input, scratch folders,
// and runs of the built tool as a separate process.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <ostrel/utils/Messages.h>

namespace TestSupport {

namespace fs = std::filesystem;

// Redirects std::cout into a string for the lifetime of the object.
struct CaptureStdout {
  std::ostringstream text;
  std::streambuf* saved = std::cout.rdbuf(text.rdbuf());
  ~CaptureStdout() { std::cout.rdbuf(saved); }
  std::string str() const { return text.str(); }
};

// Makes std::cin read i_input for the lifetime of the object.
struct FeedStdin {
  std::istringstream text;
  std::streambuf* saved;
  explicit FeedStdin(const std::string& i_input) : text(i_input), saved(std::cin.rdbuf(text.rdbuf())) {
    std::cin.clear();
  }
  ~FeedStdin() {
    std::cin.rdbuf(saved);
    std::cin.clear();
  }
};

// A fresh empty folder, removed with everything in it when the object goes.
struct ScratchDir {
  fs::path path;
  ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "towerkit-test-XXXXXX").string();
    path = mkdtemp(pattern.data());
  }
  ~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  std::string operator/(const std::string& i_name) const { return (path / i_name).string(); }
};

inline std::string ReadFile(const std::string& i_path) {
  std::ifstream in(i_path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFile(const std::string& i_path, const std::string& i_text) {
  std::ofstream out(i_path, std::ios::binary | std::ios::trunc);
  out << i_text;
}

struct RunResult {
  int status = -1;     // exit status, or -1 when the process did not exit normally
  std::string output;  // standard output
  std::string errors;  // standard error
};

struct RunOptions {
  std::vector<std::string> args;              // after the program name
  std::string input;                          // standard input; closed after it
  std::map<std::string, std::string> setEnv;  // variables to set
  std::vector<std::string> unsetEnv;          // variables to remove
  std::string workdir;                        // empty: the test's own
  std::string program = TOWERKIT_BINARY;
};

namespace detail {
inline std::string DrainFd(int i_fd) {
  std::string text;
  char buffer[65536];
  ssize_t got = 0;
  while ((got = read(i_fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(got));
  return text;
}
}  // namespace detail

// Runs the tool to its end. Standard input comes from a temporary file, so that a large
// answer cannot block; standard error goes to a file as well.
inline RunResult Run(const RunOptions& i_options) {
  ScratchDir scratch;
  WriteFile(scratch / "stdin", i_options.input);
  const std::string errPath = scratch / "stderr";
  int outPipe[2];
  if (pipe(outPipe) != 0) return {};

  const pid_t pid = fork();
  if (pid == 0) {
    const int in = open((scratch / "stdin").c_str(), O_RDONLY);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0);
    dup2(outPipe[1], 1);
    dup2(err, 2);
    close(outPipe[0]);
    close(outPipe[1]);
    for (const auto& [name, value] : i_options.setEnv) setenv(name.c_str(), value.c_str(), 1);
    for (const auto& name : i_options.unsetEnv) unsetenv(name.c_str());
    if (!i_options.workdir.empty() && chdir(i_options.workdir.c_str()) != 0) _exit(127);
    std::vector<char*> argv;
    std::string program = i_options.program;
    argv.push_back(program.data());
    std::vector<std::string> args = i_options.args;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  RunResult result;
  result.output = detail::DrainFd(outPipe[0]);
  close(outPipe[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.errors = ReadFile(errPath);
  return result;
}

// Runs the tool with i_units as its units folder and i_work as its working folder.
inline RunResult RunTool(const std::string& i_units, const std::string& i_work,
                         const std::vector<std::string>& i_args, const std::string& i_input = "") {
  RunOptions options;
  options.args = i_args;
  options.input = i_input;
  options.setEnv["OSTREL_UNITS_PATH"] = i_units;
  options.workdir = i_work;
  return Run(options);
}

// For tests that print console lines: the name, version and verbosity the tool sets at start,
// and the verbosity put back to its start value afterwards.
class ToolConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Ostrel::Message::SetAppName("towerkit");
    Ostrel::Message::SetAppVersion("0.1");
    Ostrel::Message::SetVerbosity(3);
  }
  void TearDown() override { Ostrel::Message::SetVerbosity(1); }
};

// The console line the tool prints for a message of the given kind ("error", "warning", "info").
inline std::string Line(const std::string& i_kind, const std::string& i_text) {
  return "[towerkit-0.1] " + i_kind + " : " + i_text + "\n";
}

}  // namespace TestSupport
