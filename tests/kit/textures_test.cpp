// The kit's rule for texture files, which the glTF writer and the linter both judge by.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <ostrel/kit/Textures.h>

#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using namespace Ostrel::Buildings;
using TestSupport::ScratchDir;
namespace FileSystem = Ostrel::FileSystem;

const std::string kPng("\x89PNG\r\n\x1a\n", 8);

TEST(Textures, ImagesAreKnownByTheirFirstBytes) {
  EXPECT_EQ(ImageMimeType(kPng), "image/png");
  EXPECT_EQ(ImageMimeType("\xFF\xD8\xFF\xE0"), "image/jpeg");
  EXPECT_EQ(ImageMimeType("GIF89a"), "");
  EXPECT_EQ(ImageMimeType(""), "");
}

// A texture outside its style's folder is refused before it is read, whatever it is; inside, a
// file that is no image is told apart from one that cannot be read.
TEST(Textures, TheFolderIsJudgedBeforeTheFileIsRead) {
  ScratchDir dir;
  fs::create_directory(dir / "style");
  TestSupport::WriteFile(dir / "style/a.png", kPng);
  TestSupport::WriteFile(dir / "style/b.png", "GIF89a");
  TestSupport::WriteFile(dir / "outside.png", kPng);
  fs::create_symlink(dir / "outside.png", dir / "style/link.png");
  const std::string root = dir / "style";
  std::string bytes;
  FileSystem::ReadResult read;
  EXPECT_EQ(ReadTexture(dir / "style/a.png", root, bytes, read), TextureFault::None);
  EXPECT_EQ(bytes, kPng);
  EXPECT_EQ(ReadTexture(dir / "style/b.png", root, bytes, read), TextureFault::NotAnImage);
  EXPECT_EQ(ReadTexture(dir / "style/none.png", root, bytes, read), TextureFault::Unreadable);
  EXPECT_EQ(read.status, FileSystem::ReadStatus::NotFound);
  bytes.clear();
  EXPECT_EQ(ReadTexture(dir / "outside.png", root, bytes, read), TextureFault::OutsideFolder);
  EXPECT_EQ(ReadTexture(dir / "style/link.png", root, bytes, read), TextureFault::OutsideFolder);
  EXPECT_EQ(ReadTexture(dir / "style/../outside.png", root, bytes, read), TextureFault::OutsideFolder);
  EXPECT_TRUE(bytes.empty());
  // A folder whose name starts like the root's is not inside it; without a root, anywhere is.
  fs::create_directory(dir / "style2");
  TestSupport::WriteFile(dir / "style2/c.png", kPng);
  EXPECT_EQ(ReadTexture(dir / "style2/c.png", root, bytes, read), TextureFault::OutsideFolder);
  EXPECT_EQ(ReadTexture(dir / "outside.png", "", bytes, read), TextureFault::None);
}

}  // namespace
