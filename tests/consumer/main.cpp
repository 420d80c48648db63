// Reads the OBJ files named on the command line with the installed library and prints, for each,
// its name and its numbers of vertices and faces. Exit status 1 when a file cannot be read.

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <ostrel/core/MathTypes.h>
#include <ostrel/ext/Obj.h>

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    std::vector<Ostrel::VectorF> vertices, normals;
    std::vector<Ostrel::UV> uvs;
    std::vector<std::uint32_t> vindices, nindices, uvindices, polycount;
    if (!Obj::Read(argv[i], vertices, normals, uvs, vindices, nindices, uvindices, polycount)) {
      std::cout << argv[i] << ": cannot be read\n";
      status = 1;
      continue;
    }
    std::cout << argv[i] << ": " << vertices.size() << " vertices, " << polycount.size() << " faces\n";
  }
  return status;
}
