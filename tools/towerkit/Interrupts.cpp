// Temporary files removed by the handler of an interrupting signal.

#include "Interrupts.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>

namespace Towerkit {

namespace {

// A run has at most an output, the file beside it and the backup of that file alive at once.
constexpr int kSlots = 8;
constexpr std::size_t kPathBytes = 4096;

struct Slot {
  char path[kPathBytes];
  std::atomic<bool> used{false};
};

Slot g_slots[kSlots];

extern "C" void RemoveAndExit(int i_signal) {
  for (Slot& slot : g_slots) {
    if (slot.used.load()) unlink(slot.path);
  }
  _exit(128 + i_signal);
}

}  // namespace

void RemoveTemporariesOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = RemoveAndExit;
  sigemptyset(&action.sa_mask);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored when the tool started (nohup, a background job) stays ignored.
    struct sigaction before {};
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

int RegisterTemporary(const std::string& i_path) {
  if (i_path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (g_slots[i].used.load()) continue;
    std::memcpy(g_slots[i].path, i_path.c_str(), i_path.size() + 1);
    g_slots[i].used.store(true);
    return i;
  }
  return -1;
}

void ForgetTemporary(int i_slot) {
  if (i_slot >= 0 && i_slot < kSlots) g_slots[i_slot].used.store(false);
}

}  // namespace Towerkit
