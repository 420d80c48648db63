// Feeds arbitrary bytes to the material library reader and checks what must hold of any result:
// every finding names a line of the text in a one-line message, every material and texture is
// consistent with its own lines, every value is finite, and the library written back reads again
// into the same materials, with no finding but those of the lines it keeps unread.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <ostrel/ext/Mtl.h>

#include "FuzzSupport.h"

namespace {

std::size_t LineCount(std::string_view i_text) {
  std::size_t lines = 0;
  for (const char c : i_text) lines += c == '\n' ? 1 : 0;
  return lines + (!i_text.empty() && i_text.back() != '\n' ? 1 : 0);
}

bool OneLine(std::string_view i_text) {
  for (const char c : i_text) {
    if (c == '\n' || c == '\r' || c == '\0') return false;
  }
  return true;
}

bool Printable(std::string_view i_text) {
  for (const char c : i_text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// The first word of a line, in lower case: keywords are read without regard to case.
std::string FirstWordLower(const std::string& i_line) {
  std::string word;
  for (const char c : i_line) {
    if (c == ' ' || (c >= '\t' && c <= '\r')) break;
    word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return word;
}

void CheckMaterial(const Mtl::Material& i_material) {
  FUZZ_CHECK(!i_material.name.empty() && OneLine(i_material.name));
  for (const std::string& line : i_material.lines) {
    FUZZ_CHECK(!line.empty() && OneLine(line) && line.front() != '#');
    FUZZ_CHECK(FirstWordLower(line) != "newmtl");
  }
  if (i_material.kd) {
    for (const float c : *i_material.kd) FUZZ_CHECK(std::isfinite(c));
  }
  FUZZ_CHECK(!i_material.ns || std::isfinite(*i_material.ns));
  FUZZ_CHECK(!i_material.d || std::isfinite(*i_material.d));
  std::size_t next = 0;
  for (const Mtl::Texture& texture : i_material.textures) {
    FUZZ_CHECK(texture.lineIndex >= next && texture.lineIndex < i_material.lines.size());
    FUZZ_CHECK(i_material.lines[texture.lineIndex] == Mtl::TextureLine(texture));
    FUZZ_CHECK(!texture.path.empty() && OneLine(texture.path));
    next = texture.lineIndex + 1;
  }
}

bool SameMaterial(const Mtl::Material& i_a, const Mtl::Material& i_b) {
  if (i_a.name != i_b.name || i_a.lines != i_b.lines || i_a.kd != i_b.kd || i_a.ns != i_b.ns ||
      i_a.d != i_b.d || i_a.textures.size() != i_b.textures.size())
    return false;
  for (std::size_t i = 0; i < i_a.textures.size(); ++i) {
    const Mtl::Texture& a = i_a.textures[i];
    const Mtl::Texture& b = i_b.textures[i];
    if (a.keyword != b.keyword || a.options != b.options || a.path != b.path || a.lineIndex != b.lineIndex)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* i_data, std::size_t i_size) {
  const std::string_view text(reinterpret_cast<const char*>(i_data), i_size);
  Mtl::Library library;
  std::vector<Mtl::Finding> findings;
  Mtl::Parse(text, library, findings);

  const std::size_t lines = LineCount(text);
  std::size_t previous = 0;
  for (const Mtl::Finding& finding : findings) {
    FUZZ_CHECK(finding.line >= 1 && finding.line <= lines && finding.line > previous);
    FUZZ_CHECK(!finding.message.empty() && Printable(finding.message));
    previous = finding.line;
  }
  std::set<std::string> names;
  previous = 0;
  for (const Mtl::Material& material : library.materials) {
    FUZZ_CHECK(material.line >= 1 && material.line <= lines && material.line > previous);
    FUZZ_CHECK(names.insert(material.name).second);
    CheckMaterial(material);
    previous = material.line;
  }

  std::string written;
  for (const Mtl::Material& material : library.materials) Mtl::AppendMaterial(material, written);
  Mtl::Library again;
  Mtl::Parse(written, again, findings);
  for (const Mtl::Finding& finding : findings) FUZZ_CHECK(finding.message.rfind("only Kd r g b", 0) == 0);
  FUZZ_CHECK(again.materials.size() == library.materials.size());
  for (std::size_t i = 0; i < library.materials.size(); ++i)
    FUZZ_CHECK(SameMaterial(library.materials[i], again.materials[i]));
  return 0;
}
