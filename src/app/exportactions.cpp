#include "app/exportactions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QSpinBox>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/mainwindow.h"
#include "app/rgbaqimage.h"
#include "app/umain.h"
#include "base/exception.h"
#include "viewer/atomicfile.h"
#include "viewer/commandline.h"
#include "viewer/exportmodule.h"
#include "viewer/gltfexport.h"
#include "viewer/layer.h"
#include "viewer/objexport.h"
#include "viewer/offscreenrenderer.h"
#include "viewer/pngwriter.h"
#include "viewer/textureexport.h"

namespace wbx {

namespace {

constexpr int kMaxSide = 16384;
constexpr int kSupersampleFactor = 2;

// A renderer dressed and posed as the form's view is.
std::unique_ptr<TOffscreenRenderer> ViewRenderer(const TForm1& form, int width, int height) {
    if (form.Pdt.Objects.empty()) throw Exception("There is no model to draw.");
    auto renderer = std::make_unique<TOffscreenRenderer>(width, height);
    renderer->SetModel(form.Pdt);
    renderer->ComposeTextures(form.PartSelection());
    return renderer;
}

std::string Generator() { return "wardrobix " + ProgramVersion(); }

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

QString Lower(const QString& text) { return text.toLower(); }

// OK and Cancel under a dialog's rows; true when it was closed with OK.
bool Confirmed(QDialog& dialog, QFormLayout& layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addRow(buttons);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

TExportActions::TExportActions(TMainWindow& window)
    : QObject(&window), window_(window), form_(window.Form()) {
    const auto add = [this](const char* text, const QKeySequence& shortcut, std::function<void()> handler) {
        return window_.AddMenuAction(TShellMenu::File, QString::fromUtf8(text), shortcut, std::move(handler));
    };
    QMenu* file = window_.Menu(TShellMenu::File);
    QAction* first = file->actions().isEmpty() ? nullptr : file->actions().first();
    QAction* save =
        add("&Save picture…", QKeySequence(Qt::CTRL | Qt::Key_S), [this] { SavePictureDialog(); });
    QAction* copy = add("&Copy picture", QKeySequence(Qt::CTRL | Qt::Key_C), [this] {
        CopyPicture();
        window_.ShowStatus(QStringLiteral("The picture is on the clipboard."));
    });
    QAction* textures = add("Export &textures…", QKeySequence(), [this] { ExportTexturesDialog(); });
    QAction* model = add("Export &model…", QKeySequence(), [this] { ExportModelDialog(); });
    QAction* turntable = add("Save t&urntable…", QKeySequence(), [this] { SaveTurntableDialog(); });
    // Above what the menu held (Quit stays last).
    if (first != nullptr) {
        for (QAction* action : {save, copy, textures, model, turntable}) {
            file->removeAction(action);
            file->insertAction(first, action);
        }
        file->insertSeparator(first);
    }
    window_.ViewContextMenu()->addAction(copy);

    autoRotate_ =
        window_.AddMenuAction(TShellMenu::View, QStringLiteral("&Auto-rotate"), QKeySequence(Qt::Key_R),
                              [this] { SetAutoRotate(autoRotate_->isChecked()); });
    autoRotate_->setCheckable(true);
    window_.AddToolBarAction(autoRotate_);
    rotateTimer_.setInterval(15);
    connect(&rotateTimer_, &QTimer::timeout, this, [this] {
        const int64_t elapsed = rotateClock_.restart();
        form_.Guarded([&] { AdvanceRotation(elapsed); });
    });
    form_.installEventFilter(this);
}

TRgbaImage TExportActions::Picture(const TPictureOptions& options) const {
    const int scale = std::clamp(options.Scale, 1, 8);
    const int64_t width = int64_t{form_.ClientWidth()} * scale,
                  height = int64_t{form_.ClientHeight()} * scale;
    const int factor = options.Supersample ? kSupersampleFactor : 1;
    if (width < 1 || height < 1 || width * factor > kMaxSide || height * factor > kMaxSide)
        throw Exception("The picture would be larger than 16384 pixels a side.");
    const auto renderer =
        ViewRenderer(form_, static_cast<int>(width * factor), static_cast<int>(height * factor));
    TRenderedPicture picture =
        renderer->Render({form_.Yaw, form_.Pitch, form_.Zoom}, static_cast<int32_t>(width * factor),
                         static_cast<int32_t>(height * factor),
                         options.Transparent ? TBackground::Transparent : TBackground::Grey);
    return factor > 1 ? DownsampleBox(picture.Image, factor) : std::move(picture.Image);
}

void TExportActions::SavePicture(const QString& fileName, const TPictureOptions& options) const {
    WriteFileAtomically(fileName.toStdString(), EncodePng(Picture(options)));
}

void TExportActions::CopyPicture() const {
    QApplication::clipboard()->setImage(ToQImage(Picture(TPictureOptions{})));
}

void TExportActions::ExportTextures(const QString& prefix) const {
    const auto renderer = ViewRenderer(form_, 1, 1);
    for (const bool back : {false, true})
        WriteFileAtomically(
            prefix.toStdString() + (back ? "_back.png" : "_front.png"),
            EncodePng(WidenTexture(renderer->TextureTexels(back), kLayerTextureWidth, kLayerTextureHeight)));
}

void TExportActions::ExportModel(const QString& fileName) const {
    const auto renderer = ViewRenderer(form_, 1, 1);
    const TRgbaImage front =
        WidenTexture(renderer->TextureTexels(false), kLayerTextureWidth, kLayerTextureHeight);
    const TRgbaImage back =
        WidenTexture(renderer->TextureTexels(true), kLayerTextureWidth, kLayerTextureHeight);
    const QFileInfo info(fileName);
    if (Lower(info.suffix()) != QStringLiteral("obj")) {
        WriteFileAtomically(fileName.toStdString(),
                            ExportFunctions().BuildGlb(form_.Pdt, front, back, Generator()));
        return;
    }
    const std::string base = info.completeBaseName().toStdString();
    const std::string folder = info.path().toStdString() + "/";
    const TObjFiles files = BuildObj(form_.Pdt, base, Generator());
    WriteFileAtomically(folder + base + "_front.png", EncodePng(front));
    WriteFileAtomically(folder + base + "_back.png", EncodePng(back));
    WriteFileAtomically(folder + base + ".mtl", Bytes(files.Mtl));
    WriteFileAtomically(folder + base + ".obj", Bytes(files.Obj));
}

bool TExportActions::SaveTurntable(const QString& fileName, int frames, bool transparent,
                                   const std::function<bool(int, int)>& progress) const {
    ExportFunctions();  // the encoders' module, before a turn is drawn in vain
    frames = std::clamp(frames, 1, 3600);
    const int width = form_.ClientWidth(), height = form_.ClientHeight();
    const auto renderer = ViewRenderer(form_, width, height);
    std::vector<TRgbaImage> pictures;
    for (int frame = 0; frame < frames; ++frame) {
        const int32_t yaw =
            static_cast<int32_t>((form_.Yaw + (int64_t{frame} * 4096 + frames / 2) / frames) % 4096);
        pictures.push_back(renderer
                               ->Render({yaw, form_.Pitch, form_.Zoom}, width, height,
                                        transparent ? TBackground::Transparent : TBackground::Grey)
                               .Image);
        if (progress && !progress(frame + 1, frames)) return false;
    }
    const bool gif = Lower(QFileInfo(fileName).suffix()) == QStringLiteral("gif");
    WriteFileAtomically(fileName.toStdString(), gif ? ExportFunctions().EncodeAnimatedGif(pictures, 50)
                                                    : ExportFunctions().EncodeAnimatedWebp(pictures, 50));
    return true;
}

void TExportActions::SetAutoRotate(bool on) {
    autoRotate_->setChecked(on);
    if (on == rotateTimer_.isActive()) return;
    if (on) {
        rotateRemainder_ = 0;
        rotateClock_.start();
        rotateTimer_.start();
    } else {
        rotateTimer_.stop();
    }
}

void TExportActions::AdvanceRotation(int64_t elapsedMilliseconds) {
    // Steady whatever the timer's jitter: the turn follows the clock.
    rotateRemainder_ += static_cast<double>(elapsedMilliseconds) * 4096.0 / (kAutoRotateSeconds * 1000.0);
    const double whole = std::floor(rotateRemainder_);
    rotateRemainder_ -= whole;
    // As a drag to the right turns it: the yaw falls.
    form_.Yaw = static_cast<int32_t>(((form_.Yaw - static_cast<int64_t>(whole)) % 4096 + 4096) % 4096);
    form_.UpdateModelPose();
}

bool TExportActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        SetAutoRotate(false);
    return QObject::eventFilter(watched, event);
}

void TExportActions::SavePictureDialog() {
    QDialog dialog(&window_);
    dialog.setWindowTitle(QStringLiteral("Save picture"));
    auto* layout = new QFormLayout(&dialog);
    auto* size = new QComboBox(&dialog);
    for (const int scale : {1, 2, 3, 4, 6, 8})
        size->addItem(QStringLiteral("%1× (%2 × %3)")
                          .arg(scale)
                          .arg(form_.ClientWidth() * scale)
                          .arg(form_.ClientHeight() * scale),
                      scale);
    size->setCurrentIndex(std::max(0, size->findData(lastPicture_.Scale)));
    auto* smooth =
        new QCheckBox(QStringLiteral("Smooth edges (drawn twice as large, then reduced)"), &dialog);
    smooth->setChecked(lastPicture_.Supersample);
    auto* transparent = new QCheckBox(QStringLiteral("Transparent background"), &dialog);
    transparent->setChecked(lastPicture_.Transparent);
    layout->addRow(QStringLiteral("Size:"), size);
    layout->addRow(smooth);
    layout->addRow(transparent);
    if (!Confirmed(dialog, *layout)) return;
    lastPicture_ = {size->currentData().toInt(), smooth->isChecked(), transparent->isChecked()};
    const QString fileName =
        QFileDialog::getSaveFileName(&window_, QStringLiteral("Save picture"),
                                     QStringLiteral("wardrobix.png"), QStringLiteral("PNG pictures (*.png)"));
    if (fileName.isEmpty()) return;
    SavePicture(fileName, lastPicture_);
    window_.ShowStatus(QStringLiteral("Saved %1.").arg(fileName));
}

void TExportActions::ExportTexturesDialog() {
    const QString fileName = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Export textures (NAME_front.png and NAME_back.png)"),
        QStringLiteral("wardrobix"), QStringLiteral("PNG pictures (*.png)"));
    if (fileName.isEmpty()) return;
    QString prefix = fileName;
    if (prefix.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) prefix.chop(4);
    ExportTextures(prefix);
    window_.ShowStatus(QStringLiteral("Saved %1_front.png and %1_back.png.").arg(prefix));
}

void TExportActions::ExportModelDialog() {
    QString filter = QStringLiteral("glTF binary (*.glb)");
    const QString fileName = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Export model"), QStringLiteral("wardrobix.glb"),
        QStringLiteral("glTF binary (*.glb);;Wavefront OBJ (*.obj)"), &filter);
    if (fileName.isEmpty()) return;
    ExportModel(fileName);
    window_.ShowStatus(QStringLiteral("Saved %1.").arg(fileName));
}

void TExportActions::SaveTurntableDialog() {
    QDialog dialog(&window_);
    dialog.setWindowTitle(QStringLiteral("Save turntable"));
    auto* layout = new QFormLayout(&dialog);
    auto* frames = new QSpinBox(&dialog);
    frames->setRange(2, 360);
    frames->setValue(36);
    auto* transparent = new QCheckBox(QStringLiteral("Transparent background"), &dialog);
    layout->addRow(QStringLiteral("Frames in a turn:"), frames);
    layout->addRow(transparent);
    if (!Confirmed(dialog, *layout)) return;
    const QString fileName = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("Save turntable"), QStringLiteral("wardrobix.webp"),
        QStringLiteral("Animated WebP (*.webp);;Animated GIF (*.gif)"));
    if (fileName.isEmpty()) return;
    QProgressDialog progress(QStringLiteral("Drawing the turntable…"), QStringLiteral("Cancel"), 0,
                             frames->value(), &window_);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    const bool saved =
        SaveTurntable(fileName, frames->value(), transparent->isChecked(), [&](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.reset();
    window_.ShowStatus(saved ? QStringLiteral("Saved %1.").arg(fileName)
                             : QStringLiteral("Turntable cancelled."));
}

}  // namespace wbx
