// The OBJ reader: corner forms, white space, line ends, long lines, relative and invalid
// indices, malformed numbers, appending, unopenable paths, and the fixtures of mended faults.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstring>
#include <locale>
#include <sstream>

#include <ostrel/ext/Obj.h>
#include "TestSupport.h"

namespace {

using TestSupport::ScratchDir;
using TestSupport::WriteFile;
using U32s = std::vector<std::uint32_t>;

// The seven arrays that Obj::Read appends to.
struct Arrays {
  std::vector<Obj::VectorF> vertices, normals;
  std::vector<Obj::UV> uvs;
  U32s vindices, nindices, uvindices, polycount;

  bool Read(const std::string& i_path) {
    return Obj::Read(i_path, vertices, normals, uvs, vindices, nindices, uvindices, polycount);
  }
};

Arrays ReadText(const std::string& i_text) {
  ScratchDir dir;
  WriteFile(dir / "mesh.obj", i_text);
  Arrays arrays;
  EXPECT_TRUE(arrays.Read(dir / "mesh.obj"));
  return arrays;
}

Obj::Mesh ParseText(std::string_view i_text) {
  Obj::Mesh mesh;
  Obj::Parse(i_text, mesh);
  return mesh;
}

std::string Fixture(const std::string& i_name) { return std::string(TOWERKIT_TEST_DATA) + "/obj/" + i_name; }

// Bit-exact, so that -0 and 0 differ.
bool SameFloat(float i_a, float i_b) { return std::memcmp(&i_a, &i_b, sizeof i_a) == 0; }

::testing::AssertionResult VectorIs(const Obj::VectorF& i_v, float i_x, float i_y, float i_z) {
  if (SameFloat(i_v.x, i_x) && SameFloat(i_v.y, i_y) && SameFloat(i_v.z, i_z))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << i_v.x << ", " << i_v.y << ", " << i_v.z << ") instead of ("
                                       << i_x << ", " << i_y << ", " << i_z << ")";
}

const char* const kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

TEST(ObjReader, CornerForms) {
  std::string cube;
  for (int i = 0; i < 8; ++i)
    cube +=
        "v " + std::to_string(i & 1) + " " + std::to_string(i >> 1 & 1) + " " + std::to_string(i >> 2) + "\n";
  for (int i = 0; i < 6; ++i) cube += "vn 0 0 " + std::to_string(i) + "\n";
  for (int i = 0; i < 4; ++i) cube += "vt " + std::to_string(i & 1) + " " + std::to_string(i >> 1) + "\n";
  cube += "f 1/1/1 2/2/1 4/4/1 3/3/1\nf 5/1/2 6/2/2 8/4/2 7/3/2\nf 1/1/3 2/2/3 6/4/3 5/3/3\n";
  cube += "f 3/1/4 4/2/4 8/4/4 7/3/4\nf 1/1/5 3/2/5 7/4/5 5/3/5\nf 2/1/6 4/2/6 8/4/6 6/3/6\n";
  const Arrays a = ReadText(cube);
  EXPECT_EQ(a.vertices.size(), 8u);
  EXPECT_EQ(a.normals.size(), 6u);
  EXPECT_EQ(a.uvs.size(), 4u);
  EXPECT_EQ(a.vindices.size(), 24u);
  EXPECT_EQ(a.uvindices.size(), 24u);
  EXPECT_EQ(a.nindices.size(), 24u);
  EXPECT_EQ(a.polycount, U32s(6, 4));
  EXPECT_EQ(a.vindices[0], 0u);
  EXPECT_EQ(a.uvindices[0], 0u);
  EXPECT_EQ(a.nindices[0], 0u);
  EXPECT_EQ(a.nindices[23], 5u);

  const std::string many =
      std::string(kTriangle) + kTriangle +
      "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\nvn 0 0 1\nvn 0 1 0\nvn 1 0 0\n";
  struct Case {
    const char* face;
    U32s v, uv, n, count;
  };
  const Case cases[] = {
      {"f 1//3 2//3 3//3", {0, 1, 2}, {}, {2, 2, 2}, {3}},
      {"f 1/2 3/4 5/6 6/8", {0, 2, 4, 5}, {1, 3, 5, 7}, {}, {4}},
      {"f 1 2 3", {0, 1, 2}, {}, {}, {3}},
      {"f 1/2/3/4 2/1/1/9 3/3/2", {0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {3}},  // a fourth field is ignored
      {"f 1/1 2//1 3", {0, 1, 2}, {0}, {0}, {3}},                         // mixed forms append per field
      {"f 1/ 2// 3", {0, 1, 2}, {}, {}, {3}},                             // empty trailing fields are absent
      {"f", {}, {}, {}, {0}},
      {"f 1 2 3 4 5 6", {0, 1, 2, 3, 4, 5}, {}, {}, {6}},
  };
  for (const Case& c : cases) {
    const Arrays r = ReadText(many + c.face + "\n");
    EXPECT_EQ(r.vindices, c.v) << c.face;
    EXPECT_EQ(r.uvindices, c.uv) << c.face;
    EXPECT_EQ(r.nindices, c.n) << c.face;
    EXPECT_EQ(r.polycount, c.count) << c.face;
  }

  // The mesh keeps each corner whole, so mixed forms stay aligned.
  const Obj::Mesh mesh = ParseText(many + "f 1/1 2//1 3\n");
  ASSERT_EQ(mesh.corners.size(), 3u);
  EXPECT_EQ(mesh.corners[0].uv, 0u);
  EXPECT_EQ(mesh.corners[0].n, Obj::kAbsent);
  EXPECT_EQ(mesh.corners[1].uv, Obj::kAbsent);
  EXPECT_EQ(mesh.corners[1].n, 0u);
  EXPECT_EQ(mesh.corners[2].uv, Obj::kAbsent);
  EXPECT_EQ(mesh.corners[2].n, Obj::kAbsent);
}

TEST(ObjReader, WhiteSpaceAndKeywords) {
  const char* const triangles[] = {
      "f 1  2 3", "f 1 2 3   ", "f\t1\t2\t3", " f 1 2 3", "\t f 1 2 3", "f 1 2 3 \r", "f\v1\f2 \t 3",
  };
  for (const char* face : triangles) {
    const Obj::Mesh mesh = ParseText(std::string(kTriangle) + face + "\n");
    EXPECT_EQ(mesh.polycount, U32s{3}) << face;
    EXPECT_EQ(mesh.corners.size(), 3u) << face;
  }

  // Nothing but v, vt, vn and f lines counts; a keyword must stand alone.
  const Obj::Mesh other = ParseText(
      "# v 1 2 3\no cube\ng side\ns 1\nusemtl red\nmtllib x.mtl\nl 1 2\n\n   \nv1.0 2 3\nf1 2 3\nV 1 2 3\nvp "
      "1 2\n");
  EXPECT_TRUE(other.vertices.empty() && other.uvs.empty() && other.normals.empty() &&
              other.polycount.empty());

  const Obj::Mesh spaced = ParseText("   v 1 2 3\n\tvt 4 5 6\n vn\t7\t8\t9\n");
  ASSERT_EQ(spaced.vertices.size(), 1u);
  EXPECT_TRUE(VectorIs(spaced.vertices[0], 1, 2, 3));
  ASSERT_EQ(spaced.uvs.size(), 1u);
  EXPECT_EQ(spaced.uvs[0].u, 4);
  EXPECT_EQ(spaced.uvs[0].v, 5);
  ASSERT_EQ(spaced.normals.size(), 1u);
  EXPECT_TRUE(VectorIs(spaced.normals[0], 7, 8, 9));
}

TEST(ObjReader, LineEndsAndLongLines) {
  const std::string lf = "v 1 2 3\nvt 0.5 0.25\nvn 0 0 1\nv 4 5 6\nv 7 8 9\nf 1/1/1 2/1/1 3/1/1\n";
  std::string crlf;
  for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const Obj::Mesh a = ParseText(lf), b = ParseText(crlf);
  const Obj::Mesh c = ParseText(lf.substr(0, lf.size() - 1));  // no final line end
  for (const Obj::Mesh* m : {&b, &c}) {
    ASSERT_EQ(m->vertices.size(), 3u);
    EXPECT_TRUE(VectorIs(m->vertices[2], 7, 8, 9));
    EXPECT_EQ(m->polycount, a.polycount);
    ASSERT_EQ(m->corners.size(), 3u);
    EXPECT_EQ(m->corners[2].v, 2u);
  }

  const Obj::Mesh empty = ParseText("");
  EXPECT_TRUE(empty.vertices.empty() && empty.polycount.empty());

  // A NUL byte ends its line, as a line buffer would; the next line still counts.
  const Obj::Mesh nul = ParseText(std::string("v 1 2\0 3\nf 1 1 1\0 1\n", 20));
  ASSERT_EQ(nul.vertices.size(), 1u);
  EXPECT_TRUE(VectorIs(nul.vertices[0], 1, 2, 0));
  EXPECT_EQ(nul.polycount, U32s{3});

  // Long lines are read whole and reading goes on after them.
  const std::string blanks(100000, ' ');
  const Obj::Mesh wide = ParseText("# " + std::string(5000, 'x') + "\nv 1" + blanks + "2" + blanks +
                                   "3\nf 1" + blanks + "1 1" + blanks + "\nvn 0 0 1\n");
  ASSERT_EQ(wide.vertices.size(), 1u);
  EXPECT_TRUE(VectorIs(wide.vertices[0], 1, 2, 3));
  EXPECT_EQ(wide.polycount, U32s{3});
  EXPECT_EQ(wide.normals.size(), 1u);
}

TEST(ObjReader, RelativeIndices) {
  const Obj::Mesh mesh = ParseText(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 1\nvn 0 0 1\n"
      "f -3/-2/-1 -2/-1/-1 -1/-1/-1\n"
      "v 5 5 5\nvn 1 0 0\n"
      "f -1//-1 1//-2 -4//1\n");
  ASSERT_EQ(mesh.corners.size(), 6u);
  const std::uint32_t expected[6][3] = {
      {0, 0, 0}, {1, 1, 0}, {2, 1, 0}, {3, Obj::kAbsent, 1}, {0, Obj::kAbsent, 0}, {0, Obj::kAbsent, 0}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(mesh.corners[i].v, expected[i][0]) << "corner " << i;
    EXPECT_EQ(mesh.corners[i].uv, expected[i][1]) << "corner " << i;
    EXPECT_EQ(mesh.corners[i].n, expected[i][2]) << "corner " << i;
  }
  EXPECT_EQ(mesh.polycount, (U32s{3, 3}));
}

TEST(ObjReader, InvalidIndicesDropTheFaceOrTheField) {
  // Three vertices, one texture coordinate, one normal; the final face is valid.
  const std::string head = std::string(kTriangle) + "vt 0 0\nvn 0 0 1\n";
  // A vertex index that names no vertex drops its whole face.
  // clang-format off
  const char* const invalid[] = {
      "f 0 1 2", "f 1 2 4", "f 1 2 -4", "f 1 x 3", "f 1 -0 3", "f 1 + 3", "f /1/1 2 3", "f //1 2 3", "f 1 / 3",
      "f 99999999999 1 2", "f -99999999999 1 2", "f 2147483647 1 2", "f -2147483648 1 2",
  };
  // clang-format on
  for (const char* face : invalid) {
    std::vector<Obj::Finding> findings;
    Obj::Mesh mesh;
    Obj::Parse(head + face + "\nf 1/1/1 2/1/1 3/1/1\n", mesh, &findings);
    EXPECT_EQ(mesh.polycount, U32s{3}) << face;
    ASSERT_EQ(mesh.corners.size(), 3u) << face;
    EXPECT_EQ(mesh.corners[0].v, 0u) << face;
    ASSERT_EQ(findings.size(), 1u) << face;
    EXPECT_EQ(findings[0].line, 6u) << face;
    EXPECT_EQ(findings[0].message.rfind("face left out: ", 0), 0u) << findings[0].message;
  }

  // A texture or normal index that names nothing is dropped from its corner alone, as an export
  // that lost its vn lines but kept "f 1/1/1 ..." still gives its faces.
  struct Field {
    const char* face;
    const char* message;
  };
  const Field fields[] = {
      {"f 1/2 2/1 3/1", "texture coordinate 2 is not in the file: its corner is kept without one"},
      {"f 1//2 2//1 3//1", "normal 2 is not in the file: its corner is kept without one"},
      {"f 1/0 2/1 3/1", "corner '1/0' names no texture coordinate: it is kept without one"},
      {"f 1/-2 2/1 3/1", "corner '1/-2' names no texture coordinate: it is kept without one"},
  };
  for (const Field& field : fields) {
    std::vector<Obj::Finding> findings;
    Obj::Mesh mesh;
    Obj::Parse(head + field.face + "\n", mesh, &findings);
    ASSERT_EQ(mesh.polycount, U32s{3}) << field.face;
    EXPECT_EQ(mesh.corners[0].uv, Obj::kAbsent) << field.face;
    EXPECT_EQ(mesh.corners[0].n, Obj::kAbsent) << field.face;
    EXPECT_EQ(mesh.corners[1].v, 1u) << field.face;
    ASSERT_EQ(findings.size(), 1u) << field.face;
    EXPECT_EQ(findings[0].line, 6u);
    EXPECT_EQ(findings[0].message, field.message);
  }

  // Index text reads as atoi does, and a face may name a vertex that comes later in the file.
  const Obj::Mesh later = ParseText("f 1 2abc +4\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 5 1 2\n");
  EXPECT_EQ(later.polycount, U32s{3});
  ASSERT_EQ(later.corners.size(), 3u);
  EXPECT_EQ(later.corners[1].v, 1u);
  EXPECT_EQ(later.corners[2].v, 3u);

  // Whatever survives names elements of its own file.
  const Obj::Mesh mixed = ParseText("f 1 2 3\nv 0 0 0\nf 1 2 -1\nvt 0 0\nf 1/1 1/1 1/2\nf 1/1 1/1 1/-1\nf\n");
  EXPECT_EQ(mixed.polycount, (U32s{3, 3, 0}));
}

// Every line that is left out, or read in part, is told with its number; lines that only name or
// group things are not.
TEST(ObjReader, FindingsNameTheLine) {
  std::vector<Obj::Finding> findings;
  Obj::Mesh mesh;
  const std::string nul("v 1 2 3\0tail\n", 13);
  Obj::Parse(
      "# a comment\no piece\ng part\ns 1\nv 1 2\nvn 1 x 3\nl 1 2\n" + nul + "usemtl a\nmtllib a.mtl\n\n",
      mesh, &findings);
  std::vector<std::string> told;
  for (const Obj::Finding& finding : findings)
    told.push_back(std::to_string(finding.line) + " " + finding.message);
  EXPECT_EQ(told,
            (std::vector<std::string>{
                "5 v takes 3 numbers; number 3 is missing: it reads as 0, with the rest of the line",
                "6 vn takes 3 numbers; number 2 'x 3' is not a finite number: it reads as 0, with the rest "
                "of the line",
                "7 statement 'l' is not read: the line is left out",
                "8 a NUL byte ends the line: what follows it is left out",
            }));
  std::vector<Obj::FindingKind> kinds;
  for (const Obj::Finding& finding : findings) kinds.push_back(finding.kind);
  EXPECT_EQ(kinds, (std::vector<Obj::FindingKind>{
                       Obj::FindingKind::PositionIncomplete, Obj::FindingKind::AttributeIncomplete,
                       Obj::FindingKind::StatementIgnored, Obj::FindingKind::LineCut}));
}

// The lines of vertices and of the faces kept, with or without findings: a face left out (here
// one naming vertex 9, found only once the file is read) takes its line with it.
TEST(ObjReader, SourceLinesFollowTheFacesKept) {
  const std::string text = "v 0 0 0\n# gap\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 1 2 9\nf 3 2 1\nf 1 2\n";
  Obj::Mesh mesh;
  Obj::SourceLines lines;
  Obj::Parse(text, mesh, nullptr, &lines);
  EXPECT_EQ(lines.vertices, (std::vector<std::size_t>{1, 3, 4}));
  EXPECT_EQ(lines.faces, (std::vector<std::size_t>{5, 7, 8}));
  std::vector<Obj::Finding> findings;
  Obj::Parse(text, mesh, &findings, &lines);
  EXPECT_EQ(lines.faces, (std::vector<std::size_t>{5, 7, 8}));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].line, 6u);
  EXPECT_EQ(findings[0].kind, Obj::FindingKind::FaceLeftOut);
}

// What classic-locale stream extraction gives for a v line's three components: a failed
// component is 0, and so is every later one.
Obj::VectorF StreamVertex(const std::string& i_components) {
  std::istringstream in(i_components);
  in.imbue(std::locale::classic());
  float xyz[3] = {0, 0, 0};
  for (float& component : xyz) {
    float value = 0;
    if (!(in >> value)) break;
    component = value;
  }
  return Obj::VectorF(xyz[0], xyz[1], xyz[2]);
}

// clang-format off
const char* const kTrickyTokens[] = {
    "+1", "-0", "1,5", "1e", "1e+", ".5", "5.", ".", "-", "0x10", "inf", "nan", "1e39", "1e-39", "1e-50",
    "00012", "1.5abc", "--1", "+-1", "-.5", "+.5", "1.2.3", "1e5e3", "1E+2", "1e-2.5", "e5", ".e5",
    "0e999999", "-1e-50", "1e-45", "7e-46", "3.4028235e38", "3.4028236e38", "-3.5e38", "1.17549435e-38",
    "0.000000000000000000000000000000000000000000001", "123456789012345678901234567890",
    "1e+0000000000000000000038", "100000000000000000000000000000000000000000e-40", "1e2147483648",
    "1e-2147483649", "+", "+e1", "0.", "00.00", "1.e", "1-2", "\x80" "1", "1\xc2\xa0" "2",
    "16777216", "16777217", "-1677721.7", "1677721.8", "0.0000000001", "0.00000000001", "-0.0", "0.1",
    "0.30000001", "2.5000000", "99999999999", "0.99999999995", "1.5e", "1.5.e3",
    "0.12345678", "0.123456789", "1.6777216", "1.67772161", "16.777217", "3.1415926/", "2.7182818:",
    "0.5\x80" "1", "0.25\xff", "1.12345678e1", "-0.00822577",
};
// clang-format on

// Each face keeps the material of the last usemtl before it, also when faces around it are
// dropped; libraries and names are listed once each.
TEST(ObjReader, MaterialsOfFaces) {
  const Obj::Mesh mesh = ParseText(std::string(kTriangle) +
                                   "mtllib walls.mtl glass.mtl\n"
                                   "f 1 2 3\n"
                                   "usemtl  brick wall \r\n"
                                   "f 1 2 3\n"
                                   "f 1 2 9\n"  // dropped: index out of range
                                   "usemtl glass\n"
                                   "mtllib walls.mtl\n"
                                   "f 3 2 1\n"
                                   "usemtl brick wall\n"
                                   "f 2 3 1\n"
                                   "usemtl\n"
                                   "f 1 3 2\n");
  EXPECT_EQ(mesh.libraries, std::vector<std::string>({"walls.mtl", "glass.mtl"}));
  EXPECT_EQ(mesh.materials, std::vector<std::string>({"brick wall", "glass"}));
  EXPECT_EQ(mesh.faceMaterials, U32s({Obj::kNoMaterial, 0, 1, 0, Obj::kNoMaterial}));
  EXPECT_EQ(mesh.polycount.size(), mesh.faceMaterials.size());
}

TEST(ObjReader, NumbersReadAsTheClassicStreamDoes) {
  for (const char* token : kTrickyTokens) {
    for (const std::string& components : {std::string(token), std::string(token) + " 7 8",
                                          "7 " + std::string(token) + " 8", "7 8 " + std::string(token)}) {
      const Obj::Mesh mesh = ParseText("v " + components + "\n");
      ASSERT_EQ(mesh.vertices.size(), 1u) << components;
      const Obj::VectorF expected = StreamVertex(components);
      EXPECT_TRUE(VectorIs(mesh.vertices[0], expected.x, expected.y, expected.z)) << '"' << components << '"';
    }
  }

  // A value that is not a finite float never reaches the arrays.
  const Obj::Mesh big = ParseText("v 1e39 1 1\nvn 1 -1e39 1\nvt 1 1e999\n");
  EXPECT_TRUE(VectorIs(big.vertices[0], 0, 0, 0));
  EXPECT_TRUE(VectorIs(big.normals[0], 1, 0, 0));
  EXPECT_EQ(big.uvs[0].u, 1);
  EXPECT_EQ(big.uvs[0].v, 0);

  const Obj::Mesh shortLines = ParseText("v 1 2\nv 1 x 3\nvt 0.5 0.25 0\nvn\nv -0 +2 1e-50\n");
  EXPECT_TRUE(VectorIs(shortLines.vertices[0], 1, 2, 0));
  EXPECT_TRUE(VectorIs(shortLines.vertices[1], 1, 0, 0));
  EXPECT_TRUE(VectorIs(shortLines.vertices[2], -0.0f, 2, 0));
  EXPECT_EQ(shortLines.uvs[0].u, 0.5f);
  EXPECT_EQ(shortLines.uvs[0].v, 0.25f);
  EXPECT_TRUE(VectorIs(shortLines.normals[0], 0, 0, 0));
}

// Decimals whose digits are a whole number of up to 2^24 with up to ten places, and just beyond,
// read to the very bits std::from_chars gives.
TEST(ObjReader, PlainDecimalsAreRoundedCorrectly) {
  std::uint64_t state = 12345;
  auto next = [&state] {
    state = state * 6364136223846793005u + 1442695040888963407u;
    return state >> 33;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::uint64_t whole = next() % ((std::uint64_t{1} << 24) + 2 + (i % 4 == 0 ? 1000000 : 0));
    const int places = static_cast<int>(next() % 12);
    std::string text = std::to_string(whole);
    if (places > 0) {
      text.insert(0, std::string(static_cast<std::size_t>(std::max(0, places + 1 - static_cast<int>(text.size()))), '0'));
      text.insert(text.size() - static_cast<std::size_t>(places), ".");
    }
    if (i % 2 == 1) text.insert(0, "-");
    float expected = 0;
    std::from_chars(text.data(), text.data() + text.size(), expected);
    const Obj::Mesh mesh = ParseText("vt " + text + " " + text + "\n");
    ASSERT_EQ(mesh.uvs.size(), 1u) << text;
    ASSERT_TRUE(SameFloat(mesh.uvs[0].u, expected)) << text;
  }
}

// Digits are read eight at a time, the last of a line from the bytes before its end: the digits
// that follow the text given, or a NUL byte, are no part of it.
TEST(ObjReader, NumbersEndWhereTheTextEnds) {
  const std::string text = "v 1.5 2.25 3.125999\nv 7";
  const Obj::Mesh cut = ParseText(std::string_view(text.data(), 16));  // up to "3.125"
  ASSERT_EQ(cut.vertices.size(), 1u);
  EXPECT_TRUE(VectorIs(cut.vertices[0], 1.5f, 2.25f, 3.125f));
  const std::string shortText = "vt 1.25 42";  // a text shorter than a word: "vt 1.2"
  const Obj::Mesh tiny = ParseText(std::string_view(shortText.data(), 6));
  ASSERT_EQ(tiny.uvs.size(), 1u);
  EXPECT_EQ(tiny.uvs[0].u, 1.2f);
  const Obj::Mesh nul = ParseText(std::string_view("v 1 2 3.5\0" "77\nv 12.5 0.0625 -8\n", 30));
  ASSERT_EQ(nul.vertices.size(), 2u);
  EXPECT_TRUE(VectorIs(nul.vertices[0], 1, 2, 3.5f));
  EXPECT_TRUE(VectorIs(nul.vertices[1], 12.5f, 0.0625f, -8));
}

// A decimal comma and digit grouping, as some national locales have.
struct CommaNumpunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// Restores the global C++ and C locales when it goes.
struct LocaleGuard {
  std::locale saved = std::locale();
  std::string savedC = std::setlocale(LC_ALL, nullptr);
  ~LocaleGuard() {
    std::locale::global(saved);
    std::setlocale(LC_ALL, savedC.c_str());
  }
};

void ExpectClassicNumbers() {
  const Obj::Mesh mesh = ParseText("v 1.5 2,5 3\nv 1.000 -2.25e1 1e-05\n");
  ASSERT_EQ(mesh.vertices.size(), 2u);
  EXPECT_TRUE(VectorIs(mesh.vertices[0], 1.5f, 2, 0));
  EXPECT_TRUE(VectorIs(mesh.vertices[1], 1, -22.5f, 1e-05f));
}

TEST(ObjReader, NumbersIgnoreACustomGlobalLocale) {
  LocaleGuard guard;
  std::locale::global(std::locale(std::locale::classic(), new CommaNumpunct));
  ExpectClassicNumbers();
}

TEST(ObjReader, NumbersIgnoreANamedProcessLocale) {
  LocaleGuard guard;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) == nullptr) continue;
    std::locale::global(std::locale(name));
    ExpectClassicNumbers();
    return;
  }
  GTEST_SKIP() << "no locale with a decimal comma is installed";
}

TEST(ObjReader, AppendsToFilledArrays) {
  ScratchDir dir;
  WriteFile(dir / "a.obj", "v 1 1 1\nv 2 2 2\nvt 0 0\nvn 0 1 0\nf 1/1/1 2/1/1 1/1/1\n");
  WriteFile(dir / "b.obj", "v 3 3 3\nv 4 4 4\nv 5 5 5\nvn 1 0 0\nf 3//1 2//1 1//1 3//1\nf -1 -2 -3\n");
  Arrays arrays;
  ASSERT_TRUE(arrays.Read(dir / "a.obj"));
  ASSERT_TRUE(arrays.Read(dir / "b.obj"));
  ASSERT_EQ(arrays.vertices.size(), 5u);
  EXPECT_TRUE(VectorIs(arrays.vertices[2], 3, 3, 3));
  EXPECT_EQ(arrays.normals.size(), 2u);
  EXPECT_EQ(arrays.uvs.size(), 1u);
  EXPECT_EQ(arrays.vindices, (U32s{0, 1, 0, 2, 1, 0, 2, 2, 1, 0}));
  EXPECT_EQ(arrays.uvindices, (U32s{0, 0, 0}));
  EXPECT_EQ(arrays.nindices, (U32s{0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(arrays.polycount, (U32s{3, 4, 3}));

  // Parse replaces a mesh rather than appending to it.
  Obj::Mesh mesh = ParseText("v 1 1 1\nf 1 1 1\n");
  Obj::Parse("vn 0 0 1\n", mesh);
  EXPECT_TRUE(mesh.vertices.empty() && mesh.corners.empty() && mesh.polycount.empty());
  EXPECT_EQ(mesh.normals.size(), 1u);
}

TEST(ObjReader, UnopenablePaths) {
  ScratchDir dir;
  WriteFile(dir / "empty.obj", "");
  ASSERT_EQ(mkfifo((dir / "fifo.obj").c_str(), 0600), 0);
  WriteFile(dir / "locked.obj", "v 1 1 1\n");
  chmod((dir / "locked.obj").c_str(), 0);
  const bool root = geteuid() == 0;  // root opens a file whatever its mode

  Arrays arrays;
  arrays.vertices.emplace_back(9.0f, 9.0f, 9.0f);
  arrays.polycount.push_back(7);
  EXPECT_TRUE(arrays.Read(dir / "empty.obj"));
  for (const std::string& path :
       {dir / "missing.obj", dir.path.string(), dir / "fifo.obj", std::string("/dev/null"), std::string(""),
        root ? std::string("/nonexistent/x.obj") : dir / "locked.obj"}) {
    EXPECT_FALSE(arrays.Read(path)) << path;
  }
  EXPECT_EQ(arrays.vertices.size(), 1u);
  EXPECT_EQ(arrays.polycount, U32s{7});
  EXPECT_TRUE(arrays.normals.empty() && arrays.uvs.empty() && arrays.vindices.empty());

  Obj::Mesh mesh = ParseText("v 1 1 1\n");
  EXPECT_FALSE(Obj::ReadMesh(dir.path.string(), mesh));
  EXPECT_TRUE(mesh.vertices.empty());
}

// Fails the test where the mesh read from a file is not the one its text parses to.
void ExpectSameMesh(const Obj::Mesh& i_read, const Obj::Mesh& i_parsed) {
  ASSERT_EQ(i_read.vertices.size(), i_parsed.vertices.size());
  for (std::size_t i = 0; i < i_read.vertices.size(); ++i) {
    ASSERT_TRUE(VectorIs(i_read.vertices[i], i_parsed.vertices[i].x, i_parsed.vertices[i].y, i_parsed.vertices[i].z))
        << i;
  }
  EXPECT_EQ(i_read.uvs.size(), i_parsed.uvs.size());
  EXPECT_EQ(i_read.normals.size(), i_parsed.normals.size());
  ASSERT_EQ(i_read.corners.size(), i_parsed.corners.size());
  for (std::size_t i = 0; i < i_read.corners.size(); ++i) {
    ASSERT_EQ(i_read.corners[i].v, i_parsed.corners[i].v) << i;
    ASSERT_EQ(i_read.corners[i].uv, i_parsed.corners[i].uv) << i;
    ASSERT_EQ(i_read.corners[i].n, i_parsed.corners[i].n) << i;
  }
  EXPECT_EQ(i_read.polycount, i_parsed.polycount);
  EXPECT_EQ(i_read.faceMaterials, i_parsed.faceMaterials);
  EXPECT_EQ(i_read.materials, i_parsed.materials);
  EXPECT_EQ(i_read.libraries, i_parsed.libraries);
}

// Several blocks of the file reader: lines across their ends, relative indices, materials, a
// byte-order mark, CRLF and a last line without its line feed.
std::string ManyBlocksText() {
  std::string text = "\xEF\xBB\xBFmtllib a.mtl\r\n";
  for (int i = 0; i < 40000; ++i) {
    const std::string n = std::to_string(i);
    text += "v " + n + " 0." + n + " -" + n + "\nvt 0." + n + " 1\nvn 0 1 0\r\n";
    if (i % 3 == 2) text += "f -3/-3/-3 -2/-2/-2 -1/-1/-1\n";
    if (i % 1000 == 0) text += "usemtl m" + std::to_string(i % 7) + "\n";
  }
  text += "f 1 2 40000";
  return text;
}

TEST(ObjReader, AFileReadInBlocksIsItsTextParsedWhole) {
  const std::string text = ManyBlocksText();
  ScratchDir dir;
  WriteFile(dir / "big.obj", text);
  ASSERT_GT(text.size(), std::size_t{2} << 20);
  Obj::Mesh read;
  ASSERT_EQ(Obj::LoadMesh(dir / "big.obj", read).status, Ostrel::FileSystem::ReadStatus::Ok);
  ExpectSameMesh(read, ParseText(text));
  EXPECT_EQ(read.libraries, std::vector<std::string>{"a.mtl"});
  // A file of several blocks is counted before it is read: its arrays are made at their size,
  // never grown (a miscount shows as room to spare).
  EXPECT_EQ(read.vertices.capacity(), read.vertices.size());
  EXPECT_EQ(read.uvs.capacity(), read.uvs.size());
  EXPECT_EQ(read.normals.capacity(), read.normals.size());
  EXPECT_EQ(read.corners.capacity(), read.corners.size());
  EXPECT_EQ(read.polycount.capacity(), read.polycount.size());
}

TEST(ObjReader, AFileReadInTwoPartsIsItsTextParsedWhole) {
  ScratchDir dir;
  // The second part's first faces reach back into the first part, and take its last material;
  // its libraries and materials, old and new, join the first's lists; its indices beyond the
  // file's elements are checked as the whole text's.
  std::string text = ManyBlocksText();
  text.insert(text.size() / 2 + 1000, "\nmtllib b.mtl a.mtl\nusemtl m3\nusemtl fresh\nf -1 -40 5/5\n");
  text += "\nf 1 2 3 4\nmtllib c.mtl\nf 1 2 99999\nf 1/99999 2 3\n";
  // Bad lines all about the cut: faces counted but left out, some after corners were read, a face
  // without corners, and lines read in part.
  std::string bad;
  for (int i = 0; i < 40; ++i) bad += "f 1 0 2\nf 1 2 3 x\nf\nf 1 2 -99999999\nvt 1\nv 1 2\nusemtl\nf -1 -2 -3/9\n";
  std::string badAtCut = text;
  badAtCut.insert(badAtCut.find('\n', badAtCut.size() / 2) + 1, bad);
  // Counted and parsed, a line with a NUL byte differs (a vertex or a face, not a word "v\0" or
  // "f\0"), in either part: the file is read again whole.
  const std::string nulVertex("v\0 1 2 3\n", 9);
  const std::string nulFace("f\0 1 2 3\n", 9);
  std::string cut = text;
  cut.insert(cut.find("\nv ", 1000) + 1, nulVertex);
  std::string cutLate = text;
  cutLate.insert(cutLate.find("\nv ", cutLate.size() * 3 / 4) + 1, nulVertex);
  std::string cutFace = text;
  cutFace.insert(cutFace.find("\nv ", 1000) + 1, nulFace);
  // A byte-order mark before the first vertex.
  const std::string marked = "\xEF\xBB\xBFv 1 2 3\n" + text.substr(3);
  // Neither cut into parts: one line; or what follows the half is a last line.
  const std::string oneLine(100000, '#');
  const std::string lastLine = "v 1 2 3\nf 1 1 1\n" + std::string(100000, '#');
  const std::string* const files[] = {&text, &badAtCut, &cut, &cutLate, &cutFace, &marked, &oneLine, &lastLine};
  for (const std::string* file : files) {
    WriteFile(dir / "big.obj", *file);
    Obj::Mesh read;
    ASSERT_EQ(Obj::detail::LoadMesh(dir / "big.obj", read, 0).status, Ostrel::FileSystem::ReadStatus::Ok);
    ExpectSameMesh(read, ParseText(*file));
  }
  Obj::Mesh read;
  WriteFile(dir / "big.obj", text);
  ASSERT_EQ(Obj::detail::LoadMesh(dir / "big.obj", read, 0).status, Ostrel::FileSystem::ReadStatus::Ok);
  EXPECT_EQ(read.libraries, (std::vector<std::string>{"a.mtl", "b.mtl", "c.mtl"}));
  EXPECT_EQ(read.materials.back(), "fresh");
  EXPECT_EQ(read.vertices.capacity(), read.vertices.size());
  EXPECT_EQ(Obj::detail::LoadMesh(dir / "none.obj", read, 0).status, Ostrel::FileSystem::ReadStatus::NotFound);
}

// Each file reproduces one fault of a line-buffer reader that splits faces at blanks only.
TEST(ObjReader, FixturesOfMendedFaults) {
  Arrays longLine;
  ASSERT_TRUE(longLine.Read(Fixture("long_comment_line.obj")));
  EXPECT_EQ(longLine.vertices.size(), 3u);
  EXPECT_EQ(longLine.polycount, U32s{3});

  Arrays spaces;
  ASSERT_TRUE(spaces.Read(Fixture("whitespace_in_face_line.obj")));
  EXPECT_EQ(spaces.polycount, (U32s{3, 3, 3}));
  EXPECT_EQ(spaces.vindices, (U32s{0, 1, 2, 0, 1, 2, 0, 1, 2}));

  Arrays relative;
  ASSERT_TRUE(relative.Read(Fixture("relative_face_index.obj")));
  EXPECT_EQ(relative.vindices, (U32s{0, 1, 2, 1, 2, 3}));

  // Faces with a vertex index out of range go; those whose texture or normal fields name
  // nothing stay, without those fields.
  Arrays invalid;
  ASSERT_TRUE(invalid.Read(Fixture("invalid_face_index.obj")));
  EXPECT_EQ(invalid.polycount, (U32s{3, 3, 3}));
  EXPECT_EQ(invalid.vindices, (U32s{0, 1, 2, 0, 1, 2, 0, 1, 2}));
  EXPECT_TRUE(invalid.uvindices.empty() && invalid.nindices.empty());

  Arrays numbers;
  ASSERT_TRUE(numbers.Read(Fixture("malformed_number.obj")));
  ASSERT_EQ(numbers.vertices.size(), 4u);
  EXPECT_TRUE(VectorIs(numbers.vertices[0], 1, 0, 0));
  EXPECT_TRUE(VectorIs(numbers.vertices[1], 0, 0, 0));
  EXPECT_TRUE(VectorIs(numbers.vertices[2], 1, -0.0f, 2));
  EXPECT_TRUE(VectorIs(numbers.vertices[3], 0, 0, 0));
}

}  // namespace
