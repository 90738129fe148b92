#include "memorywindow.h"

namespace wbx::testing {

void MemoryWindow::SetWindowPos(int newLeft, int newTop, int width, int height) {
    left = newLeft;
    top = newTop;
    clientWidth = width - kBorderWidth;
    clientHeight = height - kBorderHeight;
    shown = true;
    ++setWindowPosCalls;
}

}  // namespace wbx::testing
