#pragma once
// A toolpath thinned for the screen: the points a line through it needs when
// it is drawn no larger than the preview panel, each with the move it ends
// and that move's kind. Never used for the estimate, which takes every move.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jobs/toolpath.h"

namespace jobs {

struct PathVertices {
    // Enough for a smooth line at any size the panel takes, and few enough to
    // turn the view at a steady frame rate without a graphics card.
    static constexpr std::size_t kMaxVertices = 100'000;

    std::vector<float> xyz;                // three per vertex; the first is the path's start
    std::vector<MoveKind> kinds;           // of the moves that end at each vertex
    std::vector<std::uint32_t> lastMoves;  // the last move each vertex ends (the start: 0)

    std::size_t Count() const { return kinds.size(); }
    // Vertices whose moves are all done once `movesDone` moves are.
    std::size_t VerticesDone(std::size_t movesDone) const;
};

// Keeps a point wherever the line has gone further than a thousandth of the
// path's size from the last point kept; further, when that is too many.
PathVertices ThinForScreen(const Toolpath& toolpath,
                           std::size_t maxVertices = PathVertices::kMaxVertices);

}  // namespace jobs
