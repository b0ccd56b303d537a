#include "raster/nrutil.h"

#include <cstdlib>

namespace {

// Zero-filled block of n elements; null for a negative count or when memory runs out.
// A count of zero still yields a valid (empty) block so that a fresh grid never holds null lines.
template <class T>
T* zeroed_block(int n) {
    if (n < 0) return nullptr;
    std::size_t count = n == 0 ? 1 : static_cast<std::size_t>(n);
    return static_cast<T*>(std::calloc(count, sizeof(T)));
}

template <class T>
T** new_matrix(int NbCol, int NbLig) {
    if (NbCol < 0 || NbLig < 0) return nullptr;
    T** m = zeroed_block<T*>(NbLig);
    if (m == nullptr) return nullptr;
    for (int i = 0; i < NbLig; ++i) {
        m[i] = zeroed_block<T>(NbCol);
        if (m[i] == nullptr) {
            // The caller gets nothing of a partial matrix.
            for (int k = 0; k < i; ++k) std::free(m[k]);
            std::free(m);
            return nullptr;
        }
    }
    return m;
}

template <class T>
void free_matrix(T** m, int NbLig) {
    if (m == nullptr) return;
    for (int i = 0; i < NbLig; ++i) std::free(m[i]);
    std::free(m);
}

}  // namespace

float** fmatrice(int NbCol, int NbLig) {
    return new_matrix<float>(NbCol, NbLig);
}
void frfmatrice(float** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
unsigned char** ucmatrice(int NbCol, int NbLig) {
    return new_matrix<unsigned char>(NbCol, NbLig);
}
void frucmatrice(unsigned char** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
std::uint16_t** usmatrice(int NbCol, int NbLig) {
    return new_matrix<std::uint16_t>(NbCol, NbLig);
}
void frusmatrice(std::uint16_t** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
std::int16_t** smatrice(int NbCol, int NbLig) {
    return new_matrix<std::int16_t>(NbCol, NbLig);
}
void frsmatrice(std::int16_t** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
std::int32_t** imatrice(int NbCol, int NbLig) {
    return new_matrix<std::int32_t>(NbCol, NbLig);
}
void frimatrice(std::int32_t** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
std::int32_t** limatrice(int NbCol, int NbLig) {
    return new_matrix<std::int32_t>(NbCol, NbLig);
}
void frlimatrice(std::int32_t** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
double** dmatrice(int NbCol, int NbLig) {
    return new_matrix<double>(NbCol, NbLig);
}
void frdmatrice(double** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}
LongDouble10** ldmatrice(int NbCol, int NbLig) {
    return new_matrix<LongDouble10>(NbCol, NbLig);
}
void frldmatrice(LongDouble10** Mat, int NbLig) {
    free_matrix(Mat, NbLig);
}

unsigned char* ucvecteur(int NbCol) {
    return zeroed_block<unsigned char>(NbCol);
}
void frucvecteur(unsigned char* Mat) {
    std::free(Mat);
}
std::uint16_t* usvecteur(int NbCol) {
    return zeroed_block<std::uint16_t>(NbCol);
}
void frusvecteur(std::uint16_t* Mat) {
    std::free(Mat);
}
std::int16_t* svecteur(int NbCol) {
    return zeroed_block<std::int16_t>(NbCol);
}
void frsvecteur(std::int16_t* Mat) {
    std::free(Mat);
}
std::int32_t* ivecteur(int NbCol) {
    return zeroed_block<std::int32_t>(NbCol);
}
void frivecteur(std::int32_t* Mat) {
    std::free(Mat);
}
double* dvecteur(int NbCol) {
    return zeroed_block<double>(NbCol);
}
void frdvecteur(double* Mat) {
    std::free(Mat);
}
float* fvecteur(int NbCol) {
    return zeroed_block<float>(NbCol);
}
void frfvecteur(float* Mat) {
    std::free(Mat);
}
