// The kit's texture sheets as an output carries them: smaller, and named beside it.

#include <ostrel/write/Sheets.h>

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <ostrel/ext/Png.h>
#include <ostrel/kit/Textures.h>
#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/TextFile.h>

namespace Ostrel::Buildings {

namespace {

std::string Quoted(const std::string& i_text) { return "'" + TextFile::Excerpt(i_text, i_text.size()) + "'"; }

// The name with "-K" before its extension (the part from its last '.', unless that is its first
// character): B.normal.png gives B.normal-2.png.
std::string Numbered(const std::string& i_name, int i_number) {
  const std::string::size_type dot = i_name.rfind('.');
  const std::string::size_type cut = dot == std::string::npos || dot == 0 ? i_name.size() : dot;
  return i_name.substr(0, cut) + "-" + std::to_string(i_number) + i_name.substr(cut);
}

// Whether the folder's entry of that name is free for the sheet: none there, or a regular file
// (not a link) of exactly these bytes, which o_present then tells.
bool FreeFor(const std::string& i_path, const std::string& i_bytes, bool& o_present) {
  o_present = false;
  struct stat info {};
  if (lstat(i_path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != i_bytes.size()) return false;
  std::string held;
  if (FileSystem::ReadFile(i_path, i_bytes.size(), held).status != FileSystem::ReadStatus::Ok) return false;
  o_present = held == i_bytes;
  return o_present;
}

}  // namespace

std::string ShrinkSheet(const std::string& i_path, std::string i_bytes, std::uint32_t i_maxSize,
                        std::vector<std::string>& io_warnings) {
  if (i_maxSize == 0) return i_bytes;
  Png::Pixels pixels;
  switch (Png::Decode(i_bytes, pixels)) {
    case Png::DecodeResult::NotPng:
      io_warnings.push_back(
          "Texture " + Quoted(i_path) +
          " is no PNG file that can be read, and --texture-size shrinks PNG alone: it is kept "
          "at its size");
      return i_bytes;
    case Png::DecodeResult::TooLarge:
      io_warnings.push_back("Texture " + Quoted(i_path) + " has more than " +
                            std::to_string(Png::kMaxPixels) + " pixels or a side longer than " +
                            std::to_string(Png::kMaxSide) + ", too many to shrink: it is kept at its size");
      return i_bytes;
    case Png::DecodeResult::Ok:
      break;
  }
  if (pixels.width <= i_maxSize && pixels.height <= i_maxSize) return i_bytes;
  std::uint32_t width = 0, height = 0;
  Png::ShrunkSize(pixels.width, pixels.height, i_maxSize, width, height);
  const std::string shrunk = Png::Encode(Png::BoxShrink(pixels, width, height));
  return shrunk.empty() ? i_bytes : shrunk;
}

std::string PlaceSheet(const std::string& i_source, const std::string& i_bytes, const SheetOptions& i_options,
                       std::vector<OutputSheet>& io_sheets, std::vector<std::string>& io_warnings) {
  const std::string bare = std::filesystem::path(i_source).filename().string();
  std::string name = bare;
  for (int number = 2;; name = Numbered(bare, number++)) {
    bool taken = false;
    for (const std::string& own : i_options.taken) taken = taken || own == name;
    const OutputSheet* same = nullptr;
    for (const OutputSheet& sheet : io_sheets) {
      if (sheet.name != name) continue;
      if (sheet.bytes == i_bytes)
        same = &sheet;
      else
        taken = true;
    }
    if (taken) continue;
    if (same) return name;
    bool present = false;
    if (!FreeFor((std::filesystem::path(i_options.folder) / name).string(), i_bytes, present)) continue;
    io_sheets.push_back({name, i_bytes, i_source, present});
    break;
  }
  if (name != bare) {
    io_warnings.push_back("Texture " + Quoted(i_source) + " is written beside the output as " + Quoted(name) +
                          ": " + Quoted(bare) + " is taken there by another file");
  }
  return name;
}

TexturePlacer LibraryPlacer(const SheetOptions& i_options, std::vector<OutputSheet>& io_sheets,
                            std::vector<std::string>& io_warnings) {
  if (i_options.place == SheetPlace::Format) return nullptr;
  if (i_options.place == SheetPlace::None)
    return [](const std::string&, const std::string&, const std::string&) { return std::string(); };
  // Each file once, however many materials or paths name it: its name beside the output, empty
  // when it cannot be carried.
  auto named = std::make_shared<std::map<std::string, std::string>>();
  return [named, i_options, &io_sheets, &io_warnings](const std::string& i_file, const std::string& i_root,
                                                      const std::string& i_material) {
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::canonical(i_file, ec);
    const std::string key = ec ? i_file : canonical.string();
    const auto known = named->find(key);
    if (known != named->end()) return known->second;
    std::string bytes;
    FileSystem::ReadResult read;
    const TextureFault fault = ReadTexture(i_file, i_root, bytes, read);
    std::string name;
    // An OBJ reader may know more kinds of image than glTF's two: any file the rule lets be read
    // is copied.
    if (fault == TextureFault::None || fault == TextureFault::NotAnImage) {
      bytes = ShrinkSheet(i_file, std::move(bytes), i_options.maxSize, io_warnings);
      name = PlaceSheet(i_file, bytes, i_options, io_sheets, io_warnings);
      // A path that began with '-' would read as a texture option.
      if (name[0] == '-') name = "./" + name;
    } else {
      io_warnings.push_back("Texture " + Quoted(i_file) + " of material " + Quoted(i_material) +
                            TextureFaultText(fault, read, i_root));
    }
    return (*named)[key] = name;
  };
}

std::string UriOf(const std::string& i_name) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string uri;
  for (const char c : i_name) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 15];
    }
  }
  return uri;
}

}  // namespace Ostrel::Buildings
