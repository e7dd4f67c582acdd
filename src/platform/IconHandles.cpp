#include "platform/IconHandles.h"

#include <map>

namespace quillet::iconHandles {

namespace {

struct Registry
{
    std::map<std::int32_t, QIcon> icons;
    std::int32_t next = 1;
};

Registry &registry()
{
    static Registry icons;
    return icons;
}

} // namespace

std::int32_t add(const QIcon &icon)
{
    Registry &icons = registry();
    const std::int32_t handle = icons.next++;
    icons.icons.emplace(handle, icon);
    return handle;
}

QIcon iconOf(std::int32_t handle)
{
    const auto found = registry().icons.find(handle);
    return found == registry().icons.end() ? QIcon() : found->second;
}

void remove(std::int32_t handle)
{
    registry().icons.erase(handle);
}

} // namespace quillet::iconHandles
