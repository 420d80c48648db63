// Buildings with materials: the usemtl runs of the OBJ, the material file merged beside it, what
// the user is told about the kit's material files, and the two files put in place together.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <ostrel/building/Building.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using BuildingTest::Lines;
using TestSupport::Line;
using TestSupport::ReadFile;
using TestSupport::WriteFile;

const char* const kTriangle = "v 0 0 0\nv 1 0 0\nv 0 0 1\n";

// Style S: the corner has a face without a material, then red and glass; the roof corner names a
// second library that defines red again, differently, and uses blue, which no library defines.
// Textures live in a folder of their own beside the libraries.
struct MaterialKit {
  TestSupport::ScratchDir dir;
  MaterialKit() {
    WriteFile(dir / "base_floorclose.obj", "v 0 0 0\nv 1 1 1\n");
    WriteFile(dir / "S_angle.obj", std::string("mtllib a.mtl\n") + kTriangle +
                                       "f 1 2 3\nusemtl red\nf 1 2 3\nusemtl glass\nf 1 2 3\nf 3 2 1\n");
    WriteFile(dir / "S_angleroof.obj", std::string("mtllib b.mtl a.mtl\n") + kTriangle +
                                           "usemtl red\nf 1 2 3\nusemtl blue\nf 1 2 3\n");
    WriteFile(dir / "a.mtl",
              "newmtl red\nKd 1 0 0\n\nnewmtl glass\nKd 0.2 0.3 0.4\nd 0.5\nmap_Kd -s 2 2 1 tex/glass.png\n");
    WriteFile(dir / "b.mtl", "newmtl red\nKd 0 1 0\nKd x\n");
  }
  std::string path() const { return dir.path.string(); }
};

TEST(Materials, RunsOfFacesAndTheMergedLibrary) {
  MaterialKit kit;
  TestSupport::ScratchDir out;
  Ostrel::Buildings::Building building = BuildingTest::Make({"S", "  ", {}, {}, 0, 0, 0}, kit.path());
  building.setMaterialLibrary("tower.mtl", (out.path / "sub").string());
  const std::string text = BuildingTest::BuildText(building);
  ASSERT_EQ(building.lastError(), Ostrel::Buildings::BuildError::None);
  EXPECT_EQ(text.rfind("mtllib tower.mtl\nv ", 0), 0u);

  // Four corners, then four roof corners: every run starts with its usemtl, and a face without a
  // material after the roof corners' blue does not inherit it.
  std::vector<std::string> expected;
  for (int corner = 0; corner < 4; ++corner) {
    expected.insert(expected.end(), {"usemtl towerkit_default", "usemtl red", "usemtl glass"});
  }
  for (int corner = 0; corner < 4; ++corner) expected.insert(expected.end(), {"usemtl red", "usemtl blue"});
  expected[3] = "usemtl towerkit_default";  // after glass, the next corner's first face
  EXPECT_EQ(Lines(text, "usemtl"), expected);
  EXPECT_EQ(Lines(text, "f ").size(), 4u * 4 + 4u * 2);
  EXPECT_EQ(BuildingTest::CheckIndices(text), "");

  // Each material once, in the order of first use, as the first library that defines it has it;
  // the texture found from the folder the library is written to.
  EXPECT_EQ(building.materialLibraryText(),
            "newmtl red\nKd 1 0 0\n\nnewmtl glass\nKd 0.2 0.3 0.4\nd 0.5\nmap_Kd -s 2 2 1 " +
                ((kit.dir.path / "tex/glass.png").lexically_relative(out.path / "sub")).generic_string() +
                "\n\nnewmtl towerkit_default\nKa 0 0 0\nKd 0.8 0.8 0.8\nKs 0 0 0\nd 1\nillum 1\n");

  using Kind = Ostrel::Buildings::MaterialNote::Kind;
  const std::vector<Ostrel::Buildings::MaterialNote>& notes = building.materialNotes();
  ASSERT_EQ(notes.size(), 3u);
  EXPECT_EQ(notes[0].kind, Kind::LibraryLine);
  EXPECT_EQ(notes[0].file, kit.dir / "b.mtl");
  EXPECT_EQ(notes[0].line, 3u);
  EXPECT_EQ(notes[1].kind, Kind::Conflict);
  EXPECT_EQ(notes[1].material, "red");
  EXPECT_EQ(notes[1].firstFile, kit.dir / "a.mtl");
  EXPECT_EQ(notes[1].file, kit.dir / "b.mtl");
  EXPECT_EQ(notes[2].kind, Kind::Undefined);
  EXPECT_EQ(notes[2].material, "blue");
}

// A kit whose pieces name no material gives the text it always gave, and no library.
TEST(Materials, NoneWithoutUsemtl) {
  Ostrel::Buildings::Building building = BuildingTest::Make({"T", "NC", {"SC"}, {"NA"}, 3, 3, 3});
  building.setMaterialLibrary("tower.mtl", ".");
  EXPECT_EQ(BuildingTest::BuildText(building),
            ReadFile(std::string(TOWERKIT_TEST_DATA) + "/golden/worked_example.obj"));
  EXPECT_FALSE(building.usesMaterials());
  EXPECT_EQ(building.materialLibraryText(), "");
}

TEST(Materials, TheToolWritesBothFilesOrNeither) {
  MaterialKit kit;
  TestSupport::ScratchDir work;
  const std::vector<std::string> args = {"-s", "S", "-w", "0", "-l", "0", "-h", "0", "tower.obj"};
  const TestSupport::RunResult result = TestSupport::RunTool(kit.path(), work.path.string(), args);
  EXPECT_EQ(result.status, 0);
  const std::string b = kit.dir / "b.mtl";
  EXPECT_EQ(
      result.output,
      Line("info", "Found 1 paths in '" + kit.path() + "'") +
          Line("warning", "Material file '" + b +
                              "', line 3: Kd takes 1 or 3 finite numbers: 'Kd x': the line is left out") +
          Line("warning", "Material 'red' is defined differently in '" + (kit.dir / "a.mtl") + "' and in '" +
                              b + "': the definition in '" + (kit.dir / "a.mtl") + "' is used") +
          Line("warning",
               "Material 'blue' is used but no material file defines it: viewers show their own default") +
          Line("info", "Done!"));
  EXPECT_EQ(ReadFile(work / "tower.obj").rfind("mtllib tower.mtl\n", 0), 0u);
  EXPECT_NE(ReadFile(work / "tower.mtl").find("newmtl glass\n"), std::string::npos);

  // When the material file cannot be written, neither file changes.
  WriteFile(work / "kept.obj", "earlier\n");
  std::filesystem::create_directory(work / "kept.mtl");
  const TestSupport::RunResult refused =
      TestSupport::RunTool(kit.path(), work.path.string(), {"-s", "S", "-h", "0", "kept.obj"});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.output.find(Line("error", "Cannot write output file 'kept.mtl': it is a folder")),
            std::string::npos);
  EXPECT_EQ(refused.output.find("Done!"), std::string::npos);
  EXPECT_EQ(ReadFile(work / "kept.obj"), "earlier\n");

  // An output that would be its own material file is refused before anything is replaced.
  WriteFile(work / "same.mtl", "earlier\n");
  const TestSupport::RunResult same =
      TestSupport::RunTool(kit.path(), work.path.string(), {"-s", "S", "-h", "0", "same.mtl"});
  EXPECT_EQ(same.status, 1);
  EXPECT_EQ(ReadFile(work / "same.mtl"), "earlier\n");
  for (const auto& entry : std::filesystem::directory_iterator(work.path)) {
    EXPECT_EQ(entry.path().filename().string().rfind(".towerkit-", 0), std::string::npos) << entry.path();
  }
}

}  // namespace
