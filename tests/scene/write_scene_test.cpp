// A scene made, surveyed and written in memory, without the tool or a file: what the survey
// learns, what each format is told, and what is refused before the first byte.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Request.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>
#include <ostrel/write/WriteScene.h>

#include "BuildingTestSupport.h"
#include "TestSupport.h"

namespace {

using namespace Ostrel::Buildings;
using Strings = std::vector<std::string>;

Request Box(const std::string& i_style, int i_w, int i_l, int i_h) {
  return MakeRequest(i_style, "SC", {"NA"}, {"WE"}, i_w, i_l, i_h);
}

// Two buildings of the test kit side by side, and between them one of a style without units.
Scene Street(const Kit& i_kit, bool i_withEmpty) {
  Frame beside;
  beside.zpos = 10;
  std::vector<SceneBuilding> buildings{MakeSceneBuilding(Box("T", 2, 1, 3), i_kit, Frame{}, "first")};
  if (i_withEmpty) buildings.push_back(MakeSceneBuilding(Box("Z", 1, 1, 1), i_kit, Frame{}, "empty"));
  buildings.push_back(MakeSceneBuilding(Box("T", 1, 3, 2), i_kit, beside, "second"));
  return HeldScene(i_kit, std::move(buildings));
}

std::string Write(const Scene& i_scene, const char* i_output, const SceneOptions& i_options,
                  SceneReport& o_report) {
  std::ostringstream out;
  o_report = WriteScene(i_scene, FormatOfOutput(i_output), i_options, out);
  return out.str();
}

TEST(WriteScene, BuildingsFollowEachOtherWithTheirIndicesOnAnyNumberOfThreads) {
  const Kit kit = LoadKit(BuildingTest::kKit, {"T"});
  const Scene scene = Street(kit, false);
  SceneOptions options;
  options.obj.objectLines = true;
  SceneReport report;
  const std::string text = Write(scene, "street.obj", options, report);
  ASSERT_EQ(report.error, SceneError::None);
  EXPECT_EQ(report.buildings, 2u);
  EXPECT_EQ(BuildingTest::Lines(text, "o "), (Strings{"o first", "o second"}));
  EXPECT_EQ(BuildingTest::Lines(text, "v ").size(), report.totals.vertices);
  EXPECT_EQ(BuildingTest::CheckIndices(text), "");
  // The survey alone counts what is written.
  const SceneSurvey survey = SurveyScene(scene, FormatOfOutput("street.obj"), options);
  EXPECT_EQ(survey.totals.vertices, report.totals.vertices);
  EXPECT_EQ(survey.buildings, 2u);

  options.obj.jobs = 3;
  SceneReport threaded;
  EXPECT_EQ(Write(scene, "street.obj", options, threaded), text);
}

TEST(WriteScene, TheFirstBuildingThatPlacesNothingIsNamedAndNothingIsWritten) {
  const Kit kit = LoadKit(BuildingTest::kKit, {"T", "Z"});
  const Scene scene = Street(kit, true);
  for (const char* output : {"street.obj", "street.glb"}) {
    const SceneSurvey survey = SurveyScene(scene, FormatOfOutput(output), SceneOptions{});
    EXPECT_EQ(survey.error, SceneError::NothingPlaced) << output;
    EXPECT_EQ(survey.failedBuilding, 1u) << output;
    SceneReport report;
    EXPECT_EQ(Write(scene, output, SceneOptions{}, report), "") << output;
    EXPECT_EQ(report.error, SceneError::NothingPlaced) << output;
  }
}

// A scene surveyed in parts at once is surveyed as a whole: counts added, pieces in the order the
// whole scene first places them, and a refused building numbered in the whole scene.
TEST(WriteScene, ASurveyInPartsIsTheSurveyOfTheWhole) {
  const Kit kit = LoadKit(BuildingTest::kKit, {"T", "Z"});
  const std::vector<SceneBuilding> buildings{MakeSceneBuilding(Box("T", 1, 1, 1), kit, Frame{}, "small"),
                                             MakeSceneBuilding(Box("T", 3, 2, 4), kit, Frame{}, "large"),
                                             MakeSceneBuilding(Box("T", 2, 1, 3), kit, Frame{}, "mid"),
                                             MakeSceneBuilding(Box("Z", 1, 1, 1), kit, Frame{}, "empty")};
  const auto scene = [&](std::size_t i_first, std::size_t i_end) {
    return HeldScene(kit, std::vector<SceneBuilding>(buildings.begin() + i_first, buildings.begin() + i_end));
  };
  const OutputFormat& obj = FormatOfOutput("street.obj");
  const SceneSurvey whole = SurveyScene(scene(0, 3), obj, SceneOptions{});
  const SceneSurvey parts = SurveyScenes({scene(0, 1), scene(1, 2), scene(2, 3)}, obj, SceneOptions{});
  ASSERT_EQ(parts.error, SceneError::None);
  EXPECT_EQ(parts.buildings, 3u);
  EXPECT_EQ(parts.totals.vertices, whole.totals.vertices);
  EXPECT_EQ(parts.totals.uvs, whole.totals.uvs);
  EXPECT_EQ(parts.pieces, whole.pieces);
  EXPECT_EQ(parts.names.used, whole.names.used);
  EXPECT_EQ(parts.names.defaultName, whole.names.defaultName);

  const SceneSurvey refused = SurveyScenes({scene(0, 2), scene(2, 4)}, obj, SceneOptions{});
  EXPECT_EQ(refused.error, SceneError::NothingPlaced);
  EXPECT_EQ(refused.failedBuilding, 3u);
}

// OBJ indices are 32-bit: a scene whose vertices would pass them is refused whole, while a .glb,
// whose limit is its size, takes it.
TEST(WriteScene, AFormatRefusesWhatItCannotHoldBeforeItsFirstByte) {
  const Kit kit = LoadKit(BuildingTest::kKit, {"T"});
  const Scene scene = Street(kit, false);
  SceneOptions options;
  options.obj.vertexOffset = kMaxIndex - 10;
  SceneReport report;
  EXPECT_EQ(Write(scene, "street.obj", options, report), "");
  EXPECT_EQ(report.error, SceneError::TooLarge);
  EXPECT_NE(Write(scene, "street.glb", options, report), "");
  EXPECT_EQ(report.error, SceneError::None);
  EXPECT_GT(report.triangles, 0u);
}

TEST(WriteScene, AKitWithoutAUnitSizeGivesNoBuilding) {
  TestSupport::ScratchDir empty;
  const Kit kit = LoadKit(empty.path.string(), {"T"});
  for (const char* output : {"b.obj", "b.glb", "b.gltf"}) {
    SceneReport report;
    EXPECT_EQ(Write(RequestScene(kit, Box("T", 1, 1, 1)), output, SceneOptions{}, report), "") << output;
    EXPECT_EQ(report.error, SceneError::NoBaseUnits) << output;
  }
}

TEST(Formats, AnOutputsNameChoosesItsFormatInAnyCase) {
  const auto extension = [](const char* i_name) { return std::string(FormatOfOutput(i_name).extension); };
  EXPECT_EQ(extension("a.glb"), ".glb");
  EXPECT_EQ(extension("A.GLB"), ".glb");
  EXPECT_EQ(extension(".glb"), ".glb");
  EXPECT_EQ(extension("dir.glb/a.gLtF"), ".gltf");
  EXPECT_EQ(extension("a.obj"), "");
  EXPECT_EQ(extension("a.glb.obj"), "");
  EXPECT_EQ(extension("glb"), "");
  EXPECT_EQ(extension("a.gltf.bak"), "");
  EXPECT_EQ(&FormatOfOutput("a.mtl"), &OutputFormats().front());
}

// The file beside an output is named to its writer as the output will name it: a library by its
// file name, its textures relative to its folder; a .gltf's buffer as a relative URI.
TEST(Formats, TheSideFileIsToldToItsWriterAsTheOutputNamesIt) {
  SceneOptions options;
  const OutputFormat& obj = FormatOfOutput("a.obj");
  obj.beside("out/dir/a b.mtl", nullptr, options);
  EXPECT_EQ(options.obj.libraryName, "a b.mtl");
  EXPECT_EQ(options.obj.libraryFolder, "out/dir");
  obj.beside("a.mtl", nullptr, options);
  EXPECT_EQ(options.obj.libraryFolder, ".");

  std::ostringstream buffer;
  FormatOfOutput("a.gltf").beside("out/my city#1%.bin", &buffer, options);
  EXPECT_EQ(options.gltf.buffer, &buffer);
  EXPECT_EQ(options.gltf.bufferUri, "my%20city%231%25.bin");
}

}  // namespace
