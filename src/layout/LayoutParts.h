#pragma once
// What the layout's parts share: the choice among a piece's variants at a place, and the
// placement of a style's piece. The storeys and the flat roof (Layout.cpp) and the pitched roofs
// (Roofs.cpp) are laid with them.

#include <cstdint>
#include <vector>

#include <ostrel/kit/Kit.h>
#include <ostrel/layout/Layout.h>

namespace Ostrel::Buildings::detail {

// The choice (1 + its index in io_choices, which gains it when new) of the piece i_kind of the
// request's style at a place of facade i_facade (0 for none); 0 when the piece has no variants.
std::uint32_t ChoiceOf(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, PieceKind i_kind,
                       char i_facade, std::vector<Choice>& io_choices);

// A pitched roof over the building's footprint, its eaves on top of the storeys at i_level.
void AddPitchedRoof(const Request& i_request, const Kit& i_kit, const KitStyle& i_style, std::int64_t i_level,
                    Plan& io_plan);

}  // namespace Ostrel::Buildings::detail
