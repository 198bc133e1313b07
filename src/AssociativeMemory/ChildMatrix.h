#pragma once
// The child search of a base whose children have small grids, as level-1 bases have: each child holds only
// a few values, so comparing them one child at a time costs more in set-up than in arithmetic. Their features
// are instead kept side by side, 8 children to a vector, and all children are compared with the four
// shifted windows at once.

#include <cstdint>
#include <vector>

struct CvAMBase;

/* The children of one base as the batched search reads them; rebuilt whenever the memory's tree changed. */
struct ChildMatrix
{
    uint64_t treeChanges = 0;         /* the context's count of tree changes it was built at */
    std::vector<CvAMBase*> children;  /* the non-empty entries, in list order */
    CvAMBase** lastVacated = nullptr; /* the last empty entry of the list, if any */
    int groups = 0;                   /* vectors of 8 children */
    std::vector<int16_t> values; /* feature i of child 8 g + j at (i groups + g) 8 + j, 0 where no child */
    std::vector<uint32_t> distances; /* room for the distances of one search */
    std::vector<int> places;         /* where feature i faces the extraction in window 0 */
};

/* The largest grid, in values, whose children are searched as a matrix: with vectors of 16 the matrix pays
   already for the 7 x 7 grids of level 2, with vectors of 8 only for tiny grids. Each 32-bit lane of a sum
   then takes at most 64 distances below 2^16. */
int MatrixGridValues();

/* Fills matrix from the features of the children (cols x rows values each). */
void FillChildMatrix(ChildMatrix& matrix, int cols, int rows);

/* d[k groups 8 + c] = sum over the features (q, r) of child c of |feature - extraction[(r + k / 2)
   (cols + 1) + q + k % 2]|: each child's distances to the four cols x rows windows of a (cols + 1) x
   (rows + 1) extraction, for the grid the matrix was filled with (at most MatrixGridValues() values).
   Vectorised where the machine allows. */
void MatrixDistances(const ChildMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d);

/* The first of count children whose least distance (over the four windows, in d as MatrixDistances lays
   it out for groups groups) is the least of all, with that distance and the first window giving it; -1
   when count is 0. Vectorised where the machine allows. */
int FirstNearest(const uint32_t* d, int groups, int count, uint32_t* distance, int* shift);
