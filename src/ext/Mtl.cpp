// Mtl: definitions.

#include <ostrel/ext/Mtl.h>

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

#include <ostrel/utils/TextFile.h>

namespace Mtl {
namespace detail {

// White space as the classic locale classifies it: blank, tab, line feed, vertical tab, form
// feed and carriage return.
bool IsSpace(char i_c) { return i_c == ' ' || (i_c >= '\t' && i_c <= '\r'); }

std::string_view Trim(std::string_view i_text) {
  while (!i_text.empty() && IsSpace(i_text.front())) i_text.remove_prefix(1);
  while (!i_text.empty() && IsSpace(i_text.back())) i_text.remove_suffix(1);
  return i_text;
}

// Takes the next word off the front of io_rest; empty when none is left.
std::string_view NextWord(std::string_view& io_rest) {
  std::size_t start = 0;
  while (start < io_rest.size() && IsSpace(io_rest[start])) ++start;
  std::size_t end = start;
  while (end < io_rest.size() && !IsSpace(io_rest[end])) ++end;
  const std::string_view word = io_rest.substr(start, end - start);
  io_rest.remove_prefix(end);
  return word;
}

char Lower(char i_c) { return i_c >= 'A' && i_c <= 'Z' ? static_cast<char>(i_c - 'A' + 'a') : i_c; }

// i_word equals i_lower (written in lower case) without regard to case.
bool Is(std::string_view i_word, std::string_view i_lower) {
  if (i_word.size() != i_lower.size()) return false;
  for (std::size_t i = 0; i < i_word.size(); ++i) {
    if (Lower(i_word[i]) != i_lower[i]) return false;
  }
  return true;
}

bool IsTextureKeyword(std::string_view i_word) {
  return (i_word.size() > 4 && Is(i_word.substr(0, 4), "map_")) || Is(i_word, "bump") || Is(i_word, "disp") ||
         Is(i_word, "decal") || Is(i_word, "refl") || Is(i_word, "norm");
}

// A whole word as a finite float: an optional sign, digits, point and exponent, nothing else.
bool ReadNumber(std::string_view i_word, float& o_value) {
  if (i_word.size() > 1 && i_word[0] == '+' && i_word[1] != '-') i_word.remove_prefix(1);
  double value = 0;
  const char* const end = i_word.data() + i_word.size();
  const std::from_chars_result result =
      std::from_chars(i_word.data(), end, value, std::chars_format::general);
  if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value) || std::fabs(value) > FLT_MAX)
    return false;
  o_value = static_cast<float>(value);
  return true;
}

// Reads every word of i_rest as a number into o_values. Returns their count, or -1 when a word
// is not a number or there are more than i_max.
int ReadNumbers(std::string_view i_rest, float* o_values, int i_max) {
  int count = 0;
  for (std::string_view word = NextWord(i_rest); !word.empty(); word = NextWord(i_rest)) {
    if (count == i_max || !ReadNumber(word, o_values[count])) return -1;
    ++count;
  }
  return count;
}

std::string Quoted(std::string_view i_text) { return "'" + Ostrel::TextFile::Excerpt(i_text) + "'"; }

// What a texture option takes after its name.
struct OptionShape {
  const char* name;  // without its dash, lower case
  int minValues;
  int maxValues;
  const char* words;   // the words allowed as its value, blank-separated; null: numbers
  const char* wanted;  // the values it takes, for a message
};

inline constexpr OptionShape kOptions[] = {
    {"blendu", 1, 1, "on off", "on or off"},
    {"blendv", 1, 1, "on off", "on or off"},
    {"cc", 1, 1, "on off", "on or off"},
    {"clamp", 1, 1, "on off", "on or off"},
    {"imfchan", 1, 1, "r g b m l z", "one of r, g, b, m, l or z"},
    {"type", 1, 1, "sphere cube_top cube_bottom cube_front cube_back cube_left cube_right",
     "one of sphere, cube_top, cube_bottom, cube_front, cube_back, cube_left or cube_right"},
    {"bm", 1, 1, nullptr, "a number"},
    {"boost", 1, 1, nullptr, "a number"},
    {"texres", 1, 1, nullptr, "a number"},
    {"mm", 2, 2, nullptr, "2 numbers"},
    {"o", 1, 3, nullptr, "1 to 3 numbers"},
    {"s", 1, 3, nullptr, "1 to 3 numbers"},
    {"t", 1, 3, nullptr, "1 to 3 numbers"},
};

bool AllowedWord(std::string_view i_word, const char* i_words) {
  std::string_view rest = i_words;
  for (std::string_view allowed = NextWord(rest); !allowed.empty(); allowed = NextWord(rest)) {
    if (Is(i_word, allowed)) return true;
  }
  return false;
}

// Takes the values of one option off io_rest. False, with o_problem set, when a required value
// is missing or not of its kind. Numbers past the minimum are taken while there are numbers.
bool TakeOptionValues(const OptionShape& i_shape, std::string_view& io_rest, std::string& o_problem) {
  for (int i = 0; i < i_shape.maxValues; ++i) {
    std::string_view after = io_rest;
    const std::string_view word = NextWord(after);
    float number = 0;
    const bool fits = i_shape.words ? AllowedWord(word, i_shape.words) : ReadNumber(word, number);
    if (!fits && i < i_shape.minValues) {
      o_problem = std::string("texture option -") + i_shape.name + " takes " + i_shape.wanted;
      return false;
    }
    if (!fits) return true;
    io_rest = after;
  }
  return true;
}

// Splits the words after a texture keyword into options and path. False, with o_problem set,
// for an unknown or incomplete option or a missing path.
bool SplitTexture(std::string_view i_rest, Texture& o_texture, std::string& o_problem) {
  std::string_view rest = Trim(i_rest);
  const char* const optionsStart = rest.data();
  for (;;) {
    std::string_view after = rest;
    const std::string_view word = NextWord(after);
    if (word.size() < 2 || word[0] != '-') break;
    const OptionShape* shape = nullptr;
    for (const OptionShape& candidate : kOptions) {
      if (Is(word.substr(1), candidate.name)) shape = &candidate;
    }
    if (!shape) {
      o_problem = "unknown texture option " + Quoted(word);
      return false;
    }
    if (!TakeOptionValues(*shape, after, o_problem)) return false;
    rest = after;
  }
  o_texture.options =
      std::string(Trim(std::string_view(optionsStart, static_cast<std::size_t>(rest.data() - optionsStart))));
  o_texture.path = std::string(Trim(rest));
  if (o_texture.path.empty()) {
    o_problem = "texture without a file";
    return false;
  }
  return true;
}

// Reads one statement of the current material (trimmed, keyword split off) into it; a problem
// leaves it out, except a colour form that is kept unread.
void ReadStatement(std::string_view i_line, std::string_view i_keyword, std::string_view i_rest,
                   Material& io_material, std::string& o_problem) {
  float values[3] = {0, 0, 0};
  if (Is(i_keyword, "kd")) {
    std::string_view after = i_rest;
    const std::string_view form = NextWord(after);
    if (Is(form, "spectral") || Is(form, "xyz")) {
      io_material.lines.emplace_back(i_line);
      o_problem = "only Kd r g b colours are read, kept as written";
      return;
    }
    // One number is a grey: g and b equal r.
    const int count = ReadNumbers(i_rest, values, 3);
    if (count != 1 && count != 3) {
      o_problem = std::string(i_keyword) + " takes 1 or 3 finite numbers";
      return;
    }
    if (count == 1) values[1] = values[2] = values[0];
    io_material.kd = std::array<float, 3>{values[0], values[1], values[2]};
    io_material.lines.emplace_back(i_line);
    return;
  }
  if (Is(i_keyword, "ns") || Is(i_keyword, "d") || Is(i_keyword, "tr")) {
    std::string_view rest = i_rest;
    if (Is(i_keyword, "d")) {
      std::string_view after = rest;
      if (Is(NextWord(after), "-halo")) rest = after;
    }
    if (ReadNumbers(rest, values, 1) != 1) {
      o_problem = std::string(i_keyword) + " takes one finite number";
      return;
    }
    if (Is(i_keyword, "ns")) io_material.ns = values[0];
    if (Is(i_keyword, "d")) io_material.d = values[0];
    if (Is(i_keyword, "tr")) io_material.d = 1.0f - values[0];
    io_material.lines.emplace_back(i_line);
    return;
  }
  if (IsTextureKeyword(i_keyword)) {
    Texture texture;
    texture.keyword = std::string(i_keyword);
    if (!SplitTexture(i_rest, texture, o_problem)) return;
    texture.lineIndex = io_material.lines.size();
    io_material.lines.push_back(TextureLine(texture));
    io_material.textures.push_back(std::move(texture));
    return;
  }
  io_material.lines.emplace_back(i_line);
}

// Where statements go: into the last material, or nowhere before the first newmtl (reported) or
// after a newmtl that was refused (silently: its one finding covers them).
enum class Target { kNone, kMaterial, kRefused };

// Handles one newmtl line; returns where the statements after it go. io_lines maps each name
// defined so far to its line.
Target StartMaterial(std::string_view i_name, std::size_t i_line, Library& io_library,
                     std::unordered_map<std::string, std::size_t>& io_lines, std::string& o_problem) {
  if (i_name.empty()) {
    o_problem = "newmtl without a name";
    return Target::kRefused;
  }
  const auto [first, added] = io_lines.emplace(std::string(i_name), i_line);
  if (!added) {
    o_problem = "material " + Quoted(i_name) + " defined again (first on line " +
                std::to_string(first->second) + "), this definition is left out";
    return Target::kRefused;
  }
  Material material;
  material.name = std::string(i_name);
  material.line = i_line;
  io_library.materials.push_back(std::move(material));
  return Target::kMaterial;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------------
// Definitions
// ---------------------------------------------------------------------------------------------

void Parse(std::string_view i_text, Library& o_library, std::vector<Finding>& o_findings) {
  o_library.materials.clear();
  o_findings.clear();
  // Some editors start UTF-8 files with a byte-order mark; it is no part of the first keyword.
  if (i_text.substr(0, 3) == "\xEF\xBB\xBF") i_text.remove_prefix(3);
  detail::Target target = detail::Target::kNone;
  std::unordered_map<std::string, std::size_t> nameLines;
  std::size_t lineNumber = 0;
  while (!i_text.empty()) {
    ++lineNumber;
    const std::size_t feed = i_text.find('\n');
    std::string_view raw = i_text.substr(0, feed);
    i_text.remove_prefix(feed == std::string_view::npos ? i_text.size() : feed + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    const std::string_view line = detail::Trim(raw);
    if (line.empty() || line.front() == '#') continue;
    std::string_view rest = line;
    const std::string_view keyword = detail::NextWord(rest);
    std::string problem;
    if (line.find('\0') != std::string_view::npos) {
      problem = "NUL byte in the line";
    } else if (line.find('\r') != std::string_view::npos) {
      problem = "carriage return inside the line";
    }
    if (detail::Is(keyword, "newmtl")) {
      target = problem.empty()
                   ? detail::StartMaterial(detail::Trim(rest), lineNumber, o_library, nameLines, problem)
                   : detail::Target::kRefused;
    } else if (problem.empty() && target == detail::Target::kMaterial) {
      detail::ReadStatement(line, keyword, rest, o_library.materials.back(), problem);
    } else if (problem.empty() && target == detail::Target::kNone) {
      problem = "statement before any newmtl";
    }
    if (!problem.empty()) o_findings.push_back({lineNumber, problem + ": " + detail::Quoted(line)});
  }
}

bool ReadLibrary(const std::string& i_path, Library& o_library, std::vector<Finding>& o_findings) {
  std::string text;
  const Ostrel::FileSystem::ReadResult result = Ostrel::FileSystem::ReadFile(i_path, kMaxFileBytes, text);
  if (result.status != Ostrel::FileSystem::ReadStatus::Ok) {
    o_library.materials.clear();
    o_findings.assign(1, Finding{0, std::string("the file ") + Ostrel::TextFile::Describe(result)});
    return false;
  }
  Parse(text, o_library, o_findings);
  return true;
}

std::string TextureLine(const Texture& i_texture) {
  std::string line = i_texture.keyword;
  if (!i_texture.options.empty()) line += ' ' + i_texture.options;
  return line + ' ' + i_texture.path;
}

void AppendMaterial(const Material& i_material, std::string& io_text) {
  io_text += "newmtl " + i_material.name + '\n';
  std::size_t nextTexture = 0;
  for (std::size_t i = 0; i < i_material.lines.size(); ++i) {
    const bool texture =
        nextTexture < i_material.textures.size() && i_material.textures[nextTexture].lineIndex == i;
    io_text += texture ? TextureLine(i_material.textures[nextTexture++]) : i_material.lines[i];
    io_text += '\n';
  }
}

const Texture* FindTexture(const Material& i_material, std::string_view i_keyword) {
  const Texture* found = nullptr;
  for (const Texture& texture : i_material.textures) {
    if (texture.keyword.size() != i_keyword.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < i_keyword.size(); ++i)
      same = same && detail::Lower(texture.keyword[i]) == detail::Lower(i_keyword[i]);
    if (same) found = &texture;
  }
  return found;
}

}  // namespace Mtl
