// Grid storage: zero-filled row-pointer matrices and vectors.
//
// A matrix is an array of line pointers into one contiguous block, line after line,
// indexed [line][column] from the top left corner: a line costs its cells and one
// pointer, whatever the shape of the grid. Allocators take the number of
// columns first and the number of lines second; they return null when memory runs
// out and print nothing. No matrix or vector records its own size: the caller keeps
// the dimensions and hands the number of lines back to the release routine.
#pragma once

#include <cstdint>

using ByteMatrix = unsigned char**;

unsigned char** ucmatrice(int NbCol, int NbLig);
void frucmatrice(unsigned char** Mat, int NbLig);

std::int32_t* ivecteur(int NbCol);
void frivecteur(std::int32_t* Mat);
