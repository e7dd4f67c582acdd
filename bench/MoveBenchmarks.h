#pragma once

#include "TransferBenchmarks.h"

#include <string>

namespace quillet::bench {

// The moves are measured on an outline of the largest size whose second top-level item, "B",
// holds a subtree of this many items (generateOutlineWithSubtree), generated for them alone so
// that the other benchmarks' outlines stay as they were.
inline constexpr int kMoveSubtreeItems = 5000;

// One drag-move event over that outline, handled by the outline view: registered under this
// name at the largest size beside the moves (see registerMoveBenchmarks), it is judged by
// printMoveTargets against kDragMoveEventTargetMs; until then it is reported as not measured.
inline constexpr const char *kDragMoveEventName = "DragMoveEvent";
inline constexpr double kDragMoveEventTargetMs = 16.0;

// Generates the moves' outline in folder, which must outlive the benchmark run, and registers
// at the largest size: the subtree moved under another item, a leaf moved one place up among
// leaf siblings, and a top-level item moved up past the large subtree. Each is the store's
// move (moving::move, the notes' versions following), then the outline cleared and loaded
// again and the moved item selected, as the add command does after its insert.
void registerMoveBenchmarks(const std::string &folder);

// Prints the moves against AddItem at the largest size, wall time, with their targets.
void printMoveTargets(const TimingOf &timing);

} // namespace quillet::bench
