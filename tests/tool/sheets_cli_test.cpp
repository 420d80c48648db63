// The kit's texture sheets in what the tool writes: --textures (embedded, copies beside the output
// under bare names, none) and --texture-size, the names taken in the output's folder, and refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include <ostrel/ext/Png.h>

#include "TestSupport.h"
#include "ShippedKit.h"

namespace {

using TestSupport::Line;
using TestSupport::RunTool;

using TestSupport::kShipped;

// Style B of the shipped kit with sheets of 64 x 48 pixels, a quick read.
struct SmallKit {
  TestSupport::ScratchDir folder;
  std::string path = folder.path.string();
  std::string done = Line("info", "Found 1 paths in '" + path + "'") + Line("info", "Done!");
  SmallKit() {
    for (const auto& entry : std::filesystem::directory_iterator(kShipped)) {
      const std::string name = entry.path().filename();
      if (name.rfind("B_", 0) == 0 || name.rfind("base_", 0) == 0 || name == "B.mtl")
        std::filesystem::copy(entry.path(), folder.path / name);
    }
    for (const char* sheet : {"B.png", "B.normal.png"}) {
      Png::Pixels pixels;
      pixels.width = 64;
      pixels.height = 48;
      pixels.channels = 3;
      for (std::uint32_t i = 0; i < 64 * 48 * 3; ++i)
        pixels.bytes.push_back(static_cast<std::uint8_t>(i * 7 + *sheet));
      TestSupport::WriteFile(folder / sheet, Png::Encode(pixels));
    }
  }
};

std::uint32_t BigEndian(const std::string& i_bytes, std::size_t i_at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<std::uint8_t>(i_bytes.at(i_at + i));
  return value;
}

std::uint32_t LittleEndian(const std::string& i_bytes, std::size_t i_at) {
  std::uint32_t value = 0;
  for (std::size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<std::uint8_t>(i_bytes.at(i_at + i));
  return value;
}

// The width and height a PNG file's header states.
std::pair<std::uint32_t, std::uint32_t> PngSize(const std::string& i_bytes) {
  EXPECT_EQ(i_bytes.substr(1, 3), "PNG");
  return {BigEndian(i_bytes, 16), BigEndian(i_bytes, 20)};
}

// The JSON of a .glb (its first chunk) or a .gltf.
nlohmann::json Document(const std::string& i_path) {
  const std::string bytes = TestSupport::ReadFile(i_path);
  if (bytes.substr(0, 4) != "glTF") return nlohmann::json::parse(bytes);
  return nlohmann::json::parse(bytes.substr(20, LittleEndian(bytes, 12)));
}

std::vector<std::string> Entries(const std::filesystem::path& i_folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(i_folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<std::string> kSmall = {"-s", "B", "-w", "1", "-l", "1", "-h", "1"};

TestSupport::RunResult Build(const SmallKit& i_kit, const TestSupport::ScratchDir& i_work,
                             std::vector<std::string> i_options) {
  std::vector<std::string> args = kSmall;
  args.insert(args.end(), i_options.begin(), i_options.end());
  return RunTool(i_kit.path, i_work.path.string(), args);
}

TEST(SheetsCli, ExternalCopiesAreShrunkAndNamedBareByEveryFormat) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  for (const char* name : {"glb/b.glb", "gltf/b.gltf", "obj/b.obj"}) {
    std::filesystem::create_directory(work.path / std::filesystem::path(name).parent_path());
    const TestSupport::RunResult run =
        Build(kit, work, {"--textures", "external", "--texture-size", "16", name});
    EXPECT_EQ(run.status, 0) << name;
    EXPECT_EQ(run.output, kit.done) << name;
  }
  for (const char* folder : {"glb", "gltf", "obj"}) {
    for (const char* sheet : {"B.png", "B.normal.png"}) {
      EXPECT_EQ(PngSize(TestSupport::ReadFile((work.path / folder / sheet).string())),
                std::make_pair(16u, 12u))
          << folder << sheet;
    }
  }
  EXPECT_EQ(Entries(work.path / "glb"), (std::vector<std::string>{"B.normal.png", "B.png", "b.glb"}));

  for (const char* name : {"glb/b.glb", "gltf/b.gltf"}) {
    const nlohmann::json images = Document(work / name)["images"];
    ASSERT_EQ(images.size(), 2u) << name;
    EXPECT_EQ(images[0], (nlohmann::json{{"name", "B.png"}, {"uri", "B.png"}})) << name;
    EXPECT_EQ(images[1], (nlohmann::json{{"name", "B.normal.png"}, {"uri", "B.normal.png"}})) << name;
  }
  // The buffer holds the mesh alone: the sheets are not in it too.
  EXPECT_EQ(Document(work / "gltf/b.gltf")["buffers"][0]["byteLength"],
            std::filesystem::file_size(work.path / "gltf/b.bin"));
  EXPECT_FALSE(Document(work / "gltf/b.gltf")["images"][0].contains("bufferView"));
  // --stats tells each sheet the output names, written now or already there.
  const std::string stats =
      Build(kit, work, {"--textures", "external", "--texture-size", "16", "--stats", "glb/c.glb"}).output;
  EXPECT_NE(
      stats.find(Line("info", "Stats 'glb/B.normal.png': " +
                                  std::to_string(std::filesystem::file_size(work.path / "glb/B.normal.png")) +
                                  " bytes, 16 x 12 pixels, a texture sheet")),
      std::string::npos)
      << stats;
  const std::string library = TestSupport::ReadFile(work / "obj/b.mtl");
  EXPECT_NE(library.find("\nmap_Kd B.png\nnorm B.normal.png\n"), std::string::npos);
  EXPECT_EQ(library.find('/'), std::string::npos);
}

TEST(SheetsCli, EmbeddedSheetsAreShrunkInsideTheFile) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  EXPECT_EQ(Build(kit, work, {"--texture-size", "32", "b.glb"}).output, kit.done);
  const std::string bytes = TestSupport::ReadFile(work / "b.glb");
  const nlohmann::json document = Document(work / "b.glb");
  ASSERT_EQ(document["images"].size(), 2u);
  const std::size_t binary = 20 + LittleEndian(bytes, 12) + 8;  // the binary chunk's first byte
  for (const nlohmann::json& image : document["images"]) {
    const nlohmann::json view = document["bufferViews"][image["bufferView"].get<std::size_t>()];
    const std::size_t at = binary + view.value("byteOffset", 0u);
    EXPECT_EQ(PngSize(bytes.substr(at, view["byteLength"])), std::make_pair(32u, 24u));
  }
  EXPECT_EQ(Entries(work.path), std::vector<std::string>{"b.glb"});
}

TEST(SheetsCli, NoneLeavesNoImageNoTextureAndNoTangents) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  EXPECT_EQ(Build(kit, work, {"--textures", "none", "b.glb"}).output, kit.done);
  EXPECT_EQ(Build(kit, work, {"--textures", "none", "b.obj"}).output, kit.done);
  const nlohmann::json document = Document(work / "b.glb");
  EXPECT_FALSE(document.contains("images"));
  EXPECT_FALSE(document.contains("textures"));
  for (const nlohmann::json& material : document["materials"]) {
    EXPECT_FALSE(material.contains("normalTexture"));
    EXPECT_FALSE(material["pbrMetallicRoughness"].contains("baseColorTexture"));
    EXPECT_TRUE(material["pbrMetallicRoughness"].contains("baseColorFactor"));
  }
  EXPECT_EQ(document.dump().find("TANGENT"), std::string::npos);
  const std::string library = TestSupport::ReadFile(work / "b.mtl");
  EXPECT_NE(library.find("Kd "), std::string::npos);
  EXPECT_EQ(library.find("map_"), std::string::npos);
  EXPECT_EQ(library.find("norm"), std::string::npos);
  EXPECT_EQ(library.find(".png"), std::string::npos);
  EXPECT_EQ(Entries(work.path), (std::vector<std::string>{"b.glb", "b.mtl", "b.obj"}));
}

TEST(SheetsCli, OutputsInOneFolderShareOneCopyAndAnotherFileIsNeverReplaced) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  TestSupport::WriteFile(work / "B.png", "mine");
  std::filesystem::create_directory(work.path / "B.normal.png");
  const std::string moved =
      Line("warning",
           "Texture '" + kit.path +
               "/B.png' is written beside the output as 'B-2.png': 'B.png' is taken there by another file") +
      Line("warning", "Texture '" + kit.path +
                          "/B.normal.png' is written beside the output as 'B.normal-2.png': 'B.normal.png' "
                          "is taken there by another file");
  const std::string found = Line("info", "Found 1 paths in '" + kit.path + "'");
  // Under --strict the warnings end the run before any file.
  const TestSupport::RunResult strict = Build(kit, work, {"--textures", "external", "--strict", "a.glb"});
  EXPECT_EQ(strict.status, 1);
  EXPECT_EQ(Entries(work.path), (std::vector<std::string>{"B.normal.png", "B.png"}));

  const TestSupport::RunResult first = Build(kit, work, {"--textures", "external", "a.glb"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.output, found + moved + Line("info", "Done!"));
  EXPECT_EQ(TestSupport::ReadFile(work / "B.png"), "mine");
  EXPECT_EQ(Document(work / "a.glb")["images"][0]["uri"], "B-2.png");
  EXPECT_EQ(TestSupport::ReadFile(work / "B-2.png"), TestSupport::ReadFile(kit.folder / "B.png"));
  // A second output, an OBJ whose library is named after it, uses the same copies.
  const TestSupport::RunResult second = Build(kit, work, {"--textures", "external", "b.obj"});
  EXPECT_EQ(second.output, found + moved + Line("info", "Done!"));
  EXPECT_NE(TestSupport::ReadFile(work / "b.mtl").find("map_Kd B-2.png\nnorm B.normal-2.png\n"),
            std::string::npos);
  EXPECT_EQ(Entries(work.path), (std::vector<std::string>{"B-2.png", "B.normal-2.png", "B.normal.png",
                                                          "B.png", "a.glb", "b.mtl", "b.obj"}));
  // The output's own name is taken too (an OBJ, by its name): B-2.png holds other bytes now.
  const TestSupport::RunResult own =
      Build(kit, work, {"--textures", "external", "--texture-size", "8", "B-3.png"});
  EXPECT_EQ(own.status, 0);
  EXPECT_EQ(TestSupport::ReadFile(work / "B-3.png").substr(0, 7), "mtllib ");
  EXPECT_EQ(PngSize(TestSupport::ReadFile(work / "B-4.png")), std::make_pair(8u, 6u));
  EXPECT_NE(TestSupport::ReadFile(work / "B-3.mtl").find("map_Kd B-4.png\nnorm B.normal-3.png\n"),
            std::string::npos);
}

// The far level's card sheets of a kit other than the shipped one are drawn beside the output,
// found there by the next run, and never written over a file that holds anything else.
TEST(SheetsCli, CardSheetsStandBesideTheOutputAndNeverReplaceAFile) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  const TestSupport::RunResult first = Build(kit, work, {"--lod", "3", "a.glb"});
  EXPECT_EQ(first.output, kit.done);
  const std::string cards = TestSupport::ReadFile(work / "B.cards.png");
  EXPECT_EQ(PngSize(cards).first % 64, 0u);
  const TestSupport::RunResult again = Build(kit, work, {"--lod", "3", "b.glb"});
  EXPECT_EQ(again.output, kit.done);
  EXPECT_EQ(TestSupport::ReadFile(work / "b.glb"), TestSupport::ReadFile(work / "a.glb"));

  TestSupport::ScratchDir other;
  TestSupport::WriteFile(other / "B.cards.png", "mine");
  const TestSupport::RunResult kept = Build(kit, other, {"--lod", "3", "a.glb"});
  EXPECT_EQ(kept.status, 0);
  EXPECT_EQ(kept.output, Line("info", "Found 1 paths in '" + kit.path + "'") +
                             Line("warning", "File 'B.cards.png' exists and is not this kit's card sheet: "
                                             "the cards of style 'B' keep flat tones") +
                             Line("info", "Done!"));
  EXPECT_EQ(TestSupport::ReadFile(other / "B.cards.png"), "mine");
}

TEST(SheetsCli, RefusalsWriteNothing) {
  const SmallKit kit;
  TestSupport::ScratchDir work;
  for (const char* size : {"0", "-4", "abc", "65537", "16x"}) {
    const TestSupport::RunResult run = Build(kit, work, {"--texture-size", size, "b.glb"});
    EXPECT_EQ(run.status, 1) << size;
    EXPECT_EQ(run.output,
              Line("info", "Found 1 paths in '" + kit.path + "'") +
                  Line("error", std::string("Value '") + size +
                                    "' of option '--texture-size' is not a size in pixels: give a "
                                    "whole number from 1 to 65536, such as 512"))
        << size;
  }
  // Copies need a folder to stand in.
  const TestSupport::RunResult pipe = Build(kit, work, {"--textures", "external", "/dev/null"});
  EXPECT_EQ(pipe.status, 1);
  EXPECT_NE(pipe.output.find(Line("error",
                                  "Cannot write output file '/dev/null': it is not a regular file, "
                                  "so no texture sheet can stand beside it")),
            std::string::npos);
  EXPECT_TRUE(Entries(work.path).empty());
}

}  // namespace
