// Optimal assignment on a rectangular cost matrix: the Hungarian method with row and column potentials
// (Kuhn-Munkres in the shortest-augmenting-path form of Jonker and Volgenant), O(rows^2 columns).

#include "TrackingEval.h"

#include <algorithm>
#include <limits>

namespace {

/* Assigns every row of cost (rows <= columns) to a distinct column at least total cost. */
std::vector<int> AssignEveryRow(const std::vector<std::vector<double>>& cost, std::size_t columns)
{
    const std::size_t rows = cost.size();
    const double infinity = std::numeric_limits<double>::infinity();
    // Index 0 of the column arrays is a virtual column from which each row's augmenting path starts.
    std::vector<double> u(rows + 1, 0.0), v(columns + 1, 0.0);
    std::vector<std::size_t> rowOf(columns + 1, 0), way(columns + 1, 0);
    for (std::size_t i = 1; i <= rows; ++i) {
        rowOf[0] = i;
        std::size_t j0 = 0;
        std::vector<double> minSlack(columns + 1, infinity);
        std::vector<bool> used(columns + 1, false);
        do {
            used[j0] = true;
            const std::size_t i0 = rowOf[j0];
            double delta = infinity;
            std::size_t j1 = 0;
            for (std::size_t j = 1; j <= columns; ++j) {
                if (used[j])
                    continue;
                // Reduced cost c(i0, j) - u(i0) - v(j) >= 0 for every pair.
                const double slack = cost[i0 - 1][j - 1] - u[i0] - v[j];
                if (slack < minSlack[j]) {
                    minSlack[j] = slack;
                    way[j] = j0;
                }
                if (minSlack[j] < delta) {
                    delta = minSlack[j];
                    j1 = j;
                }
            }
            for (std::size_t j = 0; j <= columns; ++j) {
                if (used[j]) {
                    u[rowOf[j]] += delta;
                    v[j] -= delta;
                } else {
                    minSlack[j] -= delta;
                }
            }
            j0 = j1;
        } while (rowOf[j0] != 0);
        // Flip the augmenting path back to the virtual column.
        do {
            const std::size_t j1 = way[j0];
            rowOf[j0] = rowOf[j1];
            j0 = j1;
        } while (j0 != 0);
    }
    std::vector<int> columnOf(rows, -1);
    for (std::size_t j = 1; j <= columns; ++j)
        if (rowOf[j] != 0)
            columnOf[rowOf[j] - 1] = int(j - 1);
    return columnOf;
}

} // namespace

std::vector<int> AssignMinimumCost(const std::vector<std::vector<double>>& cost)
{
    const std::size_t rows = cost.size();
    const std::size_t columns = rows ? cost[0].size() : 0;
    if (rows == 0 || columns == 0)
        return std::vector<int>(rows, -1);
    if (rows <= columns)
        return AssignEveryRow(cost, columns);
    std::vector<std::vector<double>> transposed(columns, std::vector<double>(rows));
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < columns; ++j)
            transposed[j][i] = cost[i][j];
    const std::vector<int> rowOfColumn = AssignEveryRow(transposed, rows);
    std::vector<int> columnOf(rows, -1);
    for (std::size_t j = 0; j < columns; ++j)
        columnOf[std::size_t(rowOfColumn[j])] = int(j);
    return columnOf;
}
