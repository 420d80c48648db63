// The harnesses of the replay program, by name: the build generates the table from its list of
// harnesses.

#pragma once

#include <cstddef>
#include <cstdint>

struct ReplayHarness {
  const char* name;
  int (*run)(const std::uint8_t* i_data, std::size_t i_size);
};

// Ends with a row whose name is null.
extern const ReplayHarness kReplayHarnesses[];
