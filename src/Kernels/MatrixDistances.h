#pragma once
// The search of many children of small grids at once, as level-1 bases have: each child holds only a few
// values, so comparing them one child at a time costs more in set-up than in arithmetic. Their features are
// instead kept side by side, 8 children to a vector, and all children are compared with the four shifted
// windows at once.

#include "KernelDispatch.h"

#include <cstddef>
#include <cstdint>
#include <vector>

/* The features of a list of children side by side. */
struct FeatureMatrix
{
    int groups = 0;              /* vectors of 8 children */
    std::vector<int16_t> values; /* feature i of child 8 g + j at (i groups + g) 8 + j, 0 where no child */
    std::vector<int> places;     /* where feature i faces the extraction in window 0 */
};

/* The largest grid, in values, whose children are searched as a matrix at the process's kernel level:
   with vectors of 16 the matrix pays already for the 7 x 7 grids of level 2, with vectors of 8 only for
   tiny grids. Each 32-bit lane of a sum then takes at most 64 distances below 2^16. */
int LargestMatrixGridValues();

/* Shapes matrix for count children of cols x rows features, every value 0. */
void ShapeFeatureMatrix(FeatureMatrix& matrix, int count, int cols, int rows);

/* Puts the features of child c into matrix (as many as the shape gives each child). */
void PutMatrixChild(FeatureMatrix& matrix, int c, const int16_t* features);

/* How many distances MatrixDistances writes for matrix: four windows of every group's 8 children. */
inline size_t MatrixDistanceCount(const FeatureMatrix& matrix)
{
    return static_cast<size_t>(4 * matrix.groups * 8);
}

/* d[k groups 8 + c] = sum over the features (q, r) of child c of |feature - extraction[(r + k / 2)
   (cols + 1) + q + k % 2]|: each child's distances to the four cols x rows windows of a (cols + 1) x
   (rows + 1) extraction, for the grid the matrix was shaped with (at most 64 values). */
typedef void MatrixDistancesForm(const FeatureMatrix& matrix, const int16_t* extraction, int cols,
                                 uint32_t* d);

/* The reference form: one child and one value at a time. */
void MatrixDistancesPlain(const FeatureMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d);

/* The form of level (its own, or that of the nearest level below that has one). */
MatrixDistancesForm* MatrixDistancesAt(KernelLevel level);

/* The distances at the process's kernel level. */
void MatrixDistances(const FeatureMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d);

/* The first of count children whose least distance (over the four windows, in d as MatrixDistances lays
   it out for groups groups) is the least of all, with that distance and the first window giving it; -1
   when count is 0. */
typedef int FirstNearestForm(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift);

/* The reference form: one child at a time. */
int FirstNearestPlain(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift);

/* The form of level (its own, or that of the nearest level below that has one). */
FirstNearestForm* FirstNearestAt(KernelLevel level);

/* The nearest child at the process's kernel level. */
int FirstNearest(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift);
