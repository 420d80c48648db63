#pragma once
// What waits for its tile, kept on disk: a tileset's buildings come in the city's order, but a
// tile is written only once its last building has come, so that the buildings of the tiles not
// yet whole would otherwise all be held, a band as wide as the city for rows that come street by
// street. Each is written to one scratch file as it comes and read back when its tile is written;
// memory keeps only where each is (16 bytes a building waiting).

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Layout.h>

#include "write/engine/EngineExtras.h"
#include "write/gltf/GltfDocument.h"

namespace Ostrel::Buildings {

// A building of a leaf as the leaf's .glb needs it.
struct TileBuilding {
  Plan plan;
  Frame frame;
  std::string name;
  GltfFeature feature;
};

// A building as a parent draws it: its far level alone.
struct FarBuilding {
  EngineExtras extras;  // its one level: the far level
  Frame frame;
  std::string name;
  GltfFeature feature;
  double error = 0;  // of its far level, metres
};

// Where a record is in the scratch file.
struct ScratchRecord {
  std::uint64_t offset = 0;
  std::uint64_t bytes = 0;
};

std::string RecordOf(const TileBuilding& i_building);
std::string RecordOf(const FarBuilding& i_building);
// False when the bytes are not a record of that kind (a scratch file that was changed).
bool ReadRecord(const std::string& i_bytes, TileBuilding& o_building);
bool ReadRecord(const std::string& i_bytes, FarBuilding& o_building);

// A file that no other program sees: it is gone from its folder once made (on systems that let
// an open file be removed), and gone for good once closed, whatever ends the run.
class ScratchFile {
 public:
  ScratchFile() = default;
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() { close(); }

  // Makes the file at i_path (a name no other file has); false when it cannot be made.
  bool open(const std::string& i_path);
  void close();
  // Appends the bytes; false when they cannot be written.
  bool put(const std::string& i_bytes, ScratchRecord& o_record);
  // Reads a record back; false when it cannot be read.
  bool get(const ScratchRecord& i_record, std::string& o_bytes);

 private:
  std::fstream m_file;
  std::string m_path;  // while the file is still in its folder
  std::uint64_t m_end = 0;
};

}  // namespace Ostrel::Buildings
