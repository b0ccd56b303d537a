#include "analysis/mesh.h"

void mesh_question(Console&, int, int, const std::string&, const LoadedMap&, Results&) {}
void draw_mesh(ByteMatrix, int, int, int) {}
