#pragma once
// Work cut into parts, run a thread a part.

#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

namespace Ostrel::Threads {

// Runs i_work(0) ... i_work(i_parts - 1), each on a thread of its own but the last, which the
// calling thread runs. Returns once every part is done; what a part threw is thrown then (the
// first part's, by part number, when several threw), so that no thread outlives what it uses.
template <class Work>
void RunParts(std::size_t i_parts, const Work& i_work) {
  if (i_parts == 0) return;
  std::vector<std::exception_ptr> failures(i_parts);
  const auto run = [&](std::size_t i_part) {
    try {
      i_work(i_part);
    } catch (...) {
      failures[i_part] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  threads.reserve(i_parts - 1);
  for (std::size_t part = 0; part + 1 < i_parts; ++part) threads.emplace_back(run, part);
  run(i_parts - 1);
  for (std::thread& thread : threads) thread.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace Ostrel::Threads
