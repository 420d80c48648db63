// Builds a whole building from a fuzzed unit kit and request and checks the OBJ text: no crash,
// every index names an element that exists, only finite numbers, and a refused build writes
// nothing. The same building is then written as binary glTF in each form: each file must split
// into its chunks and parse, every buffer view and accessor must lie inside the binary chunk,
// aligned, every form must show the same triangles, and a refused build writes nothing.
//
// The kit is read from files, as the tool reads it, once an input; the building is made once and
// written into memory in each format, so that an input costs little more than its own work.
//
// Input layout, every missing byte read as 0:
//   byte 0, 1, 2   width, length and height, each modulo 5
//   byte 3, 4      the door request, two letters from kLetters
//   byte 5         the indices offset (0 to 255 vertices before the building)
//   byte 6         number of balcony requests (low two bits) and of wall requests (next two);
//                  bit 4 chooses variants per cell, bits 5 to 7 are the seed
//   then           two letters per balcony request, then two per wall request
//   the rest       the unit files in the order of kPieces, separated by '|'; pieces after the
//                  last separator are missing from the folder. Then "lib.mtl", a material
//                  library that the pieces may name, and three variants.

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/ext/Glb.h>
#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>
#include <ostrel/write/WriteScene.h>

#include "FuzzSupport.h"
#include "GlbCheck.h"

namespace {

namespace fs = std::filesystem;
using namespace Ostrel::Buildings;

constexpr std::string_view kLetters = "NESWLCRAEOns x";

// The longest input fuzz/run.sh gives this harness (-max_len): a unit file is never longer. A
// longer one (a replay of a file from elsewhere) only costs a kept text that grows.
constexpr std::size_t kMaxInput = 4096;

// The base units that measure the unit size, then every piece of the style F, then a material
// library, then variants of a facade piece, a balcony and a corner.
constexpr std::array<const char*, 17> kPieces = {
    "base_floorclose.obj", "base_roof.obj",     "F_angle.obj",   "F_angleroof.obj",  "F_ground.obj",
    "F_grounddoor.obj",    "F_groundclose.obj", "F_floor.obj",   "F_floorclose.obj", "F_roof.obj",
    "F_roofdoor.obj",      "F_balcony.obj",     "F_roofcap.obj", "lib.mtl",          "F_floor.1.obj",
    "F_balcony.1.obj",     "F_angle.1.obj",
};

// Reads the header bytes in turn, 0 past the end.
struct Reader {
  std::string_view bytes;
  std::size_t pos = 0;
  unsigned char next() { return pos < bytes.size() ? static_cast<unsigned char>(bytes[pos++]) : 0; }
  char letter() { return kLetters[next() % kLetters.size()]; }
  std::string request() {
    std::string two(1, letter());
    two += letter();
    return two;
  }
};

// One folder per process, on a memory file system when there is one; a unit file is written
// only when its text differs from the last run's, so most runs touch no file at all. The last
// texts are kept in strings that never grow (an input is at most kMaxInput bytes): libFuzzer takes
// a run that allocates more than it frees for a leak and runs it again, so a kept text that grew
// would cost a second run.
struct UnitFolder {
  struct Written {
    bool present = false;
    std::string text;
  };
  fs::path folder;
  std::array<Written, kPieces.size()> written;

  UnitFolder() {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    folder = base / ("towerkit-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(folder, ec);
    fs::create_directories(folder);
    for (Written& piece : written) piece.text.reserve(kMaxInput);
  }
  ~UnitFolder() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  void set(std::size_t i_piece, std::optional<std::string_view> i_text) {
    Written& last = written[i_piece];
    if (last.present == i_text.has_value() && (!i_text || last.text == *i_text)) return;
    const fs::path file = folder / kPieces[i_piece];
    if (i_text) {
      std::ofstream(file, std::ios::binary | std::ios::trunc) << *i_text;
      last.text.assign(i_text->data(), i_text->size());
    } else {
      std::error_code ec;
      fs::remove(file, ec);
      last.text.clear();
    }
    last.present = i_text.has_value();
  }
};

UnitFolder& TheFolder() {
  static UnitFolder folder;
  return folder;
}

// The triangles of a flat file: its index accessors' counts, over three.
std::uint64_t FlatTriangles(const nlohmann::json& i_document) {
  std::uint64_t corners = 0;
  for (const nlohmann::json& mesh : i_document.value("meshes", nlohmann::json::array())) {
    for (const nlohmann::json& primitive : mesh["primitives"]) {
      corners +=
          i_document["accessors"][primitive["indices"].get<std::size_t>()]["count"].get<std::uint64_t>();
    }
  }
  FUZZ_CHECK(corners % 3 == 0);
  return corners / 3;
}

// Writes the scene as a .glb of each form and checks the files; i_refused is the OBJ write's
// refusal, which every form must share.
void CheckGlb(const Scene& i_scene, SceneError i_refused) {
  std::uint64_t triangles[3] = {};
  for (const GltfForm form : {GltfForm::Flat, GltfForm::Nodes, GltfForm::Gpu}) {
    SceneOptions options;
    options.gltf.form = form;
    options.gltf.generator = "fuzz";
    std::ostringstream out;
    const SceneReport report = WriteScene(i_scene, FormatOfOutput("fuzz.glb"), options, out);
    FUZZ_CHECK(report.error == i_refused);
    const std::string file = out.str();
    if (i_refused != SceneError::None) {
      FUZZ_CHECK(file.empty());
      continue;
    }
    Glb::GlbChunks chunks;
    FUZZ_CHECK(Glb::SplitGlb(file, chunks).empty());
    const nlohmann::json document = nlohmann::json::parse(chunks.json, nullptr, false);
    FUZZ_CHECK(!document.is_discarded());
    FUZZ_CHECK(Glb::CheckGlbLayout(document, chunks.bin.size()).empty());
    FUZZ_CHECK(chunks.hasBin == document.contains("buffers"));
    triangles[static_cast<int>(form)] = report.triangles;
    if (form == GltfForm::Flat) FUZZ_CHECK(FlatTriangles(document) == report.triangles);
  }
  FUZZ_CHECK(triangles[0] == triangles[1] && triangles[1] == triangles[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  Reader in{std::string_view(reinterpret_cast<const char*>(i_data), i_size)};
  const int width = in.next() % 5;
  const int length = in.next() % 5;
  const int height = in.next() % 5;
  const std::string door = in.request();
  const std::size_t offset = in.next();
  const unsigned char requests = in.next();
  std::vector<std::string> balcony, close;
  for (int i = 0; i < (requests & 3); ++i) balcony.push_back(in.request());
  for (int i = 0; i < ((requests >> 2) & 3); ++i) close.push_back(in.request());

  std::string_view files = in.bytes.substr(std::min(in.pos, in.bytes.size()));
  bool more = in.pos < in.bytes.size();  // false once the pieces that follow are missing
  UnitFolder& units = TheFolder();
  for (std::size_t piece = 0; piece < kPieces.size(); ++piece) {
    if (!more) {
      units.set(piece, std::nullopt);
      continue;
    }
    const std::size_t bar = files.find('|');
    units.set(piece, files.substr(0, bar));
    more = bar != std::string_view::npos;
    if (more) files.remove_prefix(bar + 1);
  }

  Request request = MakeRequest("F", door, balcony, close, width, length, height);
  request.seed = requests >> 5;
  request.varyByCell = (requests & 16) != 0;
  const Kit kit = LoadKit(units.folder.string(), {request.style});
  std::vector<SceneBuilding> buildings;
  if (kit.measured()) buildings.push_back(MakeSceneBuilding(request, kit));
  const Scene scene = HeldScene(kit, std::move(buildings));

  SceneOptions options;
  options.obj.libraryName = "out.mtl";
  options.obj.libraryFolder = units.folder.string();
  options.obj.vertexOffset = offset;
  std::ostringstream out;
  const SceneReport report = WriteScene(scene, FormatOfOutput("fuzz.obj"), options, out);
  const std::string text = out.str();

  CheckGlb(scene, report.error);
  if (report.error != SceneError::None) {
    FUZZ_CHECK(text.empty());
    return 0;
  }
  const Fuzz::ObjCounts counts = Fuzz::CheckObjText(text, offset);
  FUZZ_CHECK(counts.vertices == report.totals.vertices);
  FUZZ_CHECK(counts.vertices > 0);
  // A merged material library reads back whole: every statement it copied is one the reader
  // keeps, and every material once.
  if (report.usesMaterials) {
    FUZZ_CHECK(text.rfind("mtllib out.mtl\n", 0) == 0);
    Mtl::Library library;
    std::vector<Mtl::Finding> findings;
    Mtl::Parse(report.materialLibrary, library, findings);
    FUZZ_CHECK(findings.empty());
  } else {
    FUZZ_CHECK(report.materialLibrary.empty());
    FUZZ_CHECK(text.find("usemtl") == std::string::npos);
  }
  // Each missing piece is listed once, and the base units never: they are measured, not placed.
  const std::vector<MissingUnit>& missing = report.missing;
  for (std::size_t i = 0; i < missing.size(); ++i) {
    FUZZ_CHECK(missing[i].file.rfind((units.folder / "F_").string(), 0) == 0);
    for (std::size_t j = 0; j < i; ++j) FUZZ_CHECK(missing[i].file != missing[j].file);
  }
  return 0;
}
