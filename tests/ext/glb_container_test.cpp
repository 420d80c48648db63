// The GLB container: header and padded chunks written and split again, and the check of a
// document's buffer views and accessors against its binary chunk.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include <ostrel/ext/Glb.h>

#include "GlbCheck.h"

namespace {

std::string MakeGlb(const std::string& i_json, const std::string& i_bin) {
  std::ostringstream out;
  Glb::WriteGlbStart(out, i_json.size(), i_bin.size());
  out << i_json;
  Glb::WriteJsonEnd(out, i_json.size(), i_bin.size());
  out << i_bin;
  Glb::WriteBinEnd(out, i_bin.size());
  return out.str();
}

TEST(GlbContainer, ChunksArePaddedAndSplitAgain) {
  const std::string json = R"({"asset":{"version":"2.0"}})";  // 27 bytes
  const std::string bin("\x01\x02\x03\x04\x05", 5);
  const std::string file = MakeGlb(json, bin);
  ASSERT_EQ(file.size(), 12u + 8 + 28 + 8 + 8);
  EXPECT_EQ(file.substr(0, 4), "glTF");
  EXPECT_EQ(file[12], 28);  // the JSON chunk's padded length
  EXPECT_EQ(file.substr(16, 4), "JSON");
  EXPECT_EQ(file[20 + 27], ' ');
  EXPECT_EQ(file.substr(52, 4), std::string("BIN\0", 4));
  EXPECT_EQ(file.back(), '\0');
  Glb::GlbChunks chunks;
  ASSERT_EQ(Glb::SplitGlb(file, chunks), "");
  EXPECT_EQ(chunks.json, json + " ");
  EXPECT_TRUE(chunks.hasBin);
  EXPECT_EQ(chunks.bin, bin + std::string(3, '\0'));
  EXPECT_EQ(Glb::FileBytes(27, 5), file.size());

  const std::string bare = MakeGlb(json, "");
  ASSERT_EQ(Glb::SplitGlb(bare, chunks), "");
  EXPECT_FALSE(chunks.hasBin);
  EXPECT_EQ(bare.size(), Glb::FileBytes(27, 0));
}

TEST(GlbContainer, MalformedFilesAreTold) {
  const std::string good = MakeGlb(R"({"asset":{"version":"2.0"}})", "abcd");
  const auto changed = [&good](std::size_t i_at, char i_byte) {
    std::string file = good;
    file[i_at] = i_byte;
    return file;
  };
  const struct {
    std::string file;
    const char* fault;
  } cases[] = {
      {good.substr(0, 16), "shorter than a header and one chunk"},
      {changed(0, 'x'), "no glTF magic"},
      {changed(4, 1), "not version 2"},
      {changed(8, 0), "the header's length is not the file's"},
      {changed(12, 27), "a chunk is not padded to four bytes"},
      {changed(12, 124), "a chunk passes the end of the file"},
      {changed(16, 'B'), "the first chunk is not JSON"},
      {good + "abc", "the header's length is not the file's"},
  };
  Glb::GlbChunks chunks;
  for (const auto& c : cases) EXPECT_EQ(Glb::SplitGlb(c.file, chunks), c.fault);
}

TEST(GlbContainer, LayoutFaultsAreFound) {
  const nlohmann::json good = nlohmann::json::parse(R"({
    "asset": {"version": "2.0"},
    "buffers": [{"byteLength": 36}],
    "bufferViews": [{"buffer": 0, "byteOffset": 0, "byteLength": 24},
                    {"buffer": 0, "byteOffset": 24, "byteLength": 12}],
    "accessors": [{"bufferView": 0, "componentType": 5126, "count": 2, "type": "VEC3"},
                  {"bufferView": 1, "componentType": 5123, "count": 6, "type": "SCALAR"}],
    "meshes": [{"primitives": [{"attributes": {"POSITION": 0}, "indices": 1}]}],
    "nodes": [{"mesh": 0, "children": [1]}, {}]
  })");
  EXPECT_EQ(Glb::CheckGlbLayout(good, 36), "");
  EXPECT_EQ(Glb::CheckGlbLayout(good, 39), "");  // padding
  const struct {
    const char* pointer;
    nlohmann::json value;
    const char* fault;
  } cases[] = {
      {"/asset/version", "1.0", "no asset version 2.0"},
      {"/buffers/0/byteLength", 40, "buffer 0 is not as long as the binary chunk"},
      {"/bufferViews/1/byteLength", 16, "bufferViews[1] passes the end of the buffer"},
      {"/bufferViews/1/buffer", 1, "bufferViews[1] names no buffer"},
      {"/accessors/0/count", 3, "accessors[0] passes the end of its buffer view"},
      {"/accessors/1/byteOffset", 1, "accessors[1] is not aligned to its component size"},
      {"/accessors/1/bufferView", 2, "accessors[1] names no buffer view"},
      {"/accessors/0/type", "VEC5", "accessors[0] has a bad type, componentType or count"},
      {"/accessors/0/count", -1, "accessors[0] has no valid componentType, count or byteOffset"},
      {"/meshes/0/primitives/0/indices", 2,
       "meshes[0] has a primitive that names a missing accessor or material"},
      {"/meshes/0/primitives/0/material", 0,
       "meshes[0] has a primitive that names a missing accessor or material"},
      {"/nodes/0/children/0", 2, "nodes[0] names a missing child"},
      {"/nodes/1/mesh", 1, "nodes[1] names a missing mesh"},
      {"/nodes/1/extensions", R"({"EXT_mesh_gpu_instancing": {"attributes": {"TRANSLATION": 7}}})"_json,
       "nodes[1] has instance attributes that name a missing accessor"},
      {"/bufferViews", "none", "a top-level list is not a list"},
  };
  for (const auto& c : cases) {
    nlohmann::json document = good;
    document[nlohmann::json::json_pointer(c.pointer)] = c.value;
    EXPECT_EQ(Glb::CheckGlbLayout(document, 36), c.fault) << c.pointer;
  }
}

}  // namespace
