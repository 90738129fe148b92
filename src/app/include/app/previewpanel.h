#pragma once
// TPreviewPanel: the composed front and back textures, flat, side by side, as
// a dockable panel: each texel a square of 1 to 4 screen pixels (nearest, no
// smoothing), a checkerboard behind the texels without alpha, "Front" and
// "Back" above. It follows every composition (TexturesComposed); while it is
// hidden it only notes that it is stale and reads the textures when shown.

#include <QDockWidget>
#include <QImage>

class QComboBox;

namespace wbx {

class TForm1;
class TKVTexture;

inline constexpr int kPreviewScaleMax = 4;

class TPreviewPanel : public QDockWidget {
public:
    // form: whose textures are shown; outlives the panel.
    explicit TPreviewPanel(TForm1& form, QWidget* parent = nullptr);

    // A composition ended: the textures are read again (now, or when shown).
    void TexturesComposed();

    // Texel size in screen pixels, 1 ... kPreviewScaleMax.
    int Scale() const { return scale_; }
    void SetScale(int scale);

    // The textures as last read (ARGB32, alpha 0 or 255); null before that.
    const QImage& FrontImage() const { return front_; }
    const QImage& BackImage() const { return back_; }
    // Where each texture lies on the panel's canvas, in canvas pixels.
    QRect FrontRect() const;
    QRect BackRect() const;
    // The canvas as it paints.
    QImage CanvasImage() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class TCanvas;
    void Read();
    static QImage ImageOf(TKVTexture* texture);

    TForm1& form_;
    TCanvas* canvas_ = nullptr;
    QComboBox* scaleBox_ = nullptr;
    QImage front_;
    QImage back_;
    int scale_ = 1;
    bool stale_ = true;
};

}  // namespace wbx
