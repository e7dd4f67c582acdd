#pragma once

#include "store/MoveRules.h"

#include <string>
#include <unordered_map>

namespace quillet {

class OutlineModel;

// The outline on the screen as the rules of a move read it: asked as the pointer moves over the
// outline and when its menu opens, so the file is not read. The move itself asks the same
// rules again over the rows of the file.
class OutlineShape final : public moves::Shape
{
public:
    explicit OutlineShape(const OutlineModel &nodes)
        : m_nodes(nodes)
    {
    }
    bool has(const std::string &key) const override;
    std::vector<std::string> childrenOf(const std::string &parent) const override;
    int levelsBelow(const std::string &key) const override;

private:
    const OutlineModel &m_nodes;
    // Asked of the one item moved for every place it may go: counted once.
    mutable std::unordered_map<std::string, int> m_levelsBelow;
};

} // namespace quillet
