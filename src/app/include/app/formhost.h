#pragma once
// TFormHost: a window that carries the main form as its client area (the
// main window's shell with its menu bar, tool bar, docks and status bar).
// Without a host the form is a window of its own, as its resource describes.
//
// With a host, the form's window-level doings go to the host's window: the
// caption, the position (Left and Top stay the frame's corner), the frame
// size the device component reads, showing, minimising. Its client area
// stays the form itself, so the device's back buffer and everything drawn
// on it are the same as without a host.

class QWidget;

namespace wbx {

class TForm1;

class TFormHost {
public:
    virtual ~TFormHost() = default;

    // The window the form is placed in; the form's parent.
    virtual QWidget* HostWindow() = 0;
    // Takes the form in as the client area. Called by the form's constructor
    // before anything else, so the sizes below are known from the start.
    virtual void AdoptForm(TForm1* form) = 0;
    // Sizes the window so that the form's client area is width x height
    // (the window grows or shrinks by what lies around the form).
    virtual void FitClientSize(int width, int height) = 0;
};

}  // namespace wbx
