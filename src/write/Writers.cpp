// The table of output formats.

#include "write/Writer.h"

namespace Ostrel::City {

std::unique_ptr<Writer> MakeWriter(OutputFormat i_format) {
  switch (i_format) {
    case OutputFormat::Obj:
      return MakeObjFormat();
    case OutputFormat::Glb:
      return MakeGlbFormat();
    case OutputFormat::Count:
      return MakeCountFormat();
    case OutputFormat::Tiles:
      return MakeTilesFormat();
  }
  return MakeCountFormat();
}

}  // namespace Ostrel::City
