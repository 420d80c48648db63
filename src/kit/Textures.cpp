// The kit's rule for texture files.

#include <ostrel/kit/Textures.h>

#include <filesystem>
#include <string>
#include <string_view>

#include <ostrel/utils/TextFile.h>

namespace Ostrel::Buildings {

std::string ImageMimeType(std::string_view i_bytes) {
  if (i_bytes.substr(0, 8) == std::string_view("\x89PNG\r\n\x1a\n", 8)) return "image/png";
  if (i_bytes.substr(0, 3) == "\xFF\xD8\xFF") return "image/jpeg";
  return std::string();
}

bool InsideFolder(const std::string& i_path, const std::string& i_root) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file = fs::canonical(i_path, ec);
  if (ec) return true;
  const fs::path root = fs::canonical(i_root, ec);
  if (ec) return false;
  const std::string prefix = root.string() == "/" ? "/" : root.string() + "/";
  return file.string().compare(0, prefix.size(), prefix) == 0;
}

std::string TextureFaultText(TextureFault i_fault, const FileSystem::ReadResult& i_read,
                             const std::string& i_root) {
  switch (i_fault) {
    case TextureFault::OutsideFolder:
      return " lies outside the units folder '" + TextFile::Excerpt(i_root, i_root.size()) +
             "' of its style: it is not read, and the material has no texture";
    case TextureFault::Unreadable:
      return " " + TextFile::Describe(i_read) + ": the material has no texture";
    case TextureFault::NotAnImage:
      return " is neither PNG nor JPEG: the material has no texture";
    case TextureFault::None:
      break;
  }
  return std::string();
}

TextureFault ReadTexture(const std::string& i_path, const std::string& i_root, std::string& o_bytes,
                         FileSystem::ReadResult& o_read) {
  // Outside the folder first: a file there is never read.
  if (!i_root.empty() && !InsideFolder(i_path, i_root)) return TextureFault::OutsideFolder;
  o_read = FileSystem::ReadFile(i_path, kMaxTextureBytes, o_bytes);
  if (o_read.status != FileSystem::ReadStatus::Ok) return TextureFault::Unreadable;
  return ImageMimeType(o_bytes).empty() ? TextureFault::NotAnImage : TextureFault::None;
}

}  // namespace Ostrel::Buildings
