#pragma once
// Checks of a mesh as one surface: edges that are open or wound against their neighbour, normals
// that disagree with the winding, and faces that lie in one plane over each other. Each check
// returns what it found as data and prints nothing, so that tests and a kit linter can word the
// findings their own way.
//
// Positions are welded first: corners whose coordinates are equal (bit for bit, 0 and -0 alike)
// are one point, whichever v line they come from. Faces are numbered from 0 in file order; faces
// with fewer than three corners are skipped. Sizes are in the mesh's own units. Every check
// works with hash maps and sorted sweeps, so buildings of hundreds of thousands of faces take a
// fraction of a second.

#include <cstdint>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>

namespace Ostrel::MeshCheck {

// The mesh's distinct positions, and the one of each corner.
struct Welded {
  std::vector<VectorF> points;
  std::vector<std::uint32_t> cornerPoints;  // parallel to the mesh's corners
};

enum class EdgeFault {
  Open,     // one face uses the edge: the surface has a hole or a crack there
  Flipped,  // two faces use it in the same direction: one of them is wound the wrong way
  Crowded,  // more than two faces use it: surfaces meet along a line
};

// An edge between two welded points that is not used exactly once in each direction.
struct EdgeFinding {
  EdgeFault fault;
  VectorF from, to;                // as the first face that uses it runs
  std::vector<std::size_t> faces;  // every face that uses it, either way
};

// A corner normal that points against the face's winding (or across it).
struct NormalFinding {
  std::size_t face;
  std::size_t corner;  // 0-based within the face
  VectorF normal;      // the corner's normal as the file gives it
  VectorF winding;     // the unit normal of the face's winding, counter-clockwise seen from its front
};

enum class OverlapKind {
  BackToBack,  // opposite windings: a hidden pair, as where two closed solids touch
  SameFacing,  // same winding: two surfaces in one place, which flicker in a viewer
};

// Two faces in one plane whose insides overlap over a positive area.
struct OverlapFinding {
  OverlapKind kind;
  std::size_t first, second;  // first < second
  VectorF where;              // the centre of the first face's corners
};

Welded Weld(const Obj::Mesh& i_mesh);
std::vector<EdgeFinding> FindEdgeFaults(const Obj::Mesh& i_mesh);
std::vector<NormalFinding> FindNormalsAgainstWinding(const Obj::Mesh& i_mesh);
std::vector<OverlapFinding> FindOverlaps(const Obj::Mesh& i_mesh);

}  // namespace Ostrel::MeshCheck
