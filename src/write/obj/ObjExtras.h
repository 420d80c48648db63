#pragma once
// A building's engine extras as OBJ objects, after the building's own text: each lower level of
// detail ("o <name>_LOD1" ...), then each collision hull (named as EngineExtras::hullNames say),
// turned and moved with the building. Indices continue after what the output held before.

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Frame.h>
#include <ostrel/scene/Materials.h>

#include "write/engine/EngineExtras.h"
#include "write/obj/ObjWriter.h"

namespace Ostrel::Buildings {

// Writes the extras, made in the building's own frame, placed by i_frame's turn and position;
// returns the offsets after them.
Offsets WriteExtrasObj(ObjWriter& io_writer, const Kit& i_kit, const EngineExtras& i_extras,
                       const std::string& i_building, const Frame& i_frame, const Offsets& i_start,
                       const MaterialNames& i_names);

}  // namespace Ostrel::Buildings
