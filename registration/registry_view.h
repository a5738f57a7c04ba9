#pragma once
// Where a key a 32-bit server writes lands on a 64-bit Windows: WOW64 gives
// 32-bit programs a view of their own of some keys (below WOW6432Node) and
// shares the rest, as "Registry Keys Affected by WOW64" lists them for Windows
// 7 and later. A preview redirects the roots, so the server's writes arrive
// with the 64-bit names and are moved into its view here.
#include <string>

#include "registry_roots.h"

namespace Ostravel {

// `path` below `root` as a 32-bit program's write reaches it on a 64-bit
// Windows; unchanged where the key is shared, or already names the view.
std::wstring Wow64Path(RegistryRoot root, const std::wstring& path);

}  // namespace Ostravel
