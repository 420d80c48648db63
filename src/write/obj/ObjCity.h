#pragma once
// Writes a city as one OBJ text, its buildings made on several threads at once. Each building
// starts with an "o" line naming it, and its indices continue after those of the buildings
// before it, exactly as if the buildings were written one after the other by one writer: the
// output is the same bytes whatever the number of threads.
//
// Memory stays bounded however many buildings there are: the thread holding the oldest
// unwritten building writes it straight to the output, followed by the finished buildings that
// come next; the others keep the buffers their writers fill, as they are (no text is copied), so
// that a thread goes on with its next building while its last one waits. A thread waits for its
// turn only when the buffers kept would pass a budget.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>

#include <ostrel/kit/Kit.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/scene/Materials.h>

#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings {

// Told after each building is in the output, by one thread at a time: buildings written so far,
// and bytes written so far by this call.
using CityProgress = std::function<void(std::uint64_t i_buildings, std::uint64_t i_bytes)>;

struct CityObjOptions {
  unsigned jobs = 1;        // threads making buildings, the calling one included; 0 counts as 1
  bool objectLines = true;  // an "o NAME" line starts each building
  // The most bytes of buffers that buildings waiting for their turn keep, all threads together
  // (the writers' own text caches, a few MiB each, come on top).
  std::size_t waitingBytes = std::size_t{32} << 20;
};

// Writes every building that i_next gives (called by one thread at a time) into io_out, after
// i_start (what the output held before), each with the materials of i_names (one set for the
// whole city, so that no building's faces take the material of the building before). Returns the
// offsets after the last building.
Offsets WriteCityObj(std::ostream& io_out, const Kit& i_kit, const MaterialNames& i_names,
                     const NextBuilding& i_next, const CityObjOptions& i_options, const Offsets& i_start = {},
                     const CityProgress& i_progress = {});

}  // namespace Ostrel::Buildings
