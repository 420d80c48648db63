// The material library reader: what each material keeps, texture statements cut into options
// and path, the finding of every line left out, line ends, and writing a material back.

#include <gtest/gtest.h>

#include <ostrel/ext/Mtl.h>
#include "TestSupport.h"

namespace {

using TestSupport::ScratchDir;
using TestSupport::WriteFile;
using Strings = std::vector<std::string>;

struct ParsedMtl {
  Mtl::Library library;
  std::vector<Mtl::Finding> findings;
};

ParsedMtl ParseMtl(std::string_view i_text) {
  ParsedMtl parsed;
  Mtl::Parse(i_text, parsed.library, parsed.findings);
  return parsed;
}

std::string Findings(const ParsedMtl& i_parsed) {
  std::string text;
  for (const Mtl::Finding& finding : i_parsed.findings)
    text += std::to_string(finding.line) + ": " + finding.message + "\n";
  return text;
}

TEST(MtlReader, MaterialsKeepTheirStatementsAndValues) {
  const ParsedMtl parsed = ParseMtl(
      "# palette\n"
      "\n"
      "newmtl  wall plaster \n"
      "\tKa 0.1 0.1 0.1\n"
      "Kd 0.8 0.7 0.6\n"
      "  # a comment inside\n"
      "Ns 96.078431\n"
      "Pr 0.5\n"
      "illum 2\n"
      "NEWMTL glass\n"
      "kd 0.25\n"
      "d 0.5\n"
      "Tr 0.75\n"
      "newmtl bare\n");
  EXPECT_EQ(Findings(parsed), "");
  const std::vector<Mtl::Material>& m = parsed.library.materials;
  ASSERT_EQ(m.size(), 3u);

  EXPECT_EQ(m[0].name, "wall plaster");
  EXPECT_EQ(m[0].line, 3u);
  EXPECT_EQ(m[0].lines, (Strings{"Ka 0.1 0.1 0.1", "Kd 0.8 0.7 0.6", "Ns 96.078431", "Pr 0.5", "illum 2"}));
  ASSERT_TRUE(m[0].kd && m[0].ns);
  EXPECT_EQ(*m[0].kd, (std::array<float, 3>{0.8f, 0.7f, 0.6f}));
  EXPECT_EQ(*m[0].ns, 96.078431f);
  EXPECT_FALSE(m[0].d);

  // One Kd number is a grey; the later of d and Tr wins.
  EXPECT_EQ(m[1].name, "glass");
  EXPECT_EQ(m[1].line, 10u);
  EXPECT_EQ(*m[1].kd, (std::array<float, 3>{0.25f, 0.25f, 0.25f}));
  ASSERT_TRUE(m[1].d);
  EXPECT_EQ(*m[1].d, 0.25f);
  EXPECT_EQ(ParseMtl("newmtl a\nTr 0.75\nd -halo 0.5\n").library.materials[0].d, 0.5f);

  EXPECT_EQ(m[2].name, "bare");
  EXPECT_TRUE(m[2].lines.empty() && !m[2].kd && !m[2].ns && !m[2].d);
}

TEST(MtlReader, TextureStatementsSplitIntoOptionsAndPath) {
  struct Case {
    const char* line;
    const char* keyword;
    const char* options;
    const char* path;
  };
  const Case cases[] = {
      {"map_Kd  textures/old  brick wall.png  ", "map_Kd", "", "textures/old  brick wall.png"},
      {"map_kd -s 2 2 1 -o 0.5 0 0 a.png", "map_kd", "-s 2 2 1 -o 0.5 0 0", "a.png"},
      {"map_Ka -t 1 2 c d.png", "map_Ka", "-t 1 2", "c d.png"},
      {"map_d -blendu off -blendv ON -cc on -clamp off m.png", "map_d",
       "-blendu off -blendv ON -cc on -clamp off", "m.png"},
      {"map_Ns -mm 0.1 1.5 -texres 512 -boost 2 n.png", "map_Ns", "-mm 0.1 1.5 -texres 512 -boost 2",
       "n.png"},
      {"map_bump -bm 0.5 -imfchan l h.png", "map_bump", "-bm 0.5 -imfchan l", "h.png"},
      {"bump -BM 1 h.png", "bump", "-BM 1", "h.png"},
      {"refl -type cube_top sky.png", "refl", "-type cube_top", "sky.png"},
      {"norm n.png", "norm", "", "n.png"},
      {"map_Pr -s 1 1 1 rough.png", "map_Pr", "-s 1 1 1", "rough.png"},
      {"map_Kd -s 1 -2 +3 4 .png", "map_Kd", "-s 1 -2 +3", "4 .png"},
  };
  for (const Case& c : cases) {
    const ParsedMtl parsed = ParseMtl(std::string("newmtl m\nKd 1 1 1\n") + c.line + "\nillum 1\n");
    EXPECT_EQ(Findings(parsed), "") << c.line;
    const Mtl::Material& material = parsed.library.materials.at(0);
    ASSERT_EQ(material.textures.size(), 1u) << c.line;
    const Mtl::Texture& texture = material.textures[0];
    EXPECT_EQ(texture.keyword, c.keyword) << c.line;
    EXPECT_EQ(texture.options, c.options) << c.line;
    EXPECT_EQ(texture.path, c.path) << c.line;
    ASSERT_EQ(texture.lineIndex, 1u) << c.line;
    EXPECT_EQ(material.lines[1], Mtl::TextureLine(texture)) << c.line;
  }
}

TEST(MtlReader, EveryLineLeftOutHasAFinding) {
  struct Case {
    std::string text;
    std::string findings;
    Strings lines;  // of the first material
  };
  const Case cases[] = {
      {"Kd 1 1 1\nnewmtl a\nKd 1 0 0\n", "1: statement before any newmtl: 'Kd 1 1 1'\n", {"Kd 1 0 0"}},
      {"newmtl a\nnewmtl\nKd 1 1 1\nnewmtl b\n", "2: newmtl without a name: 'newmtl'\n", {}},
      {"newmtl a\nKd 1\nnewmtl a\nKd 0 0 0\nmap_Kd x.png\n",
       "3: material 'a' defined again (first on line 1), this definition is left out: 'newmtl a'\n",
       {"Kd 1"}},
      {"newmtl a\nKd 1 0\nKd 1 1 1 1\nKd nan 0 0\nKd 1e39 0 0\nKd 1,5 0 0\n",
       "2: Kd takes 1 or 3 finite numbers: 'Kd 1 0'\n3: Kd takes 1 or 3 finite numbers: 'Kd 1 1 1 1'\n"
       "4: Kd takes 1 or 3 finite numbers: 'Kd nan 0 0'\n5: Kd takes 1 or 3 finite numbers: 'Kd 1e39 0 0'\n"
       "6: Kd takes 1 or 3 finite numbers: 'Kd 1,5 0 0'\n",
       {}},
      {"newmtl a\nNs\nd 0.5 1\ntr inf\nd -halo\n",
       "2: Ns takes one finite number: 'Ns'\n3: d takes one finite number: 'd 0.5 1'\n"
       "4: tr takes one finite number: 'tr inf'\n5: d takes one finite number: 'd -halo'\n",
       {}},
      {"newmtl a\nKd spectral s.rfl 1\n",
       "2: only Kd r g b colours are read, kept as written: 'Kd spectral s.rfl 1'\n",
       {"Kd spectral s.rfl 1"}},
      {"newmtl a\nmap_Kd -foo 1 a.png\nmap_Kd -s\nmap_Kd -s x a.png\nmap_Kd -mm 1 a.png\nmap_Kd -clamp maybe "
       "a.png\n"
       "map_Kd -imfchan q a.png\nmap_Kd -s 1 1 1\nmap_Kd\n",
       "2: unknown texture option '-foo': 'map_Kd -foo 1 a.png'\n"
       "3: texture option -s takes 1 to 3 numbers: 'map_Kd -s'\n"
       "4: texture option -s takes 1 to 3 numbers: 'map_Kd -s x a.png'\n"
       "5: texture option -mm takes 2 numbers: 'map_Kd -mm 1 a.png'\n"
       "6: texture option -clamp takes on or off: 'map_Kd -clamp maybe a.png'\n"
       "7: texture option -imfchan takes one of r, g, b, m, l or z: 'map_Kd -imfchan q a.png'\n"
       "8: texture without a file: 'map_Kd -s 1 1 1'\n9: texture without a file: 'map_Kd'\n",
       {}},
      {std::string("newmtl a\nKd 1 1") + '\0' + " 1\nillum 2\n",
       "2: NUL byte in the line: 'Kd 1 1? 1'\n",
       {"illum 2"}},
      {"newmtl a\rKd 1 1 1\nnewmtl b\nKd 1\rd 1\n",
       "1: carriage return inside the line: 'newmtl a?Kd 1 1 1'\n3: carriage return inside the line: 'Kd 1?d "
       "1'\n",
       {}},
      // A long line is cut in the finding, never inside a UTF-8 sequence.
      {"newmtl a\nKd " + std::string(56, 'x') + "\xC3\xA9\n",
       "2: Kd takes 1 or 3 finite numbers: 'Kd " + std::string(56, 'x') + "...'\n",
       {}},
  };
  for (const Case& c : cases) {
    const ParsedMtl parsed = ParseMtl(c.text);
    EXPECT_EQ(Findings(parsed), c.findings) << c.text;
    ASSERT_FALSE(parsed.library.materials.empty()) << c.text;
    EXPECT_EQ(parsed.library.materials[0].lines, c.lines) << c.text;
  }
}

TEST(MtlReader, LineEndsAndByteOrderMark) {
  for (const char* text : {"\xEF\xBB\xBFnewmtl a\nKd 1 0 0\n", "newmtl a\r\nKd 1 0 0\r\n",
                           "newmtl a\nKd 1 0 0", "\n\n   \nnewmtl a\n\t\nKd 1 0 0\r\n\r\n"}) {
    const ParsedMtl parsed = ParseMtl(text);
    EXPECT_EQ(Findings(parsed), "") << text;
    ASSERT_EQ(parsed.library.materials.size(), 1u) << text;
    EXPECT_EQ(parsed.library.materials[0].name, "a") << text;
    EXPECT_EQ(parsed.library.materials[0].lines, Strings{"Kd 1 0 0"}) << text;
  }
  EXPECT_EQ(ParseMtl("\n\r\nnewmtl a\nKd\n").findings.at(0).line, 4u);
  EXPECT_TRUE(ParseMtl("").library.materials.empty());
}

TEST(MtlReader, WritesAMaterialBackWithRewrittenTexturePaths) {
  const std::string text =
      "newmtl brick\nKa 0 0 0\nmap_Kd   -s 2 2 1   -clamp on   old brick.png\nKd 1 0 0\nbump -bm 0.5 n.png\n"
      "newmtl plain\n";
  ParsedMtl parsed = ParseMtl(text);
  Mtl::Material& brick = parsed.library.materials.at(0);
  brick.textures.at(0).path = "../units/old brick.png";
  brick.textures.at(1).path = "../units/n.png";

  std::string written;
  Mtl::AppendMaterial(brick, written);
  Mtl::AppendMaterial(parsed.library.materials.at(1), written);
  EXPECT_EQ(written,
            "newmtl brick\nKa 0 0 0\nmap_Kd -s 2 2 1   -clamp on ../units/old brick.png\nKd 1 0 0\n"
            "bump -bm 0.5 ../units/n.png\nnewmtl plain\n");

  const ParsedMtl again = ParseMtl(written);
  EXPECT_EQ(Findings(again), "");
  ASSERT_EQ(again.library.materials.size(), 2u);
  EXPECT_EQ(again.library.materials[0].textures.at(0).options, "-s 2 2 1   -clamp on");
  EXPECT_EQ(again.library.materials[0].textures.at(0).path, "../units/old brick.png");
  EXPECT_EQ(again.library.materials[0].kd, brick.kd);
}

TEST(MtlReader, FindTextureIgnoresCaseAndTakesTheLast) {
  const ParsedMtl parsed = ParseMtl("newmtl a\nmap_kd one.png\nmap_Ks s.png\nMAP_KD two.png\n");
  const Mtl::Material& material = parsed.library.materials.at(0);
  ASSERT_NE(Mtl::FindTexture(material, "map_Kd"), nullptr);
  EXPECT_EQ(Mtl::FindTexture(material, "map_Kd")->path, "two.png");
  EXPECT_EQ(Mtl::FindTexture(material, "map_d"), nullptr);
}

TEST(MtlReader, ReadsFilesAndNamesThoseItCannotRead) {
  ScratchDir dir;
  WriteFile(dir / "kit.mtl", "newmtl a\r\nKd 1 1 1\r\n");
  Mtl::Library library;
  std::vector<Mtl::Finding> findings{{7, "old"}};
  ASSERT_TRUE(Mtl::ReadLibrary(dir / "kit.mtl", library, findings));
  EXPECT_TRUE(findings.empty());
  ASSERT_EQ(library.materials.size(), 1u);

  EXPECT_FALSE(Mtl::ReadLibrary(dir / "missing.mtl", library, findings));
  EXPECT_TRUE(library.materials.empty());
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].line, 0u);
  EXPECT_EQ(findings[0].message, "the file does not exist");

  EXPECT_FALSE(Mtl::ReadLibrary(dir.path.string(), library, findings));
  EXPECT_EQ(findings.at(0).message, "the file is not a regular file");
}

}  // namespace
