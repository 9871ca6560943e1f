#include "import/ImportMath.h"

#include <glm/ext/vector_int3_sized.hpp>
#include <glm/geometric.hpp>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace hm {

namespace {

struct AttenuationRow {
    float range, constant, linear, quadratic;
};

constexpr AttenuationRow kAttenuationTable[] = {
    {0, 0, 40, 200},           {1, 1, 10, 50},
    {7, 1, 0.7f, 1.8f},        {13, 1, 0.35f, 0.44f},
    {20, 1, 0.22f, 0.20f},     {32, 1, 0.14f, 0.07f},
    {50, 1, 0.09f, 0.032f},    {65, 1, 0.07f, 0.017f},
    {100, 1, 0.045f, 0.0075f}, {160, 1, 0.027f, 0.0028f},
    {200, 1, 0.022f, 0.0019f}, {325, 1, 0.014f, 0.0007f},
    {600, 1, 0.007f, 0.0002f}, {3250, 1, 0.0014f, 0.000007f},
};

} // namespace

glm::vec3 attenuationForRange(float range) {
    constexpr std::size_t rows = std::size(kAttenuationTable);
    if (!(range >= kAttenuationTable[0].range) || range >= kAttenuationTable[rows - 1].range)
        return glm::vec3(0.0f);
    for (std::size_t i = 1; i < rows; ++i) {
        const auto& row = kAttenuationTable[i];
        if (row.range > range) {
            const auto& previous = kAttenuationTable[i - 1];
            const float t = (range - previous.range) / (row.range - previous.range);
            return glm::vec3(previous.constant + t * (row.constant - previous.constant),
                             previous.linear + t * (row.linear - previous.linear),
                             previous.quadratic + t * (row.quadratic - previous.quadratic));
        }
    }
    return glm::vec3(0.0f);
}

std::vector<std::uint32_t> weldPositions(const std::vector<glm::vec3>& positions,
                                         std::vector<glm::vec3>& welded, float tolerance) {
    // A grid of cells one tolerance wide: a match can only sit in the 27 cells around a point,
    // which keeps welding linear for terrain-sized meshes. Among several matches the earliest
    // position wins, exactly as a linear search in output order would decide.
    // Cell coordinates are 64-bit and clamped far inside their range, so coordinates of any size
    // have a cell and its neighbours (beyond the clamp many points share a cell, which costs
    // time, never a wrong weld). Points that are not finite are never welded.
    using Cell = glm::i64vec3;
    struct CellHash {
        std::size_t operator()(const Cell& c) const {
            return static_cast<std::size_t>(c.x) * 73856093u ^ static_cast<std::size_t>(c.y) * 19349663u ^
                   static_cast<std::size_t>(c.z) * 83492791u;
        }
    };
    std::unordered_map<Cell, std::vector<std::uint32_t>, CellHash> grid;
    const double cellSize = tolerance > 0.0f ? tolerance : 1e-6;
    auto cellOf = [&](const glm::vec3& p) {
        constexpr double kLimit = 4.0e18;
        Cell cell;
        for (int i = 0; i < 3; ++i)
            cell[i] = static_cast<std::int64_t>(std::clamp(std::floor(p[i] / cellSize), -kLimit, kLimit));
        return cell;
    };

    std::vector<std::uint32_t> mapping;
    mapping.reserve(positions.size());
    for (const glm::vec3& p : positions) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            mapping.push_back(static_cast<std::uint32_t>(welded.size()));
            welded.push_back(p);
            continue;
        }
        const Cell cell = cellOf(p);
        std::uint32_t best = UINT32_MAX;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dz = -1; dz <= 1; ++dz) {
                    auto it = grid.find(cell + Cell(dx, dy, dz));
                    if (it == grid.end())
                        continue;
                    for (std::uint32_t index : it->second)
                        if (index < best && glm::distance(welded[index], p) < tolerance)
                            best = index;
                }
        if (best == UINT32_MAX) {
            best = static_cast<std::uint32_t>(welded.size());
            welded.push_back(p);
            grid[cell].push_back(best);
        }
        mapping.push_back(best);
    }
    return mapping;
}

VertexBoneData::Added VertexBoneData::add(std::int32_t boneId, float weight) {
    for (std::size_t i = 0; i < 4; ++i)
        if (ids[i] < 0) {
            ids[i] = boneId;
            weights[i] = weight;
            return Added::Stored;
        }
    std::size_t smallest = 0;
    for (std::size_t i = 1; i < 4; ++i)
        if (weights[i] < weights[smallest])
            smallest = i;
    if (weights[smallest] < weight) {
        ids[smallest] = boneId;
        weights[smallest] = weight;
        return Added::ReplacedSmallest;
    }
    return Added::Dropped;
}

} // namespace hm
