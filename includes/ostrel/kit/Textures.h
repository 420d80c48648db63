#pragma once
// The kit's rule for the texture files its material libraries name: a texture is read only from
// inside the units folder of its style (links resolved), so that a kit cannot copy any other file
// the user can read into a model; it is read whole, up to kMaxTextureBytes; and it is an image
// only when it is PNG or JPEG, the two that glTF embeds. The writers and the linter judge
// textures by this one rule, so they agree.

#include <cstdint>
#include <string>
#include <string_view>

#include <ostrel/utils/FileSystem.h>

namespace Ostrel::Buildings {

// Texture files larger than this (bytes) are not read.
inline constexpr std::uint64_t kMaxTextureBytes = std::uint64_t{256} << 20;

// "image/png" or "image/jpeg" by the file's first bytes; empty for anything else.
std::string ImageMimeType(std::string_view i_bytes);

// Whether i_path, links resolved, lies inside the folder i_root (links resolved too). A path that
// cannot be resolved (missing) is not refused here: reading it tells why it gives nothing.
bool InsideFolder(const std::string& i_path, const std::string& i_root);

// Why a texture gives no image.
enum class TextureFault {
  None,
  OutsideFolder,  // outside its style's units folder: not read at all
  Unreadable,     // missing, no regular file, too large or unreadable (the read result says which)
  NotAnImage,     // neither PNG nor JPEG
};

// Why a texture gives no image, to follow "Texture 'PATH' of material 'NAME'", for a texture of
// the units folder i_root that the read i_read (when it was read) judged so.
std::string TextureFaultText(TextureFault i_fault, const FileSystem::ReadResult& i_read,
                             const std::string& i_root);

// Reads the texture at i_path, whose style's units folder is i_root (empty: no such limit), into
// o_bytes, judged by the rule above; o_read is the read's result once it was read.
TextureFault ReadTexture(const std::string& i_path, const std::string& i_root, std::string& o_bytes,
                         FileSystem::ReadResult& o_read);

}  // namespace Ostrel::Buildings
