#pragma once

namespace quillet {

// Whether a starter database holds the welcome note after its first item: the one a first
// start (and make run) makes does; the tool's init does not unless asked, nor do the imports.
enum class Welcome { Without, With };

} // namespace quillet
