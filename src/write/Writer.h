#pragma once
// The one small interface every output format is written through. The scene pipeline
// (WriteScene.cpp) surveys the scene, merges its materials, then hands the format's writer a pass
// over the buildings; the writer refuses what its format cannot hold before it writes a byte, or
// writes every building. Each format's row (Formats.cpp) makes its writer.

#include <memory>
#include <ostream>
#include <string>

#include <ostrel/kit/Kit.h>
#include <ostrel/scene/Scene.h>
#include <ostrel/write/Formats.h>

namespace Ostrel::Buildings {

// What a writer is given, and where it reports.
struct WriteContext {
  const Kit& kit;
  const SceneSurvey& survey;
  const SceneOptions& options;
  std::ostream& out;
  // The material library of the scene, merged from the libraries its pieces name (Materials.h),
  // texture paths relative to ObjOptions::libraryFolder; empty when no face has a material.
  const std::string& library;
  // A pass over the buildings, each framed in the output's units.
  NextBuilding next;
  SceneReport& report;  // the writer sets TooLarge, texture warnings, the library to write, triangles
  // The scene, for a writer that passes over it more than once (FramedPass).
  const Scene* scene = nullptr;
};

class Writer {
 public:
  virtual ~Writer() = default;
  // Why the format cannot hold the surveyed scene, when that is known before any byte is
  // written: None or TooLarge.
  virtual SceneError check(const SceneSurvey& i_survey, const SceneOptions& i_options) const = 0;
  // Writes every building of the pass, or refuses the scene before its first byte
  // (io_context.report.error).
  virtual void write(WriteContext& io_context) = 0;
};

}  // namespace Ostrel::Buildings
