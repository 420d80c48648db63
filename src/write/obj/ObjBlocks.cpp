// Writing one building's OBJ text on several threads, block by block.

#include "write/obj/ObjBlocks.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Ostrel::Buildings {

namespace detail {

ObjBlocks CutObjBlocks(const Plan& i_plan, const Kit& i_kit, const WalkedRuns& i_walked, const Offsets& i_start,
                       bool i_materials, std::uint64_t i_elements) {
  std::vector<ObjBlock> blocks;
  Offsets at = i_start;
  MaterialState materials;
  std::uint64_t elements = 0;  // of the last block so far
  bool dense = false;
  WalkFrom(i_plan, i_walked, {}, [&](const WalkPlace& i_place, const Placement& i_placement) {
    const Piece& piece = i_kit.piece(i_placement.piece);
    const std::uint64_t own =
        piece.positions.size() + piece.normals.size() + piece.uvs.size() + piece.corners.size();
    if (own > kLargestPlacement * i_elements || piece.positions.size() >= kKeptColumnsMinVertices) {
      dense = true;
      return false;
    }
    if (blocks.empty() || elements >= i_elements) {
      blocks.push_back({{i_place, 0}, at, materials});
      elements = 0;
    }
    ++blocks.back().span.placements;
    elements += own;
    at.vertices += piece.positions.size();
    at.normals += piece.normals.size();
    at.uvs += piece.uvs.size();
    // As the faces' usemtl lines go: only a piece with faces moves them on.
    if (i_materials && !piece.polycount.empty()) {
      materials.started = true;
      materials.current = piece.faceMaterials.empty() ? Obj::kNoMaterial : piece.faceMaterials.back();
    }
    return true;
  });
  if (dense) blocks.clear();
  return {std::move(blocks), at};
}

}  // namespace detail

namespace {

using namespace detail;

// What the threads share. The parts are numbered in the order of the text: the v lines of every
// block, then the vn lines of every block, and so on. Part n is made into slot n % slots.size(),
// and only once part n - slots.size() is written, so that the slots bound the memory.
struct PartQueue {
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t parts = 0;    // in all
  std::size_t taken = 0;    // parts a thread has begun
  std::size_t written = 0;  // parts written to the output
  struct Slot {
    std::vector<char> text;  // its first `bytes` bytes
    std::size_t bytes = 0;
    bool ready = false;
  };
  std::vector<Slot> slots;
  bool stop = false;            // a thread failed, or the writing ended: take no more parts
  std::exception_ptr failure;  // of the first thread that failed
};

struct BuildingParts {
  const Kit& kit;
  const Plan& plan;
  const Frame& frame;
  const MaterialNames& names;
  const WalkedRuns& walked;
  const std::vector<ObjBlock>& blocks;
  unsigned jobs;
};

// Takes parts in order and makes each into its slot, until none is left or the queue stops.
void MakeParts(const BuildingParts& i_building, PartQueue& io_queue) {
  // The text is collected, never written: this stream gets nothing.
  std::ostream nowhere(nullptr);
  const std::unique_ptr<ObjWriter> writer = MakeObjWriter(nowhere, false);
  writer->out.collect();
  writer->budgetShares = i_building.jobs;
  const std::size_t blocks = i_building.blocks.size();
  for (;;) {
    std::size_t part = 0;
    {
      std::unique_lock<std::mutex> lock(io_queue.mutex);
      io_queue.changed.wait(lock, [&] {
        return io_queue.stop || io_queue.taken == io_queue.parts ||
               io_queue.taken < io_queue.written + io_queue.slots.size();
      });
      if (io_queue.stop || io_queue.taken == io_queue.parts) return;
      part = io_queue.taken++;
    }
    PartQueue::Slot& slot = io_queue.slots[part % io_queue.slots.size()];
    try {
      const ObjBlock& block = i_building.blocks[part % blocks];
      WriteObjPart(*writer, i_building.kit, i_building.plan, i_building.frame,
                   static_cast<ObjPart>(part / blocks), i_building.walked, block.span, block.at,
                   block.materials, i_building.names);
      writer->out.takeText(slot.text, slot.bytes);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(io_queue.mutex);
      if (!io_queue.failure) io_queue.failure = std::current_exception();
      io_queue.stop = true;
      io_queue.changed.notify_all();
      return;
    }
    {
      const std::lock_guard<std::mutex> lock(io_queue.mutex);
      slot.ready = true;
    }
    io_queue.changed.notify_all();
  }
}

// The making threads, stopped and joined however the writing ends.
class PartThreads {
 public:
  PartThreads(PartQueue& io_queue, const BuildingParts& i_building, unsigned i_jobs) : m_queue(io_queue) {
    for (unsigned i = 0; i < i_jobs; ++i) m_threads.emplace_back([&, i_building] { MakeParts(i_building, m_queue); });
  }
  PartThreads(const PartThreads&) = delete;
  PartThreads& operator=(const PartThreads&) = delete;
  ~PartThreads() {
    {
      const std::lock_guard<std::mutex> lock(m_queue.mutex);
      m_queue.stop = true;
    }
    m_queue.changed.notify_all();
    for (std::thread& thread : m_threads) thread.join();
  }

 private:
  PartQueue& m_queue;
  std::vector<std::thread> m_threads;
};

}  // namespace

Offsets WriteObjOnThreads(ObjWriter& io_writer, std::ostream& io_out, const Kit& i_kit, const Plan& i_plan,
                          const Frame& i_frame, const Offsets& i_start, const MaterialNames& i_names,
                          unsigned i_jobs, std::uint64_t* o_bytes, std::uint64_t i_blockElements) {
  const WalkedRuns walked = WalkedRunsOf(i_plan, i_kit);
  const ObjBlocks cut = CutObjBlocks(i_plan, i_kit, walked, i_start, i_names.used, i_blockElements);
  const std::vector<ObjBlock>& blocks = cut.blocks;
  if (blocks.empty()) {
    io_writer.jobs = std::max(1u, i_jobs);
    return WriteObj(io_writer, i_kit, i_plan, i_frame, i_start, i_names);
  }
  Flush(io_writer);
  const unsigned jobs = std::max(1u, i_jobs);
  PartQueue queue;
  queue.parts = 4 * blocks.size();
  queue.slots.resize(2 * static_cast<std::size_t>(jobs));
  std::uint64_t bytes = 0;
  {
    const PartThreads threads(queue, {i_kit, i_plan, i_frame, i_names, walked, blocks, jobs}, jobs);
    for (std::size_t part = 0; part < queue.parts; ++part) {
      PartQueue::Slot& slot = queue.slots[part % queue.slots.size()];
      {
        std::unique_lock<std::mutex> lock(queue.mutex);
        queue.changed.wait(lock, [&] { return slot.ready || queue.failure; });
        if (queue.failure) break;
      }
      io_out.write(slot.text.data(), static_cast<std::streamsize>(slot.bytes));
      bytes += slot.bytes;
      {
        const std::lock_guard<std::mutex> lock(queue.mutex);
        slot.ready = false;
        ++queue.written;
      }
      queue.changed.notify_all();
    }
  }
  if (queue.failure) std::rethrow_exception(queue.failure);
  if (o_bytes) *o_bytes += bytes;
  return cut.end;
}

}  // namespace Ostrel::Buildings
