#pragma once
// Wavefront material libraries (.mtl): the reader that merged material files and material-aware
// writers take their materials from, and the writer of one material back as text.
//
// Parse reads from a string, so that tests and fuzzers need no disk; ReadLibrary loads a file
// first. Reading never fails as a whole: each line that cannot be used becomes a Finding and is
// left out, and every other statement of a material is kept as written, so that statements this
// reader does not know (other tools' extensions, physically based ones such as Pr, Pm or Ke) reach
// a merged library unchanged. Keywords are matched without regard to case.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Mtl {

// Material files larger than this (file units: bytes) are refused unread.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{64} << 20;

// A line that was left out, or only partly read, and why; the message quotes the text found.
struct Finding {
  std::size_t line = 0;  // 1-based; 0 for the file as a whole
  std::string message;
};

// A texture statement ("map_Kd -s 2 2 1 bricks.png") cut into its parts, so that a writer can
// change the path and keep the options.
struct Texture {
  std::string keyword;        // as written: map_Kd, map_bump, bump, disp, decal, refl, norm, ...
  std::string options;        // the options with their values as written ("-s 2 2 1"); "" when none
  std::string path;           // the rest of the line, inner blanks kept; relative to the .mtl's folder
  std::size_t lineIndex = 0;  // which of the material's lines holds it (0-based)
};

struct Material {
  std::string name;                        // the rest of the newmtl line, inner blanks kept
  std::size_t line = 0;                    // 1-based line of its newmtl statement
  std::vector<std::string> lines;          // its statements, trimmed, without comments and blank lines
  std::optional<std::array<float, 3>> kd;  // diffuse colour as written (sRGB, usually 0 to 1)
  std::optional<float> ns;                 // specular exponent as written
  std::optional<float> d;                  // opacity as written by d, or 1 - Tr; the last one wins
  std::vector<Texture> textures;           // in line order
};

struct Library {
  std::vector<Material> materials;  // in file order, each name once
};

// ---------------------------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------------------------

// Replaces o_library and o_findings with what i_text holds. A UTF-8 byte-order mark at the start
// is skipped; lines end at a line feed, a carriage return before it included. Comments (#) and
// blank lines are dropped. Left out, each with a finding: a statement before any newmtl, a line
// with a NUL byte or another carriage return, a newmtl without a name or with a name defined
// before (with every statement of that definition), Kd without 1 or 3 numbers, Ns, d or Tr
// without one number, a texture with an unknown or incomplete option or without a path. Kd in
// the spectral or xyz form is kept without a colour, with a finding. Numbers are read whatever
// the process locale and must be finite floats.
void Parse(std::string_view i_text, Library& o_library, std::vector<Finding>& o_findings);

// Parse on the file's text. False, with an empty library and one finding of line 0, when the
// path is no regular file that can be opened or the file holds more than kMaxFileBytes.
bool ReadLibrary(const std::string& i_path, Library& o_library, std::vector<Finding>& o_findings);

// Appends "newmtl NAME", then the material's lines, each ended by a line feed; texture lines are
// written from their Texture, so that a changed path or option is what gets written.
void AppendMaterial(const Material& i_material, std::string& io_text);

// The statement of a texture: keyword, options (when any) and path, separated by blanks.
std::string TextureLine(const Texture& i_texture);

// The last texture of the material with this keyword (compared without regard to case), or null.
const Texture* FindTexture(const Material& i_material, std::string_view i_keyword);

}  // namespace Mtl
