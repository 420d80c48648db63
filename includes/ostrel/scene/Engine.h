#pragma once
// Extras for game engines, added to each building of a scene on request: collision hulls named
// by an engine's import convention, lower levels of detail, empty nodes that mark the doors, and
// where the building's own origin (its pivot) lies. A scene asks for none of them by default, and
// its output is then exactly what it was without them.

#include <string>

#include <ostrel/layout/Frame.h>
#include <ostrel/layout/Request.h>

namespace Ostrel::Buildings {

// How the collision hulls are named, after the engine that imports them.
enum class CollisionNaming {
  None,    // no hulls
  Godot,   // "<building>-colonly": the importer makes a static body of it and drops its mesh
  Unreal,  // "UCX_<building>_00", numbered per block: the importer's custom collision
};

// Where a building's own origin lies.
enum class Pivot {
  Origin,      // the centre of the north-west corner cell at ground level (the layout's origin)
  BaseCentre,  // the middle of the footprint at ground level
  Corner,      // the outer north-west corner of the footprint at ground level
};

struct EngineOptions {
  CollisionNaming collision = CollisionNaming::None;
  int lods = 0;          // lower levels of detail, 0 to 3 (kMaxLods)
  bool markers = false;  // glTF: an empty node at each door
  Pivot pivot = Pivot::Origin;

  // Whether some extra is added to the buildings (a pivot only moves them).
  bool adds() const { return collision != CollisionNaming::None || lods > 0 || markers; }
};

inline constexpr int kMaxLods = 3;

// The most vertices (as the OBJ output counts them) a building may have for levels of detail:
// they are simplified from the whole mesh held in memory, about 450 bytes a vertex at the peak,
// so this keeps a building's levels within about 2 GB.
inline constexpr std::uint64_t kMaxLodVertices = 4000000;

// The words of the options: godot or unreal; origin, base-centre or corner. False for any other.
bool CollisionNamingOf(const std::string& i_word, CollisionNaming& o_naming);
bool PivotOf(const std::string& i_word, Pivot& o_pivot);

// Puts the frame's pivot where i_pivot says for the building of the request (cell units).
void PlacePivot(const Request& i_request, Pivot i_pivot, Frame& io_frame);

}  // namespace Ostrel::Buildings
