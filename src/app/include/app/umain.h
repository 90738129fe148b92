#pragma once
// TForm1: the viewer's main window. A fixed 640 x 480 client area in the grey
// of the figure's background, eleven drop-down lists down its left edge (the
// model type and ten clothing parts), and the figure, turned by dragging with
// the left button and scaled by the wheel.
//
// Life of the window:
//   construction  the window as its resource describes it (controls, size,
//                 position 192/114, font); the device component KV with its
//                 stored properties, then KV->Loaded() (a first device without
//                 depth buffer); then FormCreate
//   FormCreate    caption and colour; settings file and data folder (with the
//                 folder prompt when the stored folder is unusable); stored
//                 position; the part lists; the device with a depth buffer and
//                 its fixed states; scene, frames, pose, textures and their
//                 composition, mesh and the first model, material, light; last
//                 the idle handler. A step that cannot go on ends the program
//                 quietly (Terminated()).
//   running       RenderIdle draws a frame whenever the event loop is idle;
//                 input handlers change the pose, textures and model between frames
//   destruction   FormDestroy: the window position goes to the settings file,
//                 then frames, light group, mesh, textures and scene are freed
//                 in that order; the device component goes after them.
// Exceptions out of FormCreate, FormDestroy and the handlers go to the
// exception report; the window carries on.
//
// The window is the device's owner window (TKVOwnerWindow): the device sizes
// it and presents into it (TPresentedFrame); each presented frame repaints
// the view around the lists, which are opaque and keep their own paint. As
// long as nothing the view is drawn from changes, the frame loop shows the
// frame on show again at each refresh instead of drawing the same pixels
// anew (ViewChanged). While the window is minimised its presentation target
// cannot show frames, so the device loses itself (nothing is drawn), and the
// frame loop resets it when the window comes back.
//
// The folder prompt and the exception report are injected (TFormServices), so
// tests and the headless snapshot answer them without dialogs.
//
// The form may also be placed in a host window (formhost.h: the main window's
// shell); then the host's window is the one that is captioned, positioned,
// shown and minimised, and the form is its client area.

#include <QWidget>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/combobox.h"
#include "app/formhost.h"
#include "app/idleloop.h"
#include "app/presentedframe.h"
#include "device/diagnostics.h"
#include "device/ownerwindow.h"
#include "viewer/layercache.h"
#include "viewer/partlists.h"
#include "viewer/ucommon.h"

class QPaintEvent;
class QResizeEvent;

namespace wbx {

class TKorvane;
class TKVTexture;
class TOXFrame;
class TOXLightGroup;
class TOXMesh;
class TOXScene;

// Shows the folder dialog with the caption; true and the chosen folder, or
// false when the user cancelled.
using TFolderPrompt = std::function<bool(const std::string& caption, std::string& folder)>;
// Shows an exception's message to the user (the toolkit's default exception report).
using TExceptionReport = std::function<void(const std::string& message)>;

struct TFormServices {
    std::string SettingsFileName;           // the settings file (see settingsfile.h)
    std::optional<std::string> DataFolder;  // used instead of the stored folder; never stored
    TFolderPrompt FolderPrompt;             // empty: a QFileDialog (folderprompt.h)
    TExceptionReport ExceptionReport;       // empty: a QMessageBox
    // The device component's stored DebugOption (the form's resource has it
    // empty: no log, no halt). Tests switch the log on with it.
    TKVDebugOption DebugOption{};
    // Frames per second that Present paces to; 0 or less: the screen's refresh.
    double RefreshRate = 0;
    // False: the settings file is read but never written (a headless run
    // leaves the user's settings as they are).
    bool WriteSettings = true;
};

// How start-up went, for the program block.
enum class TStartupOutcome {
    Running,       // FormCreate ran to its end
    NoDataFolder,  // no usable data folder and none chosen: ended quietly
    MissingModel,  // the first model file is missing: ended quietly
    Failed,        // an exception ended FormCreate (it was reported)
};

// Mouse buttons and the shift state of mouse events, as the handlers take them.
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum : uint32_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = uint32_t;

inline constexpr const char* kFolderPromptCaption = "DATを展開したパスを指定:";
inline constexpr int kClientWidth = 640;
inline constexpr int kClientHeight = 480;
inline constexpr int kDefaultLeft = 192;
inline constexpr int kDefaultTop = 114;

class TForm1 : public QWidget, public TKVOwnerWindow {
public:
    // host: the window the form is placed in; nullptr makes the form a
    // window of its own. Not owned; it outlives the form.
    explicit TForm1(TFormServices services, TFormHost* host = nullptr);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // The device component; made before FormCreate, destroyed after
    // FormDestroy (after every object below that registers with it).
    std::unique_ptr<TKorvane> KV;

    // The drop-down lists; owned by the window (Qt parent), valid for its life.
    TComboBox* cbHair;
    TComboBox* cbBody;
    TComboBox* cbModels;
    TComboBox* cbAccessory;
    TComboBox* cbUpper;
    TComboBox* cbBottom;
    TComboBox* cbShoes;
    TComboBox* cbWear;
    TComboBox* cbFace;
    TComboBox* cbCostume;
    TComboBox* cbFashion;

    // The scene objects (FormCreate steps 8-15; nullptr before and after).
    std::unique_ptr<TOXFrame> RootFrame;        // the tree Scene renders
    TOXFrame* ModelFrame = nullptr;             // child of RootFrame (owned by it): the figure
    std::unique_ptr<TOXMesh> Mesh;              // the figure's geometry, refilled by LoadModel
    TOXFrame* CameraFrame = nullptr;            // child of RootFrame (owned by it): Scene's camera
    std::unique_ptr<TOXLightGroup> LightGroup;  // one white directional light
    std::unique_ptr<TOXScene> Scene;            // projection, viewport, rendering
    std::unique_ptr<TKVTexture> FrontTexture;   // 256 x 512 A1R5G5B5, the figure from the front
    std::unique_ptr<TKVTexture> BackTexture;    // 256 x 512 A1R5G5B5, the figure from behind

    int32_t Yaw = 0;                // turn, angle units, 0..4095
    int32_t Pitch = 0;              // tilt, angle units, -890..890
    TPdtRec Pdt;                    // the model file on display
    float Zoom = 1.0f;              // scale, 0.2..3.0
    int32_t DragX = 0, DragY = 0;   // last pointer position of a drag, client pixels
    QObject* DragSource = nullptr;  // what the pressed button went down on; not owned
    bool WheelEnabled = false;      // the wheel zooms only while no list is open

    void FormCreate();
    void FormDestroy();

    void ComboDropDown(TComboBox* sender);
    void ComboCloseUp(TComboBox* sender);
    void TextureChange(TComboBox* sender);
    void cbModelsSelect(TComboBox* sender);
    void FormMouseDown(QObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void FormMouseMove(QObject* sender, TShiftState shift, int32_t x, int32_t y);
    void FormMouseUp(QObject* sender, TMouseButton button, TShiftState shift, int32_t x, int32_t y);
    void FormMouseWheel(QObject* sender, TShiftState shift, int32_t wheelDelta, QPoint mousePos,
                        bool& handled);

    // Reads the model selected in cbModels into Pdt and uploads its first
    // object into Mesh. False, Pdt and Mesh unchanged, when nothing is
    // selected or the file does not exist (or holds no object); a damaged file
    // raises and also leaves both unchanged.
    bool LoadModel();
    // Applies Yaw, Pitch and Zoom to ModelFrame and picks the texture it shows.
    void UpdateModelPose();
    // Rebuilds both textures from the part lists' selections: cleared to
    // transparent, then the twelve layers of each side. A layer that raises
    // stops the composition (the texture is unlocked first).
    void ComposeTextures();
    // One pass of the frame loop (the idle handler): draws and presents a
    // frame, or resets a device that can be reset, or skips a lost device.
    // Sets done to false.
    void RenderIdle(QObject* sender, bool& done);
    // Tells the frame loop that the view must be drawn anew. The loop shows
    // the frame on show again, without drawing it, as long as nothing it
    // was drawn from has changed: the pose fields, the frames' placements,
    // the model frame's mesh and texture, the device, the client size, and
    // anything ComposeTextures and LoadModel change. Whatever else changes
    // what the view shows (a material, a light, a texture's texels) calls
    // this.
    void ViewChanged() { ++viewRevision_; }

    // Called after every composition of the textures (also one a damaged
    // layer ended); may be empty.
    std::function<void()> OnTexturesComposed;

    // Runs a write of the settings file (unless WriteSettings is off); a
    // failure is reported, once a session, and the caller goes on.
    void StoreSettings(const std::function<void()>& write);

    // The layer contents kept between compositions.
    TLayerCache& LayerCache() { return layerCache_; }

    // The last frame the device presented (null before the first).
    const QImage& PresentedImage() const { return presented_.Image(); }
    uint64_t PresentedFrameCount() const { return presented_.FrameCount(); }
    // Whether RenderIdle is installed as the idle handler (FormCreate's last step).
    bool IdleHandlerInstalled() const { return idleLoop_.Installed(); }

    // TKVOwnerWindow: client and outer geometry, SetWindowPos, the frame
    // target. The outer frame is the window's (the host's when there is one).
    int ClientWidth() const override { return QWidget::width(); }
    int ClientHeight() const override { return QWidget::height(); }
    int Left() const override { return window()->frameGeometry().x(); }
    int Top() const override { return window()->frameGeometry().y(); }
    int Width() const override { return window()->frameGeometry().width(); }
    int Height() const override { return window()->frameGeometry().height(); }
    void SetWindowPos(int left, int top, int width, int height) override;
    HWND PresentationTarget() override { return &presented_; }

    // The part list of a category.
    TComboBox* PartCombo(TPartList list) const { return partCombos_[static_cast<size_t>(list)]; }
    // The text of each part list's selection ("" when none).
    std::array<std::string, kPartListCount> PartSelection() const;

    // Application.Terminate: the program ends once control returns to the program block.
    void Terminate();
    bool Terminated() const { return terminated_; }
    TStartupOutcome StartupOutcome() const { return startupOutcome_; }

    // Runs fn; an exception it raises goes to the exception report (the
    // toolkit's default handling of an event's exception).
    void Guarded(const std::function<void()>& fn);

protected:
    void paintEvent(QPaintEvent* event) override;
    // In a host the client area may change size: the back buffer follows.
    void resizeEvent(QResizeEvent* event) override;
    // Moved to a screen of another device pixel ratio: the back buffer
    // follows (the client area's size stays the same).
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using TButtonHandler = void (TForm1::*)(QObject*, TMouseButton, TShiftState, int32_t, int32_t);
    TComboBox* MakeCombo(const char* name, int top);
    // Turn toolkit events into the handlers' calls; DispatchWheel returns Handled.
    void DispatchButton(QMouseEvent* event, TButtonHandler handler);
    bool DispatchWheel(QWheelEvent* event, QPoint at);
    void ReportException(const std::string& message);
    bool PromptForFolder(std::string& folder);
    // The client area's size: fixed for a window of its own, fitted by the host otherwise.
    void SetClientSize(int width, int height);
    // Puts the window's frame (not its client area) at left, top.
    void MoveFrameTo(int left, int top);
    // Steps 6-17 of FormCreate and step 2 of FormDestroy.
    bool CreateScene();
    void FreeSceneObjects();
    // The sampler filters and cull mode the figure is drawn with; a device
    // reset returns them to their defaults, so they are set again after one.
    void SetFixedDeviceStates();
    // The back buffer at the client area's size in device pixels (through a
    // reset), and the projection and viewport fitted to it.
    void FollowClientSize();
    // The projection (45 degrees across, the back buffer's aspect) and the
    // viewport over the whole back buffer.
    void FitSceneToBackBuffer();
    double ScreenRefreshRate() const;
    // One refresh of the screen (60 Hz when the screen does not tell).
    std::chrono::steady_clock::duration RefreshPeriod() const;

    // What a frame of the view is drawn from, as far as the window can tell.
    struct TViewInputs {
        uint64_t Revision = 0;
        int32_t Yaw = 0, Pitch = 0;
        float Zoom = 0;
        std::array<float, 4 * 16> Placements{};  // root, model, model offset, camera
        const void* Mesh = nullptr;
        const void* Texture = nullptr;
        const void* Device = nullptr;
        int Width = 0, Height = 0;
        bool operator==(const TViewInputs&) const = default;
    };
    TViewInputs ViewInputs() const;
    // The idle handler's pass when the view has not changed since the frame
    // on show was drawn: that frame is shown again at the next refresh
    // instead of being drawn anew. False when a frame must be drawn.
    bool RepeatFrame();

    TFormServices services_;
    TFormHost* host_ = nullptr;  // not owned; nullptr: the form is a window of its own
    TPresentedFrame presented_;  // the device window's frames
    TIdleLoop idleLoop_;         // Application.OnIdle
    TLayerCache layerCache_;     // inflated layer files between compositions
    bool reportingIdleException_ = false;
    uint64_t viewRevision_ = 0;
    std::optional<TViewInputs> drawnView_;                 // what the frame on show was drawn from
    std::optional<QPoint> pendingFrameCorner_;             // the frame's corner, once it is framed
    std::chrono::steady_clock::time_point nextRefresh_{};  // when a repeated frame is due
    std::array<TComboBox*, kPartListCount> partCombos_{};  // by TPartList; not owned (Qt children)
    bool terminated_ = false;
    bool settingsWriteReported_ = false;  // a failed write of the settings file was reported
    TStartupOutcome startupOutcome_ = TStartupOutcome::Running;
};

}  // namespace wbx
