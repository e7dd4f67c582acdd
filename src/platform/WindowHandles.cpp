#include "platform/WindowHandles.h"

#include <vector>

namespace quillet::windowHandles {

namespace {

std::vector<QPointer<QWidget>> &registry()
{
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

} // namespace

std::int32_t handleOf(QWidget *window)
{
    auto &windows = registry();
    for (std::size_t i = 0; i < windows.size(); ++i)
        if (windows[i] == window)
            return static_cast<std::int32_t>(i + 1);
    windows.emplace_back(window);
    return static_cast<std::int32_t>(windows.size());
}

QWidget *windowOf(std::int32_t handle)
{
    const auto &windows = registry();
    if (handle < 1 || static_cast<std::size_t>(handle) > windows.size())
        return nullptr;
    return windows[static_cast<std::size_t>(handle) - 1];
}

} // namespace quillet::windowHandles
