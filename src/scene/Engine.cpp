// The words of the engine options, and the pivot of a building.

#include <ostrel/scene/Engine.h>

#include <ostrel/layout/Blocks.h>

namespace Ostrel::Buildings {

bool CollisionNamingOf(const std::string& i_word, CollisionNaming& o_naming) {
  if (i_word == "godot") {
    o_naming = CollisionNaming::Godot;
    return true;
  }
  if (i_word == "unreal") {
    o_naming = CollisionNaming::Unreal;
    return true;
  }
  return false;
}

bool PivotOf(const std::string& i_word, Pivot& o_pivot) {
  if (i_word == "origin") o_pivot = Pivot::Origin;
  else if (i_word == "base-centre") o_pivot = Pivot::BaseCentre;
  else if (i_word == "corner") o_pivot = Pivot::Corner;
  else return false;
  return true;
}

void PlacePivot(const Request& i_request, Pivot i_pivot, Frame& io_frame) {
  const GroundRect footprint = GroundRectOf(i_request);
  switch (i_pivot) {
    case Pivot::Origin:
      return;
    case Pivot::BaseCentre:
      io_frame.xpivot = static_cast<float>((footprint.xmin + footprint.xmax) / 2);
      io_frame.zpivot = static_cast<float>((footprint.zmin + footprint.zmax) / 2);
      return;
    case Pivot::Corner:
      // North faces +x and west -z.
      io_frame.xpivot = static_cast<float>(footprint.xmax);
      io_frame.zpivot = static_cast<float>(footprint.zmin);
      return;
  }
}

}  // namespace Ostrel::Buildings
