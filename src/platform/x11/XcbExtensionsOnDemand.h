#pragma once

#include <xcb/xcb.h>

// The XInput, XTEST and X-Resource libraries are loaded when first used, not with the executable: none of
// them is needed to put the tray icon up. Their functions are called by their usual names; these are the
// extensions' keys for xcb_get_extension_data().
namespace XcbExtensionsOnDemand {

xcb_extension_t* input();
xcb_extension_t* test();
xcb_extension_t* resource();

} // namespace XcbExtensionsOnDemand
