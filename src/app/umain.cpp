#include "app/umain.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>

#include "app/folderprompt.h"
#include "app/partcombo.h"
#include "device/korvane.h"
#include "device/texture.h"
#include "math/matrix.h"
#include "math/vector.h"
#include "scene/frame.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "viewer/composition.h"
#include "viewer/datafolder.h"
#include "viewer/figuresetup.h"
#include "viewer/fileutils.h"
#include "viewer/inifile.h"
#include "viewer/layer.h"
#include "viewer/modelpose.h"
#include "viewer/modelupload.h"

namespace wbx {

namespace {

constexpr const char* kSettingsSection = "app";

// The grey behind the figure, as the device clears to it (opaque ARGB) and as
// the window's own colour.
constexpr D3DCOLOR kBackgroundColor = 0xFF888888;

TShiftState ShiftStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    TShiftState shift = 0;
    if (modifiers & Qt::ShiftModifier) shift |= ssShift;
    if (modifiers & Qt::AltModifier) shift |= ssAlt;
    if (modifiers & Qt::ControlModifier) shift |= ssCtrl;
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

std::optional<TMouseButton> ButtonOf(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return mbLeft;
        case Qt::RightButton:
            return mbRight;
        case Qt::MiddleButton:
            return mbMiddle;
        default:
            return std::nullopt;
    }
}

}  // namespace

TForm1::TForm1(TFormServices services, TFormHost* host)
    : QWidget(host != nullptr ? host->HostWindow() : nullptr,
              host != nullptr
                  ? Qt::Widget
                  : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)),
      host_(host),
      // Minimised, the window has nothing to show: its device is lost, and it
      // is reset by the frame loop once the window is back.
      presented_([this] { return ScreenRefreshRate(); }, [this] { return !window()->isMinimized(); }) {
    if (host_ != nullptr) host_->AdoptForm(this);
    // Watches its window for the frame's placement (see eventFilter).
    window()->installEventFilter(this);
    // A new frame repaints the view and nothing else: the window paints
    // every pixel itself (no background fill under the frame), and the lists
    // on it are opaque children, so Qt leaves them out of the repaint.
    presented_.OnPresent = [this] { update(); };
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The window as its resource describes it.
    QFont font;
    font.setFamilies(
        {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    setFont(font);
    SetClientSize(kClientWidth, kClientHeight);
    window()->move(kDefaultLeft, kDefaultTop);

    cbModels = MakeCombo("cbModels", 4);
    for (int type = 1; type <= 10; ++type) cbModels->addItem(QStringLiteral("type%1").arg(type));
    cbModels->setCurrentIndex(0);
    cbModels->OnSelect = [this](TComboBox* sender) { Guarded([&] { cbModelsSelect(sender); }); };

    cbHair = MakeCombo("cbHair", 40);
    cbBody = MakeCombo("cbBody", 64);
    cbUpper = MakeCombo("cbUpper", 88);
    cbBottom = MakeCombo("cbBottom", 112);
    cbShoes = MakeCombo("cbShoes", 136);
    cbWear = MakeCombo("cbWear", 160);
    cbFace = MakeCombo("cbFace", 184);
    cbCostume = MakeCombo("cbCostume", 208);
    cbFashion = MakeCombo("cbFashion", 232);
    cbAccessory = MakeCombo("cbAccessory", 256);
    partCombos_ = {cbHair, cbBody, cbUpper,   cbBottom,  cbShoes,
                   cbWear, cbFace, cbCostume, cbFashion, cbAccessory};
    for (TComboBox* combo : partCombos_) {
        combo->addItem(QString::fromUtf8(kNoPartItem));
        combo->setCurrentIndex(0);
        combo->OnSelect = [this](TComboBox* sender) { Guarded([&] { TextureChange(sender); }); };
    }
    // Tab order: the model list, then the parts top to bottom.
    QWidget* previous = cbModels;
    for (TComboBox* combo : partCombos_) {
        setTabOrder(previous, combo);
        previous = combo;
    }

    // The device component as the form's resource creates it: owned by the
    // window, stored properties applied, then Loaded (a first device at the
    // client size, without depth buffer). FormCreate runs after that as part
    // of creating the window; an exception ends it at that step and is
    // reported, and the window is created all the same.
    try {
        KV = std::make_unique<TKorvane>(this);
        KV->UseREFDevice = false;
        KV->UseSoftwareVertexProcessing = false;
        KV->DebugOption = services_.DebugOption;
        KV->Loaded();
        FormCreate();
    } catch (const std::exception& error) {
        startupOutcome_ = TStartupOutcome::Failed;
        ReportException(error.what());
    }
}

TForm1::~TForm1() {
    idleLoop_.Install({});
    Guarded([this] { FormDestroy(); });
    // Step 2 of FormDestroy also when step 1 (the settings file) raised: every
    // object that holds device resources goes before the device component.
    FreeSceneObjects();
    KV.reset();
}

TComboBox* TForm1::MakeCombo(const char* name, int top) {
    auto* combo = new TComboBox(this);  // owned by this window
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(4, top, 85, 20);
    // Opaque, as a list over a window that presents into its client area
    // is: it fills its rectangle (corners included) with the window's grey
    // and is repainted only when it changes, never through by a frame.
    combo->setAutoFillBackground(true);
    combo->OnDropDown = [this](TComboBox* sender) { Guarded([&] { ComboDropDown(sender); }); };
    combo->OnCloseUp = [this](TComboBox* sender) { Guarded([&] { ComboCloseUp(sender); }); };
    // The window sees the wheel first, as the original toolkit's forms did.
    combo->installEventFilter(this);
    return combo;
}

void TForm1::FormCreate() {
    // 1. Caption, title and colour.
    // (The application's name, not a display name: Qt would append a display
    // name to the caption of every window, the folder prompt's included.)
    window()->setWindowTitle(QStringLiteral("wardrobix"));
    QCoreApplication::setApplicationName(QStringLiteral("wardrobix"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(0x88, 0x88, 0x88));
    setPalette(palette);
    setAutoFillBackground(true);

    {
        // 2. The data folder: the stored one (or this run's), else the prompt.
        TIniFile ini(services_.SettingsFileName);
        const std::string path =
            services_.DataFolder ? *services_.DataFolder : ini.ReadString(kSettingsSection, "path", "");
        if (!CheckDataFolder(path)) {
            std::string chosen;
            if (PromptForFolder(chosen) && CheckDataFolder(chosen)) {
                StoreSettings([&] { ini.WriteString(kSettingsSection, "path", BasePath); });
            } else {
                startupOutcome_ = TStartupOutcome::NoDataFolder;
                Terminate();
                return;
            }
        }
        // 3. The stored position (used as it is, even off-screen), then the client size.
        const int left = ini.ReadInteger(kSettingsSection, "left", window()->x());
        const int top = ini.ReadInteger(kSettingsSection, "top", window()->y());
        MoveFrameTo(left, top);
        SetClientSize(kClientWidth, kClientHeight);
    }

    // 4. The wheel zooms (until a list opens).
    WheelEnabled = true;

    // 5. The part lists.
    for (int list = 0; list < kPartListCount; ++list) {
        const TPartListInfo& info = kPartLists[static_cast<size_t>(list)];
        FillPartCombo(AvatarPath, info.Mask, *partCombos_[static_cast<size_t>(list)], info.SelectFirstFile,
                      AddFilePrefix);
    }

    // 6-17. The device, the scene and the figure; the idle handler last.
    if (!CreateScene()) {
        startupOutcome_ = TStartupOutcome::MissingModel;
        Terminate();
    }
}

bool TForm1::CreateScene() {
    // 6. The device again, now with a depth buffer, at the client size.
    KV->SetWindowMode(ClientWidth(), ClientHeight(), DefaultDepthFormats, D3DPRESENT_INTERVAL_DEFAULT,
                      D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_NONE, 0);
    // 7. Bilinear sampling; both faces of every triangle.
    SetFixedDeviceStates();

    // 8. The scene: 45 degrees across, aspect height / width, the whole client area.
    Scene = std::make_unique<TOXScene>(KV.get(), "");
    FitSceneToBackBuffer();
    // The device was made at the client size in the toolkit's pixels; in a
    // host, on a screen of more device pixels than that, the back buffer
    // follows the device pixels (the snapshot's form alone keeps its size).
    if (host_ != nullptr) FollowClientSize();

    // 9. The frame tree; the camera 130 units out on +z, looking at the origin.
    RootFrame = std::make_unique<TOXFrame>(nullptr);
    ModelFrame = new TOXFrame(RootFrame.get());   // owned by RootFrame
    CameraFrame = new TOXFrame(RootFrame.get());  // owned by RootFrame
    Scene->Camera = CameraFrame;
    Vec3 position, direction, up;
    Vec3Make(position, 0, 0, 130);
    Vec3Make(direction, 0, 0, -1);
    Vec3Make(up, 0, 1, 0);
    CameraFrame->SetPosition(RootFrame.get(), position);
    CameraFrame->SetOrientation(RootFrame.get(), direction, up);

    // 10. The first pose (no texture exists yet).
    Zoom = 1.0f;
    UpdateModelPose();

    // 11. The two textures, 16-bit with a one-bit alpha, managed (they survive a reset).
    for (std::unique_ptr<TKVTexture>* texture : {&FrontTexture, &BackTexture}) {
        *texture = std::make_unique<TKVTexture>(KV.get(), std::vector<D3DFORMAT>{D3DFMT_A1R5G5B5}, 0,
                                                D3DPOOL_MANAGED, 0, "");
        (*texture)->ClearColor = 0xFFFFFFFF;
    }
    // 12. Both textures composed from the part lists' selections.
    ComposeTextures();

    // 13. The mesh and the first model; without it there is nothing to show.
    Mesh = std::make_unique<TOXMesh>(KV.get(), "", "");
    if (!LoadModel()) return false;

    // 14. The figure: its mesh, a material lit mostly by ambient and emissive
    // light, the front texture, alpha blending (texels without alpha are see-through).
    DressFigureFrame(*ModelFrame, *Mesh, *FrontTexture);

    // 15. One white directional light shining from the camera into the screen.
    LightGroup = MakeFigureLight(KV.get());

    // 16. The figure faces the camera, untilted.
    Yaw = 0;
    Pitch = 0;
    // 17. From here on the window draws whenever it is idle.
    idleLoop_.Install([this](bool& done) {
        // A report shown from here runs its own event loop, which calls this
        // handler again: no frame is drawn until the report is closed.
        if (reportingIdleException_) return;
        try {
            if (RepeatFrame()) {
                done = false;
                return;
            }
            RenderIdle(this, done);
        } catch (const std::exception& error) {
            reportingIdleException_ = true;
            ReportException(error.what());
            reportingIdleException_ = false;
        }
    });
    return true;
}

void TForm1::FitSceneToBackBuffer() {
    const int width = KV->Width > 0 ? KV->Width : ClientWidth();
    const int height = KV->Height > 0 ? KV->Height : ClientHeight();
    Scene->SetProjection(true, 0.7853982f, static_cast<float>(height) / static_cast<float>(width), 0.01f,
                         10000.0f);
    Scene->SetViewport(0, 0, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Guarded([this] { FollowClientSize(); });
}

bool TForm1::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::ScreenChangeInternal) Guarded([this] { FollowClientSize(); });
    return handled;
}

void TForm1::FollowClientSize() {
    if (!KV || KV->Device == nullptr || !Scene) return;
    const double ratio = devicePixelRatioF();
    const int width = std::max(1, static_cast<int>(std::lround(QWidget::width() * ratio)));
    const int height = std::max(1, static_cast<int>(std::lround(QWidget::height() * ratio)));
    if (width == KV->Width && height == KV->Height) return;
    KV->ResizeBackBuffers(width, height);
    // A reset returns every state to its default: the fixed states again.
    if (KV->Device != nullptr && KV->Device->TestCooperativeLevel() == D3D_OK) SetFixedDeviceStates();
    FitSceneToBackBuffer();
}

void TForm1::SetFixedDeviceStates() {
    IDirect3DDevice9* device = KV ? KV->Device : nullptr;
    if (device == nullptr) return;
    device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
}

void TForm1::FormDestroy() {
    // 1. The window position, also after a start-up that ended early.
    StoreSettings([this] {
        TIniFile ini(services_.SettingsFileName);
        ini.WriteInteger(kSettingsSection, "left", window()->x());
        ini.WriteInteger(kSettingsSection, "top", window()->y());
    });
    // 2. The scene objects, frames first and the scene last.
    FreeSceneObjects();
}

void TForm1::FreeSceneObjects() {
    // The frames first (the root takes the model and camera frames with it),
    // the scene last; what was never created is skipped.
    RootFrame.reset();
    ModelFrame = nullptr;
    CameraFrame = nullptr;
    LightGroup.reset();
    Mesh.reset();
    FrontTexture.reset();
    BackTexture.reset();
    Scene.reset();
}

bool TForm1::PromptForFolder(std::string& folder) {
    if (services_.FolderPrompt) return services_.FolderPrompt(kFolderPromptCaption, folder);
    return ShowFolderPrompt(this, kFolderPromptCaption, folder);
}

void TForm1::StoreSettings(const std::function<void()>& write) {
    if (!services_.WriteSettings) return;
    try {
        write();
    } catch (const EIniFileException& error) {
        // Only the stored value is lost; the session goes on. One report is
        // enough: the user can do nothing about it that a second would help.
        if (settingsWriteReported_) return;
        settingsWriteReported_ = true;
        ReportException(error.what());
    }
}

void TForm1::ReportException(const std::string& message) {
    if (services_.ExceptionReport) {
        services_.ExceptionReport(message);
    } else {
        QMessageBox::critical(this, QStringLiteral("wardrobix"), QString::fromStdString(message));
    }
}

void TForm1::Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        ReportException(error.what());
    }
}

void TForm1::Terminate() {
    terminated_ = true;
    QCoreApplication::quit();
}

std::array<std::string, kPartListCount> TForm1::PartSelection() const {
    std::array<std::string, kPartListCount> selection;
    for (size_t i = 0; i < partCombos_.size(); ++i) selection[i] = partCombos_[i]->Text();
    return selection;
}

bool TForm1::LoadModel() {
    if (cbModels->currentIndex() < 0) return false;
    // Read into a new record: a damaged file raises before Pdt or the mesh change.
    std::optional<TPdtRec> pdt = ReadModelFile(ModelFileName(cbModels->Text()));
    if (!pdt) return false;
    // A buffer that could not be made or locked was reported by the device
    // layer; the mesh then draws nothing.
    ViewChanged();
    if (Mesh) UploadModel(*pdt, *Mesh);
    Pdt = std::move(*pdt);
    return true;
}

void TForm1::UpdateModelPose() {
    // Before the scene exists the pose lives in the three fields alone.
    if (ModelFrame == nullptr) return;
    PoseModelFrame(*ModelFrame, *RootFrame, Yaw, Pitch, Zoom);
    ModelFrame->SetTexture(ShowsBackTexture(Yaw) ? BackTexture.get() : FrontTexture.get());
}

void TForm1::ComposeTextures() {
    ViewChanged();
    const TPartSelection selection = PartSelection();
    // Those who show the textures elsewhere hear of it also when a damaged
    // layer ended the composition.
    try {
        ComposeTexture(FrontTexture.get(), kFrontLayerOrder, selection, layerCache_);
        ComposeTexture(BackTexture.get(), kBackLayerOrder, selection, layerCache_);
    } catch (...) {
        if (OnTexturesComposed) OnTexturesComposed();
        throw;
    }
    if (OnTexturesComposed) OnTexturesComposed();
}

TForm1::TViewInputs TForm1::ViewInputs() const {
    TViewInputs inputs;
    inputs.Revision = viewRevision_;
    inputs.Yaw = Yaw;
    inputs.Pitch = Pitch;
    inputs.Zoom = Zoom;
    static_assert(sizeof(Matrix) == 16 * sizeof(float));
    const Matrix* placements[] = {
        RootFrame ? &RootFrame->LocalMatrix : nullptr, ModelFrame ? &ModelFrame->LocalMatrix : nullptr,
        ModelFrame ? &ModelFrame->OffsetMatrix : nullptr, CameraFrame ? &CameraFrame->LocalMatrix : nullptr};
    for (size_t i = 0; i < std::size(placements); ++i)
        if (placements[i] != nullptr) std::memcpy(&inputs.Placements[16 * i], placements[i], sizeof(Matrix));
    inputs.Mesh = ModelFrame ? ModelFrame->Mesh : nullptr;
    inputs.Texture = ModelFrame ? ModelFrame->GetTexture() : nullptr;
    inputs.Device = KV ? KV->Device : nullptr;
    inputs.Width = QWidget::width();
    inputs.Height = QWidget::height();
    return inputs;
}

std::chrono::steady_clock::duration TForm1::RefreshPeriod() const {
    const double refreshRate = ScreenRefreshRate();
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(1.0 / (refreshRate > 0 ? refreshRate : 60.0)));
}

bool TForm1::RepeatFrame() {
    if (!drawnView_ || presented_.Image().isNull() || !KV || KV->Device == nullptr ||
        !(*drawnView_ == ViewInputs()) || KV->Device->TestCooperativeLevel() != D3D_OK)
        return false;
    // Shown again at the pace the device's Present keeps: one frame a refresh.
    const auto now = std::chrono::steady_clock::now();
    if (now < nextRefresh_) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(nextRefresh_ - now);
        idleLoop_.DelayNext(static_cast<int>(wait.count()));
        return true;
    }
    nextRefresh_ += RefreshPeriod();
    if (nextRefresh_ < now) nextRefresh_ = now + RefreshPeriod();  // after a long pause
    presented_.Repeat();
    return true;
}

void TForm1::RenderIdle(QObject*, bool& done) {
    done = false;
    IDirect3DDevice9* device = KV ? KV->Device : nullptr;
    // Without a device (its creation failed, reported) there is nothing to
    // draw; the loop waits a refresh period instead of spinning.
    if (device == nullptr || !Scene) return idleLoop_.DelayNext(16);
    const HRESULT cooperative = device->TestCooperativeLevel();
    if (cooperative == D3DERR_DEVICENOTRESET) {
        drawnView_.reset();
        KV->ResetDevice();
        // A reset returns every state to its default: the fixed states again.
        if (KV->Device != nullptr && KV->Device->TestCooperativeLevel() == D3D_OK) SetFixedDeviceStates();
    } else if (cooperative == D3D_OK) {
        device->BeginScene();
        Scene->Clear(D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackgroundColor, 1.0f, 0);
        Scene->Render(RootFrame.get(), true);
        device->EndScene();
        const TViewInputs drawn = ViewInputs();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        drawnView_ = drawn;
        nextRefresh_ = std::chrono::steady_clock::now() + RefreshPeriod();
    } else {
        // Lost and not yet resettable (minimised): nothing to draw, and no
        // reason to ask again before a refresh period has passed.
        drawnView_.reset();
        idleLoop_.DelayNext(16);
    }
}

void TForm1::SetWindowPos(int left, int top, int width, int height) {
    // The outer size less the borders (and, in a host, less what lies around
    // the form) is the client size; a window of its own stays fixed at it.
    // The device asks for the position the window has (it only resizes):
    // that position is not sent again, so that a move the window manager has
    // not carried out yet is not undone.
    const int clientWidth = width - (Width() - ClientWidth());
    const int clientHeight = height - (Height() - ClientHeight());
    SetClientSize(std::max(clientWidth, 0), std::max(clientHeight, 0));
    if (window()->frameGeometry().topLeft() != QPoint(left, top)) MoveFrameTo(left, top);
    window()->show();
}

void TForm1::SetClientSize(int width, int height) {
    if (host_ != nullptr)
        host_->FitClientSize(width, height);
    else
        setFixedSize(width, height);
}

void TForm1::MoveFrameTo(int left, int top) {
    // Left and Top are the frame's corner, as on Windows. move() places the
    // client area that far from the corner as the frame's size is known; a
    // window shown a moment ago may not be framed by the window manager yet,
    // and then the client area would land on the corner (and the window creep
    // up by its title bar at every start). Such a window asks the window
    // manager to put its frame there instead; the toolkit learns the new
    // position when the window manager has moved it. Before the window exists
    // the toolkit takes a position as the frame's anyway.
    // (The window is the host's when the form has one.)
    QWidget* const outer = window();
    QWindow* handle = outer->windowHandle();
    const bool frameKnown = outer->frameGeometry() != outer->geometry();
    if (handle != nullptr && handle->handle() != nullptr && !frameKnown) {
        handle->setFramePosition(QPoint(left, top));
        // Before the window manager has framed it, the window system may take
        // that for the client area's place (a host's window, made before it
        // is shown): the frame is moved there once it exists.
        pendingFrameCorner_ = QPoint(left, top);
    } else {
        outer->move(left, top);
    }
}

double TForm1::ScreenRefreshRate() const {
    if (services_.RefreshRate > 0) return services_.RefreshRate;
    const QScreen* current = screen();
    return current != nullptr ? current->refreshRate() : 60.0;
}

void TForm1::paintEvent(QPaintEvent* event) {
    // Qt clips the painter to the region to repaint, which leaves out the
    // opaque lists. The frame is the device's front buffer as it is (no
    // conversion); where there is none yet, or where the client area reaches
    // beyond it, the window's grey.
    QPainter painter(this);
    const QImage& frame = presented_.Image();
    QRegion uncovered = event->region();
    if (!frame.isNull()) {
        // The frame is in device pixels and covers the client area (at the
        // default size on a screen of one device pixel a pixel: 1 to 1).
        const QRect client(QPoint(0, 0), size());
        painter.drawImage(client, frame);
        uncovered -= client;
    }
    for (const QRect& rect : uncovered) painter.fillRect(rect, palette().window());
}

void TForm1::ComboDropDown(TComboBox*) { WheelEnabled = false; }
void TForm1::ComboCloseUp(TComboBox*) { WheelEnabled = true; }

void TForm1::TextureChange(TComboBox*) { ComposeTextures(); }

void TForm1::cbModelsSelect(TComboBox*) { LoadModel(); }

void TForm1::FormMouseDown(QObject* sender, TMouseButton, TShiftState, int32_t x, int32_t y) {
    DragSource = sender;
    DragX = x;
    DragY = y;
}

void TForm1::FormMouseMove(QObject* sender, TShiftState shift, int32_t x, int32_t y) {
    (void)sender;
    if (!(shift & ssLeft) || DragSource != this) return;
    Yaw = DraggedYaw(Yaw, x - DragX);
    Pitch = DraggedPitch(Pitch, y - DragY);
    DragX = x;
    DragY = y;
    UpdateModelPose();
}

void TForm1::FormMouseUp(QObject*, TMouseButton, TShiftState, int32_t, int32_t) { DragSource = nullptr; }

void TForm1::FormMouseWheel(QObject*, TShiftState, int32_t wheelDelta, QPoint, bool& handled) {
    if (!WheelEnabled) return;
    handled = true;
    float zoom;
    if (WheelZoom(Zoom, wheelDelta, zoom)) {
        Zoom = zoom;
        UpdateModelPose();
    }
}

void TForm1::DispatchButton(QMouseEvent* event, TButtonHandler handler) {
    const std::optional<TMouseButton> button = ButtonOf(event->button());
    if (!button) return event->ignore();
    const QPoint at = event->position().toPoint();
    Guarded([&] {
        (this->*handler)(this, *button, ShiftStateOf(event->buttons(), event->modifiers()), at.x(), at.y());
    });
}

bool TForm1::DispatchWheel(QWheelEvent* event, QPoint at) {
    bool handled = false;
    Guarded([&] {
        FormMouseWheel(this, ShiftStateOf(event->buttons(), event->modifiers()), event->angleDelta().y(), at,
                       handled);
    });
    return handled;
}

void TForm1::mousePressEvent(QMouseEvent* event) { DispatchButton(event, &TForm1::FormMouseDown); }
void TForm1::mouseReleaseEvent(QMouseEvent* event) { DispatchButton(event, &TForm1::FormMouseUp); }

void TForm1::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    Guarded([&] { FormMouseMove(this, ShiftStateOf(event->buttons(), event->modifiers()), at.x(), at.y()); });
}

void TForm1::wheelEvent(QWheelEvent* event) {
    event->setAccepted(DispatchWheel(event, event->position().toPoint()));
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // A window placed before it was shown is framed by the window manager
    // with its client area on the corner asked for; once the frame is known,
    // the frame itself is put there.
    if (watched == window() && pendingFrameCorner_ &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        QWidget* outer = window();
        if (outer->isVisible() && outer->frameGeometry() != outer->geometry()) {
            const QPoint corner = *pendingFrameCorner_;
            pendingFrameCorner_.reset();
            if (outer->pos() != corner) outer->move(corner);
        }
    }
    // A wheel turned over a closed list zooms the figure instead of changing
    // the list's selection; with a list open the wheel belongs to the list.
    // (The window itself is watched for its placement only: its own wheel
    // events take their usual way.)
    if (watched != window() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (DispatchWheel(wheel, mapFromGlobal(wheel->globalPosition().toPoint()))) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace wbx
