#include "notes/outline/OutlineShape.h"

#include "notes/outline/OutlineModel.h"
#include "notes/outline/TrimValue.h"

#include <algorithm>

namespace quillet {

bool OutlineShape::has(const std::string &key) const
{
    return m_nodes.find(fromStored(key)) >= 0;
}

std::vector<std::string> OutlineShape::childrenOf(const std::string &parent) const
{
    std::vector<std::string> keys;
    const auto add = [&](int number) {
        keys.push_back(m_nodes.node(number).key.toStdString());
    };
    if (parent.empty()) {
        for (const int number : m_nodes.topLevel())
            add(number);
        return keys;
    }
    const int number = m_nodes.find(fromStored(parent));
    if (number >= 0)
        for (const int child : m_nodes.node(number).children)
            add(child);
    return keys;
}

int OutlineShape::levelsBelow(const std::string &key) const
{
    if (const auto known = m_levelsBelow.find(key); known != m_levelsBelow.end())
        return known->second;
    const int top = m_nodes.find(fromStored(key));
    if (top < 0)
        return 0;
    int deepest = 0;
    std::vector<std::pair<int, int>> pending{{top, 0}};
    while (!pending.empty()) {
        const auto [number, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        for (const int child : m_nodes.node(number).children)
            pending.emplace_back(child, depth + 1);
    }
    m_levelsBelow.emplace(key, deepest);
    return deepest;
}

} // namespace quillet
