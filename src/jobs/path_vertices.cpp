#include "jobs/path_vertices.h"

#include <algorithm>
#include <cmath>

namespace jobs {

namespace {

constexpr double kShareOfSize = 0.001;

struct Thinner {
    PathVertices& out;
    double minStep;

    void Add(const PathPoint& p, MoveKind kind, std::uint32_t move) {
        out.xyz.insert(out.xyz.end(), {p.x, p.y, p.z});
        out.kinds.push_back(kind);
        out.lastMoves.push_back(move);
    }
    PathPoint Vertex(std::size_t i) const {
        return {out.xyz[i * 3], out.xyz[i * 3 + 1], out.xyz[i * 3 + 2], 0};
    }
    // The line ends at p now. The last vertex goes when the line can run
    // straight from the one before it to p without showing the difference,
    // whatever kinds of move it stood for: a lift and a plunge that small are
    // not seen either (and would keep every point of a job that lifts often).
    void Take(const PathPoint& p, MoveKind kind, std::uint32_t move) {
        const std::size_t last = out.Count() - 1;
        if (last > 0) {
            const PathPoint anchor = Vertex(last - 1);
            if (std::max({std::abs(anchor.x - p.x), std::abs(anchor.y - p.y),
                          std::abs(anchor.z - p.z)}) < minStep) {
                out.xyz[last * 3] = p.x;
                out.xyz[last * 3 + 1] = p.y;
                out.xyz[last * 3 + 2] = p.z;
                out.lastMoves[last] = move;
                out.kinds[last] = kind;
                return;
            }
        }
        Add(p, kind, move);
    }
    // Thins what is kept already again, for a larger step.
    void Coarsen() {
        PathVertices kept;
        Thinner again{kept, minStep};
        again.Add(Vertex(0), out.kinds[0], out.lastMoves[0]);
        for (std::size_t i = 1; i < out.Count(); ++i)
            again.Take(Vertex(i), out.kinds[i], out.lastMoves[i]);
        out = std::move(kept);
    }
};

}  // namespace

std::size_t PathVertices::VerticesDone(std::size_t movesDone) const {
    if (movesDone == 0 || kinds.empty()) return 0;
    // Vertex 0, the start, is done with the first move.
    return std::size_t(
        std::upper_bound(lastMoves.begin() + 1, lastMoves.end(), std::uint32_t(movesDone - 1)) -
        lastMoves.begin());
}

PathVertices ThinForScreen(const Toolpath& toolpath, std::size_t maxVertices) {
    maxVertices = std::max<std::size_t>(maxVertices, 4);  // room for a start and an end
    PathVertices out;
    const PathPoint low = toolpath.Low(), high = toolpath.High();
    const double size = std::max({high.x - low.x, high.y - low.y, high.z - low.z, 1e-3f});
    Thinner thinner{out, size * kShareOfSize};
    thinner.Add(toolpath.Start(0), MoveKind::Rapid, 0);
    std::uint32_t move = 0;
    toolpath.ForEachMove(0, toolpath.MoveCount(),
                         [&](const PathPoint&, const PathPoint& end, MoveKind kind) {
                             thinner.Take(end, kind, move++);
                             if (out.Count() > maxVertices) {
                                 // Well below the bound again, or this would come back at once.
                                 while (out.Count() > maxVertices * 3 / 4) {
                                     thinner.minStep *= 1.5;
                                     thinner.Coarsen();
                                 }
                             }
                         });
    return out;
}

}  // namespace jobs
