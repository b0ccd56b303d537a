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
using IntMatrix = std::int32_t**;
using DoubleMatrix = double**;

// Extended-precision cell: an 80-bit value stored in 10 bytes.
struct LongDouble10 {
    unsigned char bytes[10];
};

float** fmatrice(int NbCol, int NbLig);
void frfmatrice(float** Mat, int NbLig);
unsigned char** ucmatrice(int NbCol, int NbLig);
void frucmatrice(unsigned char** Mat, int NbLig);
std::uint16_t** usmatrice(int NbCol, int NbLig);
void frusmatrice(std::uint16_t** Mat, int NbLig);
std::int16_t** smatrice(int NbCol, int NbLig);
void frsmatrice(std::int16_t** Mat, int NbLig);
std::int32_t** imatrice(int NbCol, int NbLig);
void frimatrice(std::int32_t** Mat, int NbLig);
// Long integers are 32 bits wide here and the matrix is handed out typed as int32.
std::int32_t** limatrice(int NbCol, int NbLig);
void frlimatrice(std::int32_t** Mat, int NbLig);
double** dmatrice(int NbCol, int NbLig);
void frdmatrice(double** Mat, int NbLig);
LongDouble10** ldmatrice(int NbCol, int NbLig);
void frldmatrice(LongDouble10** Mat, int NbLig);

// Keeps the first NewCol cells of each line of a matrix made by ucmatrice(OldCol, NbLig),
// NewCol <= OldCol: the lines are packed together in the same block, which gives back
// what it no longer needs. The line pointers of `Mat` are updated.
void narrow_ucmatrice(unsigned char** Mat, int OldCol, int NewCol, int NbLig);

unsigned char* ucvecteur(int NbCol);
void frucvecteur(unsigned char* Mat);
std::uint16_t* usvecteur(int NbCol);
void frusvecteur(std::uint16_t* Mat);
std::int16_t* svecteur(int NbCol);
void frsvecteur(std::int16_t* Mat);
std::int32_t* ivecteur(int NbCol);
void frivecteur(std::int32_t* Mat);
double* dvecteur(int NbCol);
void frdvecteur(double* Mat);
float* fvecteur(int NbCol);
void frfvecteur(float* Mat);
