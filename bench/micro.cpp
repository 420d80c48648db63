// Micro-benchmarks of the hot paths of a build: reading unit files, writing numbers as text,
// laying out one storey, a whole build into a stream that discards its bytes, and a kit's lint.

#include <benchmark/benchmark.h>

#include <charconv>
#include <climits>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>
#include <ostrel/ext/Obj.h>
#include <ostrel/layout/FootprintInput.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/layout/PlanCounts.h>
#include <ostrel/layout/Setbacks.h>
#include <ostrel/lint/KitLint.h>
#include <ostrel/utils/NumberFormat.h>

#include "write/obj/ObjText.h"

namespace {

const std::string kUnits = std::string(TOWERKIT_SOURCE_DIR) + "/units";

std::string ReadText(const std::string& i_path) {
  std::ifstream file(i_path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A stream that counts its bytes and keeps none of them.
struct NullBuffer : std::streambuf {
  std::uint64_t bytes = 0;
  std::streamsize xsputn(const char*, std::streamsize i_count) override {
    bytes += static_cast<std::uint64_t>(i_count);
    return i_count;
  }
  int overflow(int i_c) override {
    ++bytes;
    return i_c;
  }
};

// Coordinates as a building has them: unit coordinates (cell units) plus whole cells and storeys.
std::vector<float> TypicalCoordinates() {
  Obj::Mesh mesh;
  Obj::ReadMesh(kUnits + "/A_ground.obj", mesh);
  std::vector<float> values;
  for (int cell = -60; cell < 60; cell += 7) {
    for (const Ostrel::VectorF& v : mesh.vertices) {
      values.push_back(v.x / 3.0f + static_cast<float>(cell));
      values.push_back(v.y / 3.0f + static_cast<float>(cell + 60));
    }
  }
  return values;
}

// ---- OBJ reader -------------------------------------------------------------------------------

void BM_ParseUnitFile(benchmark::State& state) {
  const std::string text = ReadText(kUnits + "/A_ground.obj");
  Obj::Mesh mesh;
  for (auto _ : state) {
    Obj::Parse(text, mesh);
    benchmark::DoNotOptimize(mesh.corners.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseUnitFile);

// About 8 MB of vertex, texture, normal and quad lines.
void BM_ParseLargeText(benchmark::State& state) {
  std::string text;
  const int quads = 50000;
  for (int i = 0; i < 4 * quads; ++i) {
    const float x = static_cast<float>(i % 997) * 0.013f;
    text += "v " + Ostrel::Format::FloatToString(x) + " " + Ostrel::Format::FloatToString(x * 0.5f) + " -" +
            Ostrel::Format::FloatToString(x + 1) + "\n";
    text += "vt " + Ostrel::Format::FloatToString(x * 0.25f) + " 0.5\n";
    text += "vn 0 1 0\n";
  }
  for (int q = 0; q < quads; ++q) {
    text += "f";
    for (int c = 1; c <= 4; ++c) {
      const std::string n = std::to_string(4 * q + c);
      text += " " + n + "/" + n + "/" + n;
    }
    text += "\n";
  }
  Obj::Mesh mesh;
  for (auto _ : state) {
    Obj::Parse(text, mesh);
    benchmark::DoNotOptimize(mesh.corners.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLargeText)->Unit(benchmark::kMillisecond);

// ---- Number text --------------------------------------------------------------------------------

void BM_AppendFloat(benchmark::State& state) {
  const std::vector<float> values = TypicalCoordinates();
  std::vector<char> text(values.size() * (Ostrel::Format::kMaxFloatChars + 1));
  for (auto _ : state) {
    char* pos = text.data();
    for (const float value : values) {
      pos = Ostrel::Format::AppendFloat(pos, value);
      *pos++ = ' ';
    }
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_AppendFloat);

// The same values through the standard library alone, which AppendFloat falls back on.
void BM_ToCharsGeneral6(benchmark::State& state) {
  const std::vector<float> values = TypicalCoordinates();
  std::vector<char> text(values.size() * (Ostrel::Format::kMaxFloatChars + 1));
  for (auto _ : state) {
    char* pos = text.data();
    for (const float value : values) {
      pos =
          std::to_chars(pos, pos + Ostrel::Format::kMaxFloatChars, value, std::chars_format::general, 6).ptr;
      *pos++ = ' ';
    }
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_ToCharsGeneral6);

// The same values through the cache of float text the building writer uses.
void BM_FloatTextCache(benchmark::State& state) {
  const std::vector<float> values = TypicalCoordinates();
  std::vector<char> text(values.size() * (Ostrel::Format::kMaxFloatChars + 1));
  Ostrel::Format::FloatTextCache cache;
  for (auto _ : state) {
    char* pos = text.data();
    for (const float value : values) {
      pos = cache.append(pos, value);
      *pos++ = ' ';
    }
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * values.size()));
}
BENCHMARK(BM_FloatTextCache);

void BM_AppendUnsigned(benchmark::State& state) {
  std::vector<char> text(4096 * (Ostrel::Format::kMaxUnsignedChars + 1));
  std::uint64_t next = 12345678;
  for (auto _ : state) {
    char* pos = text.data();
    for (int i = 0; i < 4096; ++i) {
      pos = Ostrel::Format::AppendUnsigned(pos, next++);
      *pos++ = ' ';
    }
    benchmark::DoNotOptimize(pos);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 4096));
}
BENCHMARK(BM_AppendUnsigned);

// The same numbers as runs of index text, as the face pass makes them for each unit.
void BM_NumberTexts(benchmark::State& state) {
  Ostrel::Buildings::detail::NumberTexts texts;
  std::uint64_t next = 12345678;
  for (auto _ : state) {
    benchmark::DoNotOptimize(texts.fill(next, 4096));
    next += 4096;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * 4096));
}
BENCHMARK(BM_NumberTexts);

// ---- Layout -------------------------------------------------------------------------------------

// The plan of a 1000 x 1000 x 1000 building with balconies and walls, walked over every
// placement (about 6.5 million) without writing anything.
void BM_PlanAndWalk(benchmark::State& state) {
  const Ostrel::Buildings::Kit kit = Ostrel::Buildings::LoadKit(kUnits, {"A"});
  const Ostrel::Buildings::Request request =
      Ostrel::Buildings::MakeRequest("A", "NC", {"SC", "NA"}, {"WE"}, 1000, 1000, 1000);
  std::int64_t placements = 0;
  for (auto _ : state) {
    const Ostrel::Buildings::Plan plan = Ostrel::Buildings::MakePlan(request, kit);
    Ostrel::Buildings::ForEachPlacement(plan, [&](const Ostrel::Buildings::Placement&) { ++placements; });
  }
  state.SetItemsProcessed(placements);
}
BENCHMARK(BM_PlanAndWalk)->Unit(benchmark::kMillisecond);

// Checking, planning and counting a courtyard block of 2,000 x 2,600 cells (12 edges), with no
// setback (0) and with two setbacks on every side (2): both stay folded, so the two take about
// as long, and neither grows with the cells.
void BM_PlanCourtyardSetbacks(benchmark::State& state) {
  using namespace Ostrel::Buildings;
  const Kit kit = LoadKit(kUnits, {"A"});
  Footprint footprint;
  std::string why;
  ParseOutline("0,0 2000,0 2000,2000 1200,2000 1200,2600 0,2600; 500,500 1500,500 1500,1500 500,1500", footprint,
               why);
  Request request = MakeRequest("A", "SC", {"NA"}, {}, 1, 1, 30);
  SetFootprint(request, footprint);
  if (state.range(0) == 2) request.setbacks = {{10, 100, 100, 100, 100}, {20, 200, 200, 200, 200}};
  for (auto _ : state) {
    std::size_t faults = 0;
    for (std::size_t i = 0; i < request.setbacks.size(); ++i) faults += SetbackFault(request, i).size();
    benchmark::DoNotOptimize(faults);
    benchmark::DoNotOptimize(CountPlan(MakePlan(request, kit), kit).vertices);
  }
}
BENCHMARK(BM_PlanCourtyardSetbacks)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

// Reading the kit, planning and counting the largest building the options can ask for, which is
// far too large for 32-bit indices: the time until it is refused, as the tool spends it.
void BM_RefuseLargestBuilding(benchmark::State& state) {
  for (auto _ : state) {
    Ostrel::Buildings::Building building("A", "NC", {"SC", "NE"}, {"WO", "EC"}, INT_MAX - 2, INT_MAX - 2,
                                    INT_MAX - 1);
    building.setUnitsPath(kUnits);
    NullBuffer sink;
    std::ostream out(&sink);
    benchmark::DoNotOptimize(building.build(out, 0));
    if (building.lastError() != Ostrel::Buildings::BuildError::TooLarge) state.SkipWithError("not refused");
  }
}
BENCHMARK(BM_RefuseLargestBuilding)->Unit(benchmark::kMillisecond);

// ---- Whole build --------------------------------------------------------------------------------

// A 40 x 40 x 40 building of style A (about 111 MB) into a stream that discards it: the build
// without the cost of the file system.
void BM_BuildToNull(benchmark::State& state) {
  Ostrel::Buildings::Building building("A", "NC", {"SC"}, {"WE"}, 40, 40, 40);
  building.setUnitsPath(kUnits);
  building.setOrientation(0, 0, 1);
  std::uint64_t bytes = 0;
  for (auto _ : state) {
    NullBuffer sink;
    std::ostream out(&sink);
    benchmark::DoNotOptimize(building.build(out, 0));
    bytes += sink.bytes;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_BuildToNull)->Unit(benchmark::kMillisecond);

}  // namespace

// Linting one style of the shipped kit: its files read and checked, and its lint buildings made
// and checked; the kit's author waits for this.
void BM_LintShippedStyle(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Ostrel::Buildings::LintKit(kUnits, {"B"}));
}
BENCHMARK(BM_LintShippedStyle)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
