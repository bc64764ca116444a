// The display on POSIX: there is no screen, so there is no device context and
// no stock font. Callers that ask for the display's character set get "no
// device context" and fall back to the profile, as on a Windows system without
// a display.
#include "platform/platform.h"

namespace kx::os {

HDC GetDC(HWND /*window*/) { return nullptr; }

int ReleaseDC(HWND /*window*/, HDC /*dc*/) { return 0; }

HGDIOBJ GetStockObject(int /*object*/) { return nullptr; }

HGDIOBJ SelectObject(HDC /*dc*/, HGDIOBJ /*object*/) { return nullptr; }

BOOL GetTextMetricsA(HDC /*dc*/, TEXTMETRICA * /*metrics*/) { return FALSE; }

}  // namespace kx::os
