#pragma once
// The child search of a base whose children have tiny grids, as level-1 bases have: each child holds only a
// few values, so comparing them one child at a time costs more in set-up than in arithmetic. Their features
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

/* The grids whose children are searched as a matrix: at most this many values. */
const int CV_AM_MATRIX_VALUES = 16;

/* Fills matrix from the features of the children (cols x rows values each). */
void FillChildMatrix(ChildMatrix& matrix, int cols, int rows);

/* d[k groups 8 + c] = sum over the features (q, r) of child c of |feature - extraction[(r + k / 2)
   (cols + 1) + q + k % 2]|: each child's distances to the four cols x rows windows of a (cols + 1) x
   (rows + 1) extraction, for the grid the matrix was filled with. Vectorised where the machine allows. */
void MatrixDistances(const ChildMatrix& matrix, const int16_t* extraction, int cols, uint32_t* d);
