// Loading a kit: the unit size from the base units, then each style's pieces and variants.

#include <ostrel/kit/Kit.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <ostrel/utils/FileSystem.h>
#include <ostrel/utils/Threads.h>

namespace Ostrel::Buildings {

namespace {

// The unit size is the extent of both base meshes together, as they lie in their files.
void MeasureUnitSize(Kit& io_kit) {
  VectorF bboxmin(1000000.0f, 1000000.0f, 1000000.0f);
  VectorF bboxmax(-1000000.0f, -1000000.0f, -1000000.0f);
  std::size_t seen = 0;
  for (const char* name : kBaseUnitFiles) {
    Obj::Mesh mesh;
    Obj::ReadMesh(io_kit.folder + "/" + name, mesh);
    for (const VectorF& v : mesh.vertices) {
      if (v.x < bboxmin.x) bboxmin.x = v.x;
      if (v.x > bboxmax.x) bboxmax.x = v.x;
      if (v.y < bboxmin.y) bboxmin.y = v.y;
      if (v.y > bboxmax.y) bboxmax.y = v.y;
      if (v.z < bboxmin.z) bboxmin.z = v.z;
      if (v.z > bboxmax.z) bboxmax.z = v.z;
    }
    seen += mesh.vertices.size();
  }
  io_kit.unitWidth = bboxmax.x - bboxmin.x;
  io_kit.unitHeight = bboxmax.y - bboxmin.y;
  io_kit.unitLength = bboxmax.z - bboxmin.z;
  io_kit.unitSizeFault = UnitSizeFault::None;
  for (const float size : {io_kit.unitWidth, io_kit.unitHeight, io_kit.unitLength}) {
    if (size == 0 || !std::isfinite(size)) io_kit.unitSizeFault = UnitSizeFault::Degenerate;
  }
  if (seen == 0) io_kit.unitSizeFault = UnitSizeFault::NoVertices;
}

// The kit-wide index of a material name, which the kit gains when new.
std::uint32_t MaterialId(Kit& io_kit, const std::string& i_name) {
  for (std::size_t i = 0; i < io_kit.materials.size(); ++i) {
    if (io_kit.materials[i] == i_name) return static_cast<std::uint32_t>(i);
  }
  io_kit.materials.push_back(i_name);
  return static_cast<std::uint32_t>(io_kit.materials.size() - 1);
}

// The index of a material library of a units folder in the kit, which reads it when new.
std::uint32_t LibraryId(Kit& io_kit, const std::string& i_folder, const std::string& i_name) {
  const std::string file = i_folder + "/" + i_name;
  for (std::size_t i = 0; i < io_kit.libraries.size(); ++i) {
    if (io_kit.libraries[i].file == file) return static_cast<std::uint32_t>(i);
  }
  MaterialLibrary library;
  library.name = i_name;
  library.file = file;
  library.root = i_folder;
  Mtl::ReadLibrary(library.file, library.library, library.findings);
  io_kit.libraries.push_back(std::move(library));
  return static_cast<std::uint32_t>(io_kit.libraries.size() - 1);
}

// Why a file read gave nothing.
PieceFault FaultOf(const FileSystem::ReadResult& i_read) {
  switch (i_read.status) {
    case FileSystem::ReadStatus::Ok:
      return PieceFault::None;
    case FileSystem::ReadStatus::NotFound:
      return PieceFault::NotFound;
    case FileSystem::ReadStatus::NotRegular:
      return PieceFault::NotRegular;
    case FileSystem::ReadStatus::Unreadable:
      return PieceFault::Unreadable;
    case FileSystem::ReadStatus::TooLarge:
      return PieceFault::TooLarge;
  }
  return PieceFault::Unreadable;
}

// Divides the coordinates of [i_begin, i_end) by the unit size; false when a result is not
// finite.
bool ToCellUnits(VectorF* i_begin, VectorF* i_end, const Kit& i_kit) {
  for (VectorF* v = i_begin; v != i_end; ++v) {
    *v = VectorF(v->x / i_kit.unitWidth, v->y / i_kit.unitHeight, v->z / i_kit.unitLength);
    if (!std::isfinite(v->x) || !std::isfinite(v->y) || !std::isfinite(v->z)) return false;
  }
  return true;
}

// ToCellUnits of every vertex, on two threads for a large piece.
bool ToCellUnits(std::vector<VectorF>& io_vertices, const Kit& i_kit) {
  VectorF* const begin = io_vertices.data();
  VectorF* const end = begin + io_vertices.size();
  if (io_vertices.size() < kTwoThreadPieceVertices) return ToCellUnits(begin, end, i_kit);
  VectorF* const half = begin + io_vertices.size() / 2;
  bool finite[2] = {false, false};
  Threads::RunParts(2, [&](std::size_t i_part) {
    finite[i_part] = i_part == 0 ? ToCellUnits(begin, half, i_kit) : ToCellUnits(half, end, i_kit);
  });
  return finite[0] && finite[1];
}

// Turns the file's material indices of io_mesh's faces into kit-wide ones. Without usemtl names
// no face has a material, and the array is freed at once.
void ToKitMaterials(Obj::Mesh& io_mesh, Kit& io_kit) {
  if (io_mesh.materials.empty()) return std::vector<std::uint32_t>().swap(io_mesh.faceMaterials);
  std::vector<std::uint32_t> materials;
  for (const std::string& name : io_mesh.materials) materials.push_back(MaterialId(io_kit, name));
  for (std::uint32_t& material : io_mesh.faceMaterials) {
    if (material != Obj::kNoMaterial) material = materials[material];
  }
}

// Drops the faces of fewer than three corners, keeping the others in place with the corners of
// those dropped closed up over: the mesh's corners, counts and materials (when it has them) become
// the piece's without a copy.
void DropOpenFaces(Obj::Mesh& io_mesh) {
  const bool materials = !io_mesh.faceMaterials.empty();
  std::size_t first = 0, kept = 0, faces = 0;
  for (std::size_t face = 0; face < io_mesh.polycount.size(); ++face) {
    const std::uint32_t count = io_mesh.polycount[face];
    if (count > io_mesh.corners.size() - first) break;  // a mesh that promises more corners than it has
    if (count >= 3) {
      // Until a face is dropped, every kept face is already where it belongs.
      if (faces != face) {
        std::copy(io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first),
                  io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(first + count),
                  io_mesh.corners.begin() + static_cast<std::ptrdiff_t>(kept));
        io_mesh.polycount[faces] = count;
        if (materials) io_mesh.faceMaterials[faces] = io_mesh.faceMaterials[face];
      }
      kept += count;
      ++faces;
    }
    first += count;
  }
  io_mesh.corners.resize(kept);
  io_mesh.polycount.resize(faces);
  if (materials) io_mesh.faceMaterials.resize(faces);
}

// Coordinates go into cell units; faces of fewer than three corners are dropped (they are no
// polygon and viewers reject them). A coordinate that does not fit in cell units (a huge one over
// a tiny unit size) leaves the piece empty. The mesh's arrays become the piece's, so that a large
// piece is never held twice.
PieceFault MakePiece(Obj::Mesh&& io_mesh, Kit& io_kit, Piece& io_piece) {
  if (!ToCellUnits(io_mesh.vertices, io_kit)) return PieceFault::CoordinatesTooLarge;
  io_piece.positions = std::move(io_mesh.vertices);
  io_piece.normals = std::move(io_mesh.normals);
  io_piece.uvs = std::move(io_mesh.uvs);
  const std::string& folder = io_piece.folder.empty() ? io_kit.folder : io_piece.folder;
  for (const std::string& name : io_mesh.libraries)
    io_piece.libraries.push_back(LibraryId(io_kit, folder, name));
  ToKitMaterials(io_mesh, io_kit);
  DropOpenFaces(io_mesh);
  io_piece.corners = std::move(io_mesh.corners);
  io_piece.polycount = std::move(io_mesh.polycount);
  io_piece.faceMaterials = std::move(io_mesh.faceMaterials);
  const auto none = [](std::uint32_t i_material) { return i_material == Obj::kNoMaterial; };
  if (std::all_of(io_piece.faceMaterials.begin(), io_piece.faceMaterials.end(), none)) {
    // Freed, not only emptied: a piece of millions of faces would keep MiB it never reads.
    std::vector<std::uint32_t>().swap(io_piece.faceMaterials);
  }
  return PieceFault::None;
}

PieceId KeepPiece(Piece i_piece, Kit& io_kit) {
  const auto id = static_cast<PieceId>(io_kit.pieces.size());
  io_kit.ids.emplace(i_piece.name, id);
  io_kit.pieces.push_back(std::move(i_piece));
  return id;
}

// The piece of a unit file from its one reading, in cell units.
Piece PieceOfRead(const std::string& i_folder, const std::string& i_name,
                  const FileSystem::ReadResult& i_read, Obj::Mesh&& io_mesh, Kit& io_kit) {
  Piece piece;
  piece.name = i_name;
  piece.file = UnitFile(i_folder, i_name);
  piece.folder = i_folder;
  piece.fault = FaultOf(i_read);
  piece.error = i_read.error;
  if (piece.fault == PieceFault::None) piece.fault = MakePiece(std::move(io_mesh), io_kit, piece);
  return piece;
}

Piece ReadPiece(const std::string& i_folder, const std::string& i_name, Kit& io_kit) {
  Obj::Mesh mesh;
  const FileSystem::ReadResult read = Obj::LoadMesh(UnitFile(i_folder, i_name), mesh);
  return PieceOfRead(i_folder, i_name, read, std::move(mesh), io_kit);
}

// A unit file's mesh, read before its turn.
struct ReadAhead {
  std::string path;
  Obj::Mesh mesh;
  FileSystem::ReadResult read;
};

// Unit files of at least this many bytes together are read on two threads: reading a dense
// kit's files is a large share of a building's work, done while the output's writing thread has
// nothing to write yet. Fewer bytes would not pay for the thread.
constexpr std::uint64_t kReadAheadOnTwoThreadsBytes = std::uint64_t{4} << 20;

// Reads every file of io_files, on two threads when they are large enough; each file is read
// by one thread alone, and what it reads does not depend on which.
void ReadAll(std::vector<ReadAhead>& io_files) {
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < io_files.size(); i = next++) {
      io_files[i].read = Obj::LoadMesh(io_files[i].path, io_files[i].mesh);
    }
  };
  std::uint64_t bytes = 0;
  for (const ReadAhead& file : io_files) {
    struct stat status;
    if (::stat(file.path.c_str(), &status) == 0) bytes += static_cast<std::uint64_t>(status.st_size);
  }
  if (io_files.size() < 2 || bytes < kReadAheadOnTwoThreadsBytes) return work();
  Threads::RunParts(2, [&](std::size_t) { work(); });
}

// The plain piece i_name, then its variants i_name.1, i_name.2, ... up to the first not found.
// The plain piece's file is taken from io_ahead when it was read ahead.
PieceId LoadPiece(const std::string& i_folder, const std::string& i_name, Kit& io_kit, ReadAhead* io_ahead) {
  const bool ahead = io_ahead && io_ahead->path == UnitFile(i_folder, i_name);
  const PieceId plain = KeepPiece(
      ahead ? PieceOfRead(i_folder, i_name, io_ahead->read, std::move(io_ahead->mesh), io_kit)
            : ReadPiece(i_folder, i_name, io_kit),
      io_kit);
  std::vector<PieceId> forms{plain};
  for (std::uint64_t number = 1;; ++number) {
    Piece variant = ReadPiece(i_folder, i_name + "." + std::to_string(number), io_kit);
    if (variant.fault == PieceFault::NotFound) break;
    forms.push_back(KeepPiece(std::move(variant), io_kit));
  }
  if (forms.size() > 1) io_kit.pieces[plain].forms = std::move(forms);
  return plain;
}

}  // namespace

const KitStyle* Kit::style(const std::string& i_name) const {
  for (const KitStyle& style : styles) {
    if (style.name == i_name) return &style;
  }
  return nullptr;
}

bool Kit::find(const std::string& i_name, PieceId& o_id) const {
  const auto it = ids.find(i_name);
  if (it == ids.end()) return false;
  o_id = it->second;
  return true;
}

std::string UnitFile(const std::string& i_folder, const std::string& i_name) {
  return i_folder + "/" + i_name + ".obj";
}

float RiseOf(const Piece& i_slope) {
  // A vertex within this of a side of the cell (cell units) lies on it.
  constexpr float kOnSide = 1e-4f;
  float high = INFINITY, low = INFINITY;
  for (const VectorF& p : i_slope.positions) {
    if (std::fabs(p.x + 0.5f) <= kOnSide) high = std::min(high, p.y);
    if (std::fabs(p.x - 0.5f) <= kOnSide) low = std::min(low, p.y);
  }
  if (!std::isfinite(high) || !std::isfinite(low)) return 0;
  return high - low;
}

PieceId AddReadPiece(const std::string& i_folder, const std::string& i_name,
                     const FileSystem::ReadResult& i_read, const Obj::Mesh& i_mesh, Kit& io_kit) {
  return KeepPiece(PieceOfRead(i_folder, i_name, i_read, Obj::Mesh(i_mesh), io_kit), io_kit);
}

Kit LoadKit(const std::string& i_folder, const std::vector<std::string>& i_styles) {
  return LoadKit(std::vector<std::string>{i_folder}, i_styles);
}

std::string StyleFolder(const std::vector<std::string>& i_folders,
                        const std::vector<std::vector<std::string>>& i_entries, const std::string& i_style) {
  for (std::size_t i = 0; i < i_folders.size() && i < i_entries.size(); ++i) {
    if (StylesOf(i_entries[i]).count(i_style) != 0) return i_folders[i];
  }
  return i_folders.empty() ? std::string() : i_folders.front();
}

Kit LoadKit(const std::vector<std::string>& i_folders, const std::vector<std::string>& i_styles) {
  Kit kit;
  kit.folders = i_folders;
  if (kit.folders.empty()) kit.folders.push_back(".");
  // With one folder, everything comes from it, listed or not.
  std::vector<std::vector<std::string>> entries(kit.folders.size());
  if (kit.folders.size() > 1) {
    for (std::size_t i = 0; i < kit.folders.size(); ++i) FileSystem::GetFilesFromFolder(kit.folders[i], entries[i]);
  }
  kit.folder = kit.folders.front();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto has = [&](const char* i_name) {
      return std::find(entries[i].begin(), entries[i].end(), i_name) != entries[i].end();
    };
    if (has(kBaseUnitFiles[0]) || has(kBaseUnitFiles[1])) {
      kit.folder = kit.folders[i];
      break;
    }
  }
  MeasureUnitSize(kit);
  if (!kit.measured()) return kit;
  // The plain pieces' files, in the order they are taken below, are read first, together.
  std::vector<ReadAhead> ahead;
  for (std::size_t i = 0; i < i_styles.size(); ++i) {
    if (std::find(i_styles.begin(), i_styles.begin() + static_cast<std::ptrdiff_t>(i), i_styles[i]) !=
        i_styles.begin() + static_cast<std::ptrdiff_t>(i))
      continue;
    const std::string folder = StyleFolder(kit.folders, entries, i_styles[i]);
    for (const PieceRule* rule = PieceRulesBegin(); rule != PieceRulesEnd(); ++rule) {
      ahead.push_back({UnitFile(folder, PieceName(i_styles[i], rule->kind)), Obj::Mesh{}, {}});
    }
  }
  ReadAll(ahead);
  std::size_t next = 0;
  for (const std::string& name : i_styles) {
    if (kit.style(name)) continue;
    KitStyle style;
    style.name = name;
    style.folder = StyleFolder(kit.folders, entries, name);
    for (const PieceRule* rule = PieceRulesBegin(); rule != PieceRulesEnd(); ++rule) {
      ReadAhead* const file = next < ahead.size() ? &ahead[next++] : nullptr;
      style.pieces[static_cast<std::size_t>(rule->kind)] = LoadPiece(style.folder, PieceName(name, rule->kind), kit, file);
    }
    style.rise = RiseOf(kit.piece(style.piece(PieceKind::Slope)));
    kit.styles.push_back(std::move(style));
  }
  return kit;
}

namespace {

// Whether the part of an entry name after its style's "_" names a variant's unit file,
// "KIND.N.obj".
bool IsVariantFile(const std::string& i_rest) {
  const std::string extension = ".obj";
  PieceKind kind;
  std::uint32_t number = 0;
  return i_rest.size() > extension.size() &&
         i_rest.compare(i_rest.size() - extension.size(), extension.size(), extension) == 0 &&
         VariantOfSuffix(std::string_view(i_rest).substr(0, i_rest.size() - extension.size()), kind, number);
}

}  // namespace

std::set<std::string> StylesOf(const std::vector<std::string>& i_entries) {
  std::set<std::string> styles;
  for (const std::string& entry : i_entries) {
    if (entry == "." || entry == "..") continue;
    std::vector<std::string> tokens;
    FileSystem::SplitString(entry, '_', tokens);
    if (tokens.size() == 2 && !IsVariantFile(tokens[1])) styles.insert(tokens[0]);
  }
  return styles;
}

bool IsPieceFile(const std::string& i_entry, const std::string& i_style) {
  const std::string prefix = i_style + "_";
  const std::string extension = ".obj";
  if (i_entry.size() <= prefix.size() + extension.size() || i_entry.compare(0, prefix.size(), prefix) != 0 ||
      i_entry.compare(i_entry.size() - extension.size(), extension.size(), extension) != 0) {
    return false;
  }
  const std::string_view suffix =
      std::string_view(i_entry).substr(prefix.size(), i_entry.size() - prefix.size() - extension.size());
  PieceKind kind;
  std::uint32_t number = 0;
  return KindOfSuffix(suffix, kind) || VariantOfSuffix(suffix, kind, number);
}

}  // namespace Ostrel::Buildings
