// Writing a city's buildings as one OBJ text on several threads.

#include "write/obj/ObjCity.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <ostrel/layout/PlanCounts.h>

namespace Ostrel::Buildings {

namespace {

// The size of the buffers that the writers fill: small enough that a small building's text
// waiting for its turn does not hold much more memory than it needs, large enough that handing
// them over costs nothing beside their text.
constexpr std::size_t kKeptBufferBytes = std::size_t{1} << 18;

// Text kept for its turn: the first `bytes` bytes of a writer's buffer.
struct KeptText {
  std::vector<char> text;
  std::size_t bytes = 0;
};

// What the threads share: whose turn it is to write, the output, the finished buildings that
// wait for their turn, and the buffers that text waits in.
struct CityTurn {
  CityTurn(std::ostream& io_out, std::size_t i_budget) : out(io_out), budget(i_budget) {}
  std::ostream& out;
  std::size_t budget;  // the most bytes of buffers that may keep text for a later turn
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::uint64_t> next{0};                   // 0-based index of the building whose turn it is
  std::map<std::uint64_t, std::vector<KeptText>> done;  // finished buildings after it, by index
  std::vector<std::vector<char>> spare;                 // emptied buffers, to keep text in again
  std::size_t kept = 0;                                 // bytes of the buffers that keep text
  std::atomic<std::uint64_t> bytes{0};                  // written so far, for progress reports
};

// Takes one thread's text, building by building. A building's text goes to the output at once
// when it is that building's turn; otherwise its writer's full buffers are kept as they are (the
// writer goes on in a spare one), and when the building is done they wait among the finished
// ones while the thread goes on with the next building. A thread waits for its turn only when
// the buffers kept by all threads together would pass the budget.
class TurnSink : public detail::TextSink {
 public:
  explicit TurnSink(CityTurn& io_turn) : m_turn(io_turn) {}

  void begin(std::uint64_t i_index) {
    m_index = i_index;
    m_direct = false;
  }

  void take(std::vector<char>& io_buffer, std::size_t i_bytes) override {
    if (!m_direct && isTurn()) goDirect();
    if (m_direct) {
      put(io_buffer.data(), i_bytes);
      if (io_buffer.size() < kKeptBufferBytes) io_buffer = std::vector<char>(kKeptBufferBytes);
      return;
    }
    std::unique_lock<std::mutex> lock(m_turn.mutex);
    if (m_turn.kept + io_buffer.size() > m_turn.budget) {
      m_turn.changed.wait(lock, [&] { return isTurn(); });
      lock.unlock();
      goDirect();
      return put(io_buffer.data(), i_bytes);
    }
    m_turn.kept += io_buffer.size();
    std::vector<char> next;
    if (!m_turn.spare.empty()) {
      next = std::move(m_turn.spare.back());
      m_turn.spare.pop_back();
    }
    lock.unlock();
    if (next.size() < kKeptBufferBytes) next = std::vector<char>(kKeptBufferBytes);
    m_kept.push_back({std::move(io_buffer), i_bytes});
    io_buffer = std::move(next);
  }

  // Ends the building, whose text the writer has handed over: into the output if it is its
  // turn, then with every finished building that follows it; among the finished ones otherwise.
  void finish() {
    std::unique_lock<std::mutex> lock(m_turn.mutex);
    if (!m_direct) {
      if (!isTurn()) {
        m_turn.done.emplace(m_index, std::move(m_kept));
        m_kept.clear();
        return;
      }
      lock.unlock();
      goDirect();
      lock.lock();
    }
    // The turn is this thread's until next moves on: it alone writes.
    std::uint64_t next = m_index + 1;
    for (auto it = m_turn.done.find(next); it != m_turn.done.end(); it = m_turn.done.find(++next)) {
      std::vector<KeptText> texts = std::move(it->second);
      m_turn.done.erase(it);
      lock.unlock();
      putKept(texts);
      lock.lock();
    }
    m_turn.next.store(next, std::memory_order_release);
    lock.unlock();
    m_turn.changed.notify_all();
  }

 private:
  bool isTurn() const { return m_turn.next.load(std::memory_order_acquire) == m_index; }

  // Only the turn's holder comes here.
  void goDirect() {
    putKept(m_kept);
    m_direct = true;
  }

  // Writes kept text and gives its buffers back; io_texts ends empty.
  void putKept(std::vector<KeptText>& io_texts) {
    if (io_texts.empty()) return;
    for (const KeptText& kept : io_texts) put(kept.text.data(), kept.bytes);
    const std::lock_guard<std::mutex> lock(m_turn.mutex);
    for (KeptText& kept : io_texts) {
      m_turn.kept -= kept.text.size();
      m_turn.spare.push_back(std::move(kept.text));
    }
    io_texts.clear();
  }

  void put(const char* i_text, std::size_t i_count) {
    m_turn.out.write(i_text, static_cast<std::streamsize>(i_count));
    m_turn.bytes.fetch_add(i_count, std::memory_order_relaxed);
  }

  CityTurn& m_turn;
  std::uint64_t m_index = 0;
  std::vector<KeptText> m_kept;  // of the building, while it is not its turn
  bool m_direct = false;
};

// Hands out buildings in order, each with the offsets its indices start after.
struct CitySource {
  const NextBuilding& next;
  const Kit& kit;
  std::mutex mutex;
  std::uint64_t taken = 0;
  Offsets at;

  bool take(SceneBuilding& o_building, std::uint64_t& o_index, Offsets& o_start) {
    const std::lock_guard<std::mutex> lock(mutex);
    if (!next(o_building)) return false;
    o_index = taken++;
    o_start = at;
    const Totals totals = CountPlan(o_building.plan, kit);
    at.vertices += totals.vertices;
    at.normals += totals.normals;
    at.uvs += totals.uvs;
    return true;
  }
};

void MakeCityBuildings(CitySource& io_source, CityTurn& io_turn, const MaterialNames& i_names,
                       bool i_objectLines, const CityProgress& i_progress) {
  TurnSink sink(io_turn);
  // The text goes to the sink by buffer, never to this stream.
  std::ostream nowhere(nullptr);
  // The city's threads keep the cores busy already: a writing thread of each writer would only
  // add a hand-over at every building's end (about a third more time with one job).
  const std::unique_ptr<ObjWriter> writer = MakeObjWriter(nowhere, false);
  writer->out.sendTo(sink);
  SceneBuilding building;
  std::uint64_t index = 0;
  Offsets start;
  while (io_source.take(building, index, start)) {
    sink.begin(index);
    if (i_objectLines) WriteLine(*writer, "o " + building.name);
    WriteObj(*writer, io_source.kit, building.plan, building.frame, start, i_names);
    Flush(*writer);
    sink.finish();
    // Figures of a moment, while another thread may be writing; reports of two threads may come
    // in either order.
    if (i_progress) {
      i_progress(io_turn.next.load(std::memory_order_acquire), io_turn.bytes.load(std::memory_order_relaxed));
    }
  }
}

}  // namespace

Offsets WriteCityObj(std::ostream& io_out, const Kit& i_kit, const MaterialNames& i_names,
                     const NextBuilding& i_next, const CityObjOptions& i_options, const Offsets& i_start,
                     const CityProgress& i_progress) {
  const unsigned jobs = std::max(1u, i_options.jobs);
  CitySource source{i_next, i_kit, {}, 0, i_start};
  CityTurn turn(io_out, i_options.waitingBytes);
  // A progress report from several threads at once would interleave: one at a time.
  std::mutex progressMutex;
  const CityProgress progress =
      !i_progress ? CityProgress{} : [&](std::uint64_t i_buildings, std::uint64_t i_bytes) {
        const std::lock_guard<std::mutex> lock(progressMutex);
        i_progress(i_buildings, i_bytes);
      };
  std::vector<std::thread> threads;
  for (unsigned i = 1; i < jobs; ++i) {
    threads.emplace_back([&] { MakeCityBuildings(source, turn, i_names, i_options.objectLines, progress); });
  }
  MakeCityBuildings(source, turn, i_names, i_options.objectLines, progress);
  for (std::thread& thread : threads) thread.join();
  return source.at;
}

}  // namespace Ostrel::Buildings
