// Window text measures without a window system: the window is a KXTEXTWINDOW
// of the public header, which gives the client width and measures a text in
// its own unit (one unit per byte when it has no measure). It is its own
// device context and has no font to select.
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx::os {

BOOL OpenWindowText(HWND window, WindowText *text, LONG *clientWidth) {
    if (window == nullptr || text == nullptr) return FALSE;
    *text = WindowText{window, window, nullptr, FALSE};
    if (clientWidth != nullptr) *clientWidth = static_cast<const KXTEXTWINDOW *>(window)->clientWidth;
    return TRUE;
}

BOOL MeasureWindowText(WindowText *text, const char *chars, int length, LONG *width) {
    if (text == nullptr || text->window == nullptr || width == nullptr) return FALSE;
    const auto *window = static_cast<const KXTEXTWINDOW *>(text->window);
    *width = window->measure != nullptr ? window->measure(window->context, chars, length) : length;
    return TRUE;
}

void CloseWindowText(WindowText *text) {
    if (text != nullptr) *text = WindowText{};
}

}  // namespace kx::os
