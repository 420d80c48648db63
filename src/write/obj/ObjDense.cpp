// The lines of a large piece, on one thread or two.

#include "write/obj/ObjDense.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings::detail {

// The lines of the vertices first to end (exclusive) of one placement, or a run of its faces.
// Threads that make the lines of different vertices touch different kept texts.
struct DenseLines {
  enum class Kind { Positions, Normals, Uvs, Faces };
  Kind kind = Kind::Positions;
  const Piece* piece = nullptr;
  CoordinateText* kept[3] = {nullptr, nullptr, nullptr};  // per column; null where none is kept
  PlacementFloats at{};  // positions'
  Frame frame;
  bool plainPlacing = false;  // positions placed by PlacePlainPosition
  Turn facing, building;  // normals'
  NormalStretch stretch;
  std::size_t first = 0;
  std::size_t end = 0;
  PieceText::Placed last;  // positions': the placement the kept texts are of
  FaceLines faces;  // faces', with their own first and end
};

namespace {

// Vertices whose lines one thread makes at a time, when two share a placement: at most about
// 2 MiB of text, so that the helper's lines wait in a buffer that stays small, and at least a
// few thousand lines, so that a hand-over costs a hundredth of the work or less. A placement of
// fewer than twice the least is made by the writer's thread alone.
constexpr std::size_t kChunkVertices = std::size_t{1} << 16;
constexpr std::size_t kLeastChunkVertices = std::size_t{1} << 12;

// The fewest lines of a placement that a writer of jobs 1 makes on two threads when it may
// (ObjWriter::hugePieceHelper): two whole chunks. Halves of smaller placements are handed over
// too often: a kit of 20,000-vertex pieces took longer on two threads than on one.
constexpr std::size_t kHugePieceVertices = 2 * kChunkVertices;

static_assert(kChunkVertices * kMaxVectorLine <= kHelperTextBytes, "the helper's buffer holds a run of lines");

// The output's buffer takes text at most this long without writing it straight to the stream
// (its smallest size): the helper's lines are copied in such parts.
constexpr std::size_t kCopyBytes = std::size_t{1} << 14;

// Keeps column i_column (0 x, 1 y, 2 z) of a large piece's text when the budget allows; whether
// it is kept.
bool KeepColumn(ObjWriter& io_writer, PieceText& io_text, int i_column, std::size_t i_vertices) {
  const std::size_t bytes = i_vertices * sizeof(CoordinateText);
  if (bytes > io_writer.columnBudget - std::min(io_writer.columnBytes, io_writer.columnBudget)) return false;
  // Cleared: an empty text is one that nothing was kept for, whatever the last placement.
  io_text.columns[i_column].resize(i_vertices);
  io_writer.columnBytes += bytes;
  return true;
}

// Keeps the coordinate columns of a large piece's text that the budget allows: the height first,
// as every placement of a storey shares it, then z, shared along a facade that runs along x and
// taken as x by the next placement turned by 90 degrees. x is kept later, once a placement shows
// that it would be copied (KeepsX). Finds too whether the piece's positions may take the plain
// placing.
void KeepColumns(ObjWriter& io_writer, PieceText& io_text, const Piece& i_piece) {
  io_text.columnsDecided = true;
  const auto bounded = [](const VectorF& i_p) {
    constexpr float kBound = 0x1p64f;  // also false for NaN
    return std::fabs(i_p.x) <= kBound && std::fabs(i_p.y) <= kBound && std::fabs(i_p.z) <= kBound;
  };
  io_text.boundedPositions = std::all_of(i_piece.positions.begin(), i_piece.positions.end(), bounded);
  const std::size_t vertices = i_piece.positions.size();
  if (vertices < kKeptColumnsMinVertices) return;
  if (KeepColumn(io_writer, io_text, 1, vertices)) KeepColumn(io_writer, io_text, 2, vertices);
}

// The bits of a float's magnitude: a kept text, which has no sign, is the text of both signs.
inline std::uint32_t MagnitudeBits(float i_value) { return BitsOf(i_value) & 0x7FFFFFFFu; }

// Writes the kept text i_text (not 0) at o_out (room for 9 bytes) after a minus when the value
// i_bits are of is negative; returns the end.
[[gnu::always_inline]] inline char* PutKeptText(char* o_out, CoordinateText i_text, std::uint32_t i_bits) {
  *o_out = '-';
  o_out += i_bits >> 31;
  std::memcpy(o_out, &i_text, sizeof i_text);
  return o_out + KeptTextLength(i_text);
}

// Per length of a plain text (0 to 15 bytes; 11 at most), the bits of its first word that a kept
// text holds: the text's bytes when they fit, none when they do not.
struct KeptTextMasks {
  std::uint64_t masks[16];
};

constexpr KeptTextMasks MakeKeptTextMasks() {
  KeptTextMasks table{};
  for (std::size_t length = 1; length <= sizeof(CoordinateText); ++length) {
    table.masks[length] = ~std::uint64_t{0} >> (64 - 8 * length);
  }
  return table;
}

constexpr KeptTextMasks kKeptTextMasks = MakeKeptTextMasks();

// Writes the text of i_value made afresh at o_out (room for kMaxFloatChars bytes) and keeps it in
// o_kept; returns the end. Text in plain notation is stored from the registers it is made in:
// copied from the output, it would be read back from stores not yet done, and wait for them.
[[gnu::always_inline]] inline char* PutNewCoordinate(char* o_out, CoordinateText& o_kept, float i_value) {
  Format::detail::FloatWords words;
  if (!Format::detail::UnsignedPlainFloatWords(i_value, words)) {
    o_kept = 0;
    return Format::AppendFloat(o_out, i_value);
  }
  // Bytes past the text's length are left over from its making: cut to zeros.
  o_kept = words.low & kKeptTextMasks.masks[words.length];
  return Format::detail::PutUnsignedPlainWords(o_out, words, BitsOf(i_value) >> 31);
}

// Writes the height i_value of a vertex whose height at the last placement was i_last, and whose
// kept text is io_kept's (when kKept): the kept text when it is of the same magnitude, else new
// text, which is then kept.
template <bool kKept>
[[gnu::always_inline]] inline char* PutHeight(char* o_out, CoordinateText* io_kept, float i_last,
                                              float i_value) {
  if (!kKept) return Format::AppendFloatInline(o_out, i_value);
  const CoordinateText kept = *io_kept;
  if (kept != 0 && MagnitudeBits(i_value) == MagnitudeBits(i_last)) {
    return PutKeptText(o_out, kept, BitsOf(i_value));
  }
  return PutNewCoordinate(o_out, *io_kept, i_value);
}

// Writes x or z (i_value) of a vertex: the text kept of the same coordinate at the last
// placement (i_own of i_ownLast, when kOwn), else that of the other one (i_other of i_otherLast,
// when kOther), when it is of the same magnitude, else new text. The text written is kept in
// io_kept when kOwn. The texts are read before either is changed.
template <bool kOwn, bool kOther>
[[gnu::always_inline]] inline char* PutAcross(char* o_out, CoordinateText* io_kept, CoordinateText i_own,
                                              float i_ownLast, CoordinateText i_other, float i_otherLast,
                                              float i_value) {
  const std::uint32_t bits = BitsOf(i_value);
  if (kOwn && i_own != 0 && (bits & 0x7FFFFFFFu) == MagnitudeBits(i_ownLast)) {
    return PutKeptText(o_out, i_own, bits);
  }
  if (kOther && i_other != 0 && (bits & 0x7FFFFFFFu) == MagnitudeBits(i_otherLast)) {
    if (kOwn) *io_kept = i_other;
    return PutKeptText(o_out, i_other, bits);
  }
  if (!kOwn) return Format::AppendFloatInline(o_out, i_value);
  return PutNewCoordinate(o_out, *io_kept, i_value);
}

// Whether i_frame leaves positions where they are: no move, turn, scale or pivot, each field with
// the very bits of Frame's default (a -0 would change the sum of a zero).
bool IsPlainFrame(const Frame& i_frame) {
  const Frame plain;
  const float fields[][2] = {{i_frame.xpos, plain.xpos},       {i_frame.ypos, plain.ypos},
                             {i_frame.zpos, plain.zpos},       {i_frame.xdir, plain.xdir},
                             {i_frame.zdir, plain.zdir},       {i_frame.xscale, plain.xscale},
                             {i_frame.yscale, plain.yscale},   {i_frame.zscale, plain.zscale},
                             {i_frame.xpivot, plain.xpivot},   {i_frame.zpivot, plain.zpivot}};
  for (const auto& field : fields) {
    if (BitsOf(field[0]) != BitsOf(field[1])) return false;
  }
  return true;
}

// PlacePosition in a plain frame (IsPlainFrame) for a position that places without overflow
// (PieceText::boundedPositions), with half the arithmetic and the same bits: subtracting a +0
// pivot and scaling by 1 change nothing, and the turn by (0, 1) with the move by +0 changes a
// finite coordinate only by making a -0 a 0, as adding 0 does.
[[gnu::always_inline]] inline void PlacePlainPosition(const VectorF& i_p, const PlacementFloats& i_at, float* o_xyz) {
  o_xyz[0] = i_p.x * i_at.zd - i_p.z * i_at.xd + i_at.x + 0.0f;
  o_xyz[1] = i_p.y + i_at.y + 0.0f;
  o_xyz[2] = i_p.x * i_at.xd + i_p.z * i_at.zd + i_at.z + 0.0f;
}

// Places i_p as i_at and i_frame do, by PlacePlainPosition when kPlain.
template <bool kPlain>
[[gnu::always_inline]] inline void PlaceAs(const VectorF& i_p, const PlacementFloats& i_at,
                                           const Frame& i_frame, float* o_xyz) {
  if (kPlain) return PlacePlainPosition(i_p, i_at, o_xyz);
  PlacePosition(i_p, i_at, i_frame, o_xyz);
}

// Writes the v lines of vertices i_first to i_end (exclusive) at o_out (room for kMaxVectorLine
// bytes each); returns the end. kKeptX, kKeptY and kKeptZ say which columns have kept text, of
// the coordinates placed as i_lines.last; the others are formatted afresh: a large piece's
// coordinates are too many for the float text cache, which would only miss. kPlain: this
// placement and the last are both placed by PlacePlainPosition.
template <bool kKeptX, bool kKeptY, bool kKeptZ, bool kPlain>
char* PutPositionLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  // Copies: the text is written through char pointers, which may alias anything, so values read
  // through references would be read again after every byte.
  const VectorF* const positions = i_lines.piece->positions.data();
  const PlacementFloats at = i_lines.at;
  const Frame frame = i_lines.frame;
  const PlacementFloats lastAt = i_lines.last.at;
  const Frame lastFrame = i_lines.last.frame;
  CoordinateText* const keptX = i_lines.kept[0];
  CoordinateText* const keptY = i_lines.kept[1];
  CoordinateText* const keptZ = i_lines.kept[2];
  constexpr bool kKeptAny = kKeptX || kKeptY || kKeptZ;
  char* pos = o_out;
  for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
    float placed[3];
    PlaceAs<kPlain>(positions[vertex], at, frame, placed);
    // The coordinates the kept texts are of, made again.
    float last[3] = {0, 0, 0};
    if (kKeptAny) PlaceAs<kPlain>(positions[vertex], lastAt, lastFrame, last);
    const CoordinateText textX = kKeptX ? keptX[vertex] : 0;
    const CoordinateText textZ = kKeptZ ? keptZ[vertex] : 0;
    pos[0] = 'v';
    pos[1] = ' ';
    // A column not kept has no texts: its pointer is null, and no offset may be added to it.
    CoordinateText* const slotX = kKeptX ? keptX + vertex : nullptr;
    CoordinateText* const slotY = kKeptY ? keptY + vertex : nullptr;
    CoordinateText* const slotZ = kKeptZ ? keptZ + vertex : nullptr;
    pos = PutAcross<kKeptX, kKeptZ>(pos + 2, slotX, textX, last[0], textZ, last[2], placed[0]);
    *pos = ' ';
    pos = PutHeight<kKeptY>(pos + 1, slotY, last[1], placed[1]);
    *pos = ' ';
    pos = PutAcross<kKeptZ, kKeptX>(pos + 1, slotZ, textZ, last[2], textX, last[0], placed[2]);
    *pos++ = '\n';
  }
  return pos;
}

// Writes the vn or vt lines of i_first to i_end (exclusive) at o_out, as PutPositionLines.
char* PutAttributeLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  char* pos = o_out;
  if (i_lines.kind == DenseLines::Kind::Normals) {
    const VectorF* const normals = i_lines.piece->normals.data();
    const Turn facing = i_lines.facing;
    const Turn building = i_lines.building;
    const NormalStretch stretch = i_lines.stretch;
    for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
      const VectorF turned = PlaceNormal(normals[vertex], facing, building, stretch);
      const float values[3] = {turned.x, turned.y, turned.z};
      pos = PutVectorLineDirect(pos, "vn", 2, values, 3);
    }
    return pos;
  }
  const UV* const uvs = i_lines.piece->uvs.data();
  for (std::size_t vertex = i_first; vertex < i_end; ++vertex) {
    const float values[2] = {uvs[vertex].u, uvs[vertex].v};
    pos = PutVectorLineDirect(pos, "vt", 2, values, 2);
  }
  return pos;
}

// PutPositionLines for the columns that have kept text.
template <bool kPlain>
char* PutPositionLinesKept(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  // y is kept first, then z, then x, as far as the budget goes.
  if (!i_lines.kept[1]) return PutPositionLines<false, false, false, kPlain>(o_out, i_lines, i_first, i_end);
  if (!i_lines.kept[2]) return PutPositionLines<false, true, false, kPlain>(o_out, i_lines, i_first, i_end);
  if (!i_lines.kept[0]) return PutPositionLines<false, true, true, kPlain>(o_out, i_lines, i_first, i_end);
  return PutPositionLines<true, true, true, kPlain>(o_out, i_lines, i_first, i_end);
}

// Writes lines i_first to i_end (exclusive) at o_out (room for kMaxVectorLine bytes each);
// returns the end.
char* PutDenseLines(char* o_out, const DenseLines& i_lines, std::size_t i_first, std::size_t i_end) {
  if (i_lines.kind != DenseLines::Kind::Positions) return PutAttributeLines(o_out, i_lines, i_first, i_end);
  if (i_lines.plainPlacing) return PutPositionLinesKept<true>(o_out, i_lines, i_first, i_end);
  return PutPositionLinesKept<false>(o_out, i_lines, i_first, i_end);
}

// Lines made at once into the output's buffer: a few KiB of room, so that the buffer is asked
// for room once every few hundred lines, not at every line.
constexpr std::size_t kBatchLines = 128;

void WriteLines(TextOut& io_out, const DenseLines& i_lines) {
  for (std::size_t first = i_lines.first; first < i_lines.end; first += kBatchLines) {
    const std::size_t end = std::min(i_lines.end, first + kBatchLines);
    io_out.commit(PutDenseLines(io_out.room((end - first) * kMaxVectorLine), i_lines, first, end));
  }
}

}  // namespace

// Makes the lines it is asked for into a buffer of its own while the writer's thread makes the
// lines before them; the writer then lends the buffer to its output's writing thread (or copies
// it in), after its own lines, so that the text keeps its order.
struct DenseHelper {
  // Runs of lines asked of the helper, made in the order asked into a buffer each: three, so that
  // it makes the next run while the writer's thread makes its own, and the writing thread writes
  // the last from its buffer (lent to the output, not copied into it).
  static constexpr std::size_t kSlots = 3;
  struct Slot {
    DenseLines lines;
    std::vector<char> text;  // the lines made, its first `bytes` bytes
    std::size_t bytes = 0;
    std::uint64_t lent = 0;  // the output's number for the text lent to it, 0 when none
  };
  std::mutex mutex;
  std::condition_variable changed;
  Slot slots[kSlots];
  // Runs asked, made and copied so far: the slot of run k is k % kSlots. Copied is the writer's
  // thread's alone.
  std::size_t asked = 0;
  std::size_t made = 0;
  std::size_t copied = 0;
  bool stop = false;
  NumberWindows windows;  // the numbers of the faces it makes, when they are its to make
  std::thread thread;

  DenseHelper() {
    for (Slot& slot : slots) slot.text.resize(kHelperTextBytes);
    thread = std::thread([this] { run(); });
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return made < asked || stop; });
      if (made == asked) return;
      Slot& slot = slots[made % kSlots];
      const DenseLines lines = slot.lines;
      lock.unlock();
      char* const text = slot.text.data();
      char* const pos = lines.kind == DenseLines::Kind::Faces ? PutFaceLines(text, lines.faces, windows)
                                                              : PutDenseLines(text, lines, lines.first, lines.end);
      lock.lock();
      slot.bytes = static_cast<std::size_t>(pos - text);
      ++made;
      changed.notify_all();
    }
  }

  // Asks for i_lines after those asked before, once the output has written what it was lent of
  // the slot they go to; at most kSlots may be asked and not yet copied.
  void ask(const DenseLines& i_lines, TextOut& io_out) {
    io_out.waitWritten(slots[asked % kSlots].lent);
    {
      const std::lock_guard<std::mutex> lock(mutex);
      slots[asked % kSlots].lines = i_lines;
      ++asked;
    }
    changed.notify_all();
  }

  // Waits until every run asked is made, and forgets those not copied (of an output that failed
  // part way), so that the next run asked is the next copied.
  void waitDone() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return made == asked; });
    copied = made;
  }

  // Waits for the lines asked first of those not yet copied and puts them into io_out: lent to
  // its writing thread when it has one, else copied.
  void copyInto(TextOut& io_out) {
    {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [this] { return made > copied; });
    }
    Slot& slot = slots[copied % kSlots];
    ++copied;
    if (slot.bytes > 0 && io_out.lends()) {
      slot.lent = io_out.lend(slot.text.data(), slot.bytes);
      return;
    }
    for (std::size_t done = 0; done < slot.bytes; done += kCopyBytes) {
      io_out.write(slot.text.data() + done, std::min(kCopyBytes, slot.bytes - done));
    }
  }

  // Waits until the output has written every text it was lent.
  void waitLent(TextOut& io_out) {
    for (const Slot& slot : slots) io_out.waitWritten(slot.lent);
  }
};

void AskHelper(ObjWriter& io_writer, const FaceLines& i_faces) {
  if (!io_writer.denseHelper) io_writer.denseHelper.reset(new DenseHelper());
  DenseLines lines;
  lines.kind = DenseLines::Kind::Faces;
  lines.faces = i_faces;
  io_writer.denseHelper->ask(lines, io_writer.out);
}

void CopyHelped(ObjWriter& io_writer) { io_writer.denseHelper->copyInto(io_writer.out); }

HelperIdle::~HelperIdle() {
  if (writer.denseHelper) writer.denseHelper->waitDone();
}

void WaitLent(ObjWriter& io_writer) {
  if (io_writer.denseHelper) io_writer.denseHelper->waitLent(io_writer.out);
}

bool TwoThreadsFor(const ObjWriter& i_writer, std::size_t i_lines) {
  return i_writer.jobs >= 2 || (i_writer.hugePieceHelper && i_lines >= kHugePieceVertices);
}

void DenseHelperEnd::operator()(DenseHelper* i_helper) const {
  {
    const std::lock_guard<std::mutex> lock(i_helper->mutex);
    i_helper->stop = true;
  }
  i_helper->changed.notify_all();
  i_helper->thread.join();
  delete i_helper;
}

namespace {

// Writes the lines 0 to i_count - 1 of one kind through io_writer, on two threads when it may use
// them and the lines are many.
void WriteDense(ObjWriter& io_writer, DenseLines lines, std::size_t i_count) {
  if (!TwoThreadsFor(io_writer, i_count) || i_count < 2 * kLeastChunkVertices) {
    lines.first = 0;
    lines.end = i_count;
    return WriteLines(io_writer.out, lines);
  }
  // The helper's runs are halves of a smaller placement, so that both threads have work.
  const std::size_t chunk = std::min(kChunkVertices, (i_count + 1) / 2);
  if (!io_writer.denseHelper) io_writer.denseHelper.reset(new DenseHelper());
  DenseHelper& helper = *io_writer.denseHelper;
  // Should the output fail while the helper works, it ends its lines before what they read goes.
  const HelperIdle idle{io_writer};
  // The writer's thread makes every other run of lines, the helper those between, one run ahead:
  // it is asked for the next before this thread makes its own, so that it is never left waiting.
  // The writer's thread also copies the helper's lines into the output and hands its buffers to
  // the writing thread: with runs of its own 3/8 of the helper's, neither thread waits for the
  // other (the 2M-vertex row took 0.63 s against 0.69 s with runs of one length).
  const std::size_t mineChunk = chunk * 3 / 8;
  const auto askHelper = [&](std::size_t i_first) {
    DenseLines later = lines;
    later.first = std::min(i_count, i_first + mineChunk);
    later.end = std::min(i_count, later.first + chunk);
    if (later.first < later.end) helper.ask(later, io_writer.out);
  };
  askHelper(0);
  for (std::size_t first = 0; first < i_count; first += mineChunk + chunk) {
    const std::size_t middle = std::min(i_count, first + mineChunk);
    askHelper(first + mineChunk + chunk);
    DenseLines mine = lines;
    mine.first = first;
    mine.end = middle;
    WriteLines(io_writer.out, mine);
    if (middle < i_count) helper.copyInto(io_writer.out);
  }
}

// Vertices of a piece whose placed x KeepsX compares with the last placement's.
constexpr std::size_t kXSamples = 16;

// Whether x of a piece whose y and z are kept is worth keeping too: for half or more of a few
// vertices spread over the piece, the last placement's x has the magnitude of this one's x or z
// (a facade along z, or a placement turned by 90 degrees from the last). Elsewhere, as along
// each storey of turned sides, it would only take memory.
bool KeepsX(const PieceText& i_text, const Piece& i_piece, const PlacementFloats& i_at,
            const Frame& i_frame) {
  const std::size_t vertices = i_piece.positions.size();
  std::size_t same = 0;
  for (std::size_t sample = 0; sample < kXSamples; ++sample) {
    const VectorF& p = i_piece.positions[sample * vertices / kXSamples];
    float placed[3];
    float last[3];
    PlacePosition(p, i_at, i_frame, placed);
    PlacePosition(p, i_text.last.at, i_text.last.frame, last);
    const std::uint32_t lastX = MagnitudeBits(last[0]);
    if (MagnitudeBits(placed[0]) == lastX || MagnitudeBits(placed[2]) == lastX) ++same;
  }
  return 2 * same >= kXSamples;
}

}  // namespace

void WriteDenseVertices(ObjWriter& io_writer, PieceId i_id, const PlacementFloats& i_at, const Frame& i_frame) {
  const Piece& piece = io_writer.kit->piece(i_id);
  PieceText& text = io_writer.texts[i_id];
  if (!text.columnsDecided) KeepColumns(io_writer, text, piece);
  if (!text.columnsOfLast) {
    for (std::vector<CoordinateText>& column : text.columns) std::fill(column.begin(), column.end(), 0);
  }
  if (text.placedBefore && !text.columns[2].empty() && text.columns[0].empty() &&
      KeepsX(text, piece, i_at, i_frame)) {
    KeepColumn(io_writer, text, 0, piece.positions.size());
  }
  DenseLines lines;
  lines.piece = &piece;
  for (int column = 0; column < 3; ++column) {
    lines.kept[column] = text.columns[column].empty() ? nullptr : text.columns[column].data();
  }
  lines.at = i_at;
  lines.frame = i_frame;
  lines.last = text.last;
  // A placement's cell, height and facing (a unit direction) are finite, at most about 2^64.
  // Before the first placement, the kept texts are all empty: what the default last placement
  // gives matches none.
  lines.plainPlacing = text.boundedPositions && IsPlainFrame(i_frame) && IsPlainFrame(text.last.frame);
  text.columnsOfLast = false;
  WriteDense(io_writer, lines, piece.positions.size());
  text.last = {i_at, i_frame};
  text.placedBefore = true;
  text.columnsOfLast = true;
}

void WriteDenseNormals(ObjWriter& io_writer, const Piece& i_piece, const Turn& i_facing, const Turn& i_building,
                       const NormalStretch& i_stretch) {
  DenseLines lines;
  lines.kind = DenseLines::Kind::Normals;
  lines.piece = &i_piece;
  lines.facing = i_facing;
  lines.building = i_building;
  lines.stretch = i_stretch;
  WriteDense(io_writer, lines, i_piece.normals.size());
}

void WriteDenseUvs(ObjWriter& io_writer, const Piece& i_piece) {
  DenseLines lines;
  lines.kind = DenseLines::Kind::Uvs;
  lines.piece = &i_piece;
  WriteDense(io_writer, lines, i_piece.uvs.size());
}

}  // namespace Ostrel::Buildings::detail
