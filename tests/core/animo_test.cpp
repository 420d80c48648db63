// The console dump of an animated-mesh header.

#include <gtest/gtest.h>

#include <string>

#include <ostrel/core/Animo.h>

#include "TestSupport.h"

namespace {

using namespace Ostrel;
using TestSupport::Line;

class PrintHeaderTest : public TestSupport::ToolConsoleTest {
 protected:
  static std::string Print(const Animo::Header& i_header) {
    TestSupport::CaptureStdout out;
    Animo::PrintHeader(i_header);
    return out.str();
  }
};

TEST_F(PrintHeaderTest, TenAlignedLinesWithoutTheEndOffset) {
  Animo::Header header;
  header.filename = "model";
  header.version = "1";
  header.verticescount = 8;
  header.normalscount = 6;
  header.uvscount = 4;
  header.polygonscount = 6;
  header.vindicescount = 24;
  header.nindicescount = 25;
  header.uvindicescount = 4294967295u;
  header.fromframe = 0;
  header.toframe = 30;
  header.endoffset = 777;
  EXPECT_EQ(Print(header), Line("info", "Loading 'model'") + Line("info", " - version    : 1") +
                               Line("info", " - vertices   : 8") + Line("info", " - normals    : 6") +
                               Line("info", " - uvs        : 4") + Line("info", " - polygons   : 6") +
                               Line("info", " - v-indices  : 24") + Line("info", " - n-indices  : 25") +
                               Line("info", " - uv-indices : 4294967295") +
                               Line("info", " - framerange : 0-30"));
}

TEST_F(PrintHeaderTest, EmptyTextsAndFrameRanges) {
  const struct {
    float from;
    float to;
    std::string range;
  } cases[] = {
      {1, 24, "1-24"},
      {0.5f, 12.25f, "0.5-12.25"},
      {-5, 10, "-5-10"},
      {1234567, 0.1f, "1.23457e+06-0.1"},
  };
  for (const auto& c : cases) {
    Animo::Header header;
    header.fromframe = c.from;
    header.toframe = c.to;
    const std::string text = Print(header);
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), Line("info", "Loading ''"));
    EXPECT_NE(text.find(Line("info", " - version    : ")), std::string::npos);
    EXPECT_EQ(text.substr(text.rfind("[towerkit")), Line("info", " - framerange : " + c.range));
  }
}

TEST_F(PrintHeaderTest, NothingBelowTheInfoLevel) {
  for (std::uint32_t level : {0u, 1u, 2u}) {
    Message::SetVerbosity(level);
    EXPECT_EQ(Print(Animo::Header{}), "") << "level " << level;
  }
}

}  // namespace
