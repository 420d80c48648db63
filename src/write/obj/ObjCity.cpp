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
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include <ostrel/layout/PlanCounts.h>

namespace Ostrel::Buildings {

namespace {

// A finished building waiting for its turn: its text, and the flag its thread waits on to use
// that buffer again.
struct DoneText {
  std::string* text;
  bool* waiting;
};

// What the threads share: whose turn it is to write, the output, and the finished buildings
// that wait for their turn.
struct CityTurn {
  explicit CityTurn(std::ostream& io_out) : out(io_out) {}
  std::ostream& out;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::uint64_t> next{0};      // 0-based index of the building whose turn it is
  std::map<std::uint64_t, DoneText> done;  // finished buildings after it, by index
  std::atomic<std::uint64_t> bytes{0};     // written so far, for progress reports
};

// The stream one thread's writer writes into. A building's text goes to the output at once when
// it is that building's turn; otherwise it is kept in one of the thread's two buffers, and when
// the building is done that buffer waits among the finished ones while the thread goes on with
// the next building in the other. A thread waits for its turn when its kept text would pass the
// limit of a buffer, or when both buffers wait.
class TurnBuffer : public std::streambuf {
 public:
  TurnBuffer(CityTurn& io_turn, std::size_t i_limit) : m_turn(io_turn), m_limit(i_limit) {}
  TurnBuffer(const TurnBuffer&) = delete;
  TurnBuffer& operator=(const TurnBuffer&) = delete;
  // The buffers may still wait to be written: the thread waits for them first.
  ~TurnBuffer() {
    std::unique_lock<std::mutex> lock(m_turn.mutex);
    m_turn.changed.wait(lock, [&] { return !m_waiting[0] && !m_waiting[1]; });
  }

  void begin(std::uint64_t i_index) {
    m_index = i_index;
    m_direct = false;
  }

  // Ends the building: into the output if it is its turn, then with every finished building that
  // follows it; among the finished ones otherwise.
  void finish() {
    std::unique_lock<std::mutex> lock(m_turn.mutex);
    if (!m_direct) {
      const int other = 1 - m_current;
      m_turn.changed.wait(lock, [&] { return isTurn() || !m_waiting[other]; });
      if (!isTurn()) {
        m_waiting[m_current] = true;
        m_turn.done.emplace(m_index, DoneText{&m_buffers[m_current], &m_waiting[m_current]});
        m_current = other;
        return;
      }
      lock.unlock();
      goDirect();
      lock.lock();
    }
    // The turn is this thread's until next moves on: it alone writes.
    std::uint64_t next = m_index + 1;
    for (auto it = m_turn.done.find(next); it != m_turn.done.end(); it = m_turn.done.find(++next)) {
      const DoneText done = it->second;
      m_turn.done.erase(it);
      lock.unlock();
      put(done.text->data(), done.text->size());
      done.text->clear();
      lock.lock();
      *done.waiting = false;
      m_turn.changed.notify_all();  // its thread may use the buffer again
    }
    m_turn.next.store(next, std::memory_order_release);
    lock.unlock();
    m_turn.changed.notify_all();
  }

 protected:
  std::streamsize xsputn(const char* i_text, std::streamsize i_count) override {
    const auto count = static_cast<std::size_t>(i_count);
    std::string& kept = m_buffers[m_current];
    if (!m_direct && isTurn()) goDirect();
    if (!m_direct && kept.size() + count > m_limit) {
      waitTurn();
      goDirect();
    }
    if (m_direct) {
      put(i_text, count);
    } else {
      // Grown by doubling, but never past the limit, so that the limit bounds the memory too.
      if (kept.size() + count > kept.capacity()) {
        kept.reserve(std::min(std::max(2 * kept.capacity(), kept.size() + count), m_limit));
      }
      kept.append(i_text, count);
    }
    return i_count;
  }

  int_type overflow(int_type i_c) override {
    if (traits_type::eq_int_type(i_c, traits_type::eof())) return traits_type::not_eof(i_c);
    const char c = traits_type::to_char_type(i_c);
    xsputn(&c, 1);
    return i_c;
  }

 private:
  bool isTurn() const { return m_turn.next.load(std::memory_order_acquire) == m_index; }

  void waitTurn() {
    if (isTurn()) return;
    std::unique_lock<std::mutex> lock(m_turn.mutex);
    m_turn.changed.wait(lock, [&] { return isTurn(); });
  }

  // Only the turn's holder comes here.
  void goDirect() {
    std::string& kept = m_buffers[m_current];
    put(kept.data(), kept.size());
    kept.clear();
    m_direct = true;
  }

  void put(const char* i_text, std::size_t i_count) {
    if (i_count == 0) return;
    m_turn.out.write(i_text, static_cast<std::streamsize>(i_count));
    m_turn.bytes.fetch_add(i_count, std::memory_order_relaxed);
  }

  CityTurn& m_turn;
  std::size_t m_limit;  // bytes of one buffer
  std::uint64_t m_index = 0;
  std::string m_buffers[2];
  bool m_waiting[2] = {false, false};  // the buffer waits among the finished buildings
  int m_current = 0;                   // the buffer being filled
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
                       bool i_objectLines, std::size_t i_limit, const CityProgress& i_progress) {
  TurnBuffer buffer(io_turn, i_limit);
  std::ostream stream(&buffer);
  // The city's threads keep the cores busy already: a writing thread of each writer would only
  // add a hand-over at every building's end (about a third more time with one job).
  const std::unique_ptr<ObjWriter> writer = MakeObjWriter(stream, false);
  SceneBuilding building;
  std::uint64_t index = 0;
  Offsets start;
  while (io_source.take(building, index, start)) {
    buffer.begin(index);
    if (i_objectLines) WriteLine(*writer, "o " + building.name);
    WriteObj(*writer, io_source.kit, building.plan, building.frame, start, i_names);
    Flush(*writer);
    buffer.finish();
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
  // Two buffers a thread.
  const std::size_t limit = std::max<std::size_t>(i_options.waitingBytes / 2 / jobs, 1);
  CitySource source{i_next, i_kit, {}, 0, i_start};
  CityTurn turn(io_out);
  // A progress report from several threads at once would interleave: one at a time.
  std::mutex progressMutex;
  const CityProgress progress =
      !i_progress ? CityProgress{} : [&](std::uint64_t i_buildings, std::uint64_t i_bytes) {
        const std::lock_guard<std::mutex> lock(progressMutex);
        i_progress(i_buildings, i_bytes);
      };
  std::vector<std::thread> threads;
  for (unsigned i = 1; i < jobs; ++i) {
    threads.emplace_back(
        [&] { MakeCityBuildings(source, turn, i_names, i_options.objectLines, limit, progress); });
  }
  MakeCityBuildings(source, turn, i_names, i_options.objectLines, limit, progress);
  for (std::thread& thread : threads) thread.join();
  return source.at;
}

}  // namespace Ostrel::Buildings
