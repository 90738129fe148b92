#pragma once
// The window a device component belongs to, as the component needs it: sizes
// and position, the resize-and-show of SetWindowMode, and the presentation
// target its device draws into. The viewer's main window implements it; tests
// implement it in memory. The device layer never sees the GUI toolkit.

#include <algorithm>
#include <vector>

#include "d3d9/d3d9types.h"

namespace wbx {

class TKorvane;

class TKVOwnerWindow {
public:
    virtual ~TKVOwnerWindow() = default;

    // Client area in pixels (what the back buffer covers).
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Outer frame (client area plus borders and title) in pixels, and its top-left corner on screen.
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // SetWindowPos with HWND_NOTOPMOST and SWP_SHOWWINDOW: gives the outer frame
    // this position and size, puts the window in the non-topmost band and shows it.
    virtual void SetWindowPos(int left, int top, int width, int height) = 0;
    // The target the device presents into (the device window).
    virtual HWND PresentationTarget() = 0;

    // Device components placed on this window, in creation order (not owned;
    // each component adds and removes itself).
    const std::vector<TKorvane*>& Components() const { return components_; }

private:
    friend class TKorvane;
    void AddComponent(TKorvane* component) { components_.push_back(component); }
    void RemoveComponent(TKorvane* component) {
        components_.erase(std::remove(components_.begin(), components_.end(), component), components_.end());
    }

    std::vector<TKorvane*> components_;
};

}  // namespace wbx
