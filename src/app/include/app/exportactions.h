#pragma once
// TExportActions: what the window hands out of the view, as items of its
// menus:
//   File   Save picture… (Ctrl+S), Copy picture (Ctrl+C), Export textures…,
//          Export model…, Save turntable…
//   View   Auto-rotate (R): the figure turns at a steady pace, a full turn in
//          kAutoRotateSeconds; pressing the left button on the view (a drag)
//          stops it.
// The pictures are drawn anew by an offscreen renderer from the form's model,
// lists and pose: at the view's size they are the view's pixels exactly;
// larger ones are drawn at that size (optionally supersampled down), and a
// transparent background leaves alpha 0 wherever no part of the figure is.
// The dialogs only gather what the functions below take; the tests call
// those directly.

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "viewer/rgbaimage.h"

class QAction;

namespace wbx {

class TMainWindow;
class TForm1;

inline constexpr int kAutoRotateSeconds = 12;

struct TPictureOptions {
    int Scale = 1;             // 1 to 8: times the view's size
    bool Supersample = false;  // drawn twice as large again and averaged down
    bool Transparent = false;
};

class TExportActions : public QObject {
public:
    // Adds the items to the window's menus (the window owns this object).
    explicit TExportActions(TMainWindow& window);

    // The view as a picture. Raises Exception when it cannot be drawn (no
    // model, a damaged layer file, a size beyond 16384 pixels a side).
    TRgbaImage Picture(const TPictureOptions& options) const;
    // Writes it as PNG, whole or not at all; raises on failure.
    void SavePicture(const QString& fileName, const TPictureOptions& options) const;
    // The view at its size, on its grey, onto the clipboard.
    void CopyPicture() const;
    // PREFIX_front.png and PREFIX_back.png.
    void ExportTextures(const QString& prefix) const;
    // .glb, or .obj with NAME.mtl, NAME_front.png and NAME_back.png beside it.
    void ExportModel(const QString& fileName) const;
    // A full turn in frames frames from the current pose (.webp or .gif);
    // progress(done, total) after each frame returns false to cancel, which
    // writes nothing. Returns false when cancelled.
    bool SaveTurntable(const QString& fileName, int frames, bool transparent,
                       const std::function<bool(int, int)>& progress) const;

    QAction* AutoRotateAction() const { return autoRotate_; }
    void SetAutoRotate(bool on);
    // Turns the figure by what elapsedMilliseconds of auto-rotation is worth.
    void AdvanceRotation(int64_t elapsedMilliseconds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SavePictureDialog();
    void ExportTexturesDialog();
    void ExportModelDialog();
    void SaveTurntableDialog();

    TMainWindow& window_;
    TForm1& form_;
    QAction* autoRotate_ = nullptr;
    QTimer rotateTimer_;
    QElapsedTimer rotateClock_;
    double rotateRemainder_ = 0;  // angle units not yet applied
    TPictureOptions lastPicture_;
};

}  // namespace wbx
