// The main window with its device and scene, driven offscreen on generated
// sample data: the first frame, the textures and their composition, model
// reloading, device loss, a damaged layer, the idle loop and the shut-down order.
#include <QAbstractItemView>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <thread>
#include <tuple>

#include "d3d9/adapterprofile.h"
#include "d3d9/callrecorder.h"
#include "d3d9/devicecontrol.h"
#include "defaultadapter.h"
#include "device/korvane.h"
#include "device/vertexbuffer.h"
#include "math/angletables.h"
#include "math/matrix.h"
#include "math/vector.h"
#include "sampledata/damage.h"
#include "sampledata/layerfile.h"
#include "scene/frame.h"
#include "scene/light.h"
#include "scene/mesh.h"
#include "scene/scene.h"
#include "viewer/composition.h"
#include "viewer/datafolder.h"
#include "viewer/layer.h"
#include "viewerfixture.h"

namespace wbx {
namespace {

using testing::EnsureQtApplication;
using testing::FigurePixels;
using testing::kGrey;
using testing::ResetDefaultAdapterProfile;
using testing::SetDefaultAdapterProfile;
using testing::TempFolder;
using testing::TextureTexels;
using testing::UserSelects;
using testing::ViewerTest;

// What the composition must hold: the layers painted into plain memory.
std::vector<uint8_t> ExpectedTexels(const TLayerOrder& order, const TPartSelection& selection) {
    std::vector<uint8_t> texels(size_t{256} * 512 * 2, 0);
    ComposeLayers(order, selection, texels.data(), 512);
    return texels;
}

TEST_F(ViewerTest, FirstFrameShowsTheDressedFigureOnTheGrey) {
    auto form = Create();
    ASSERT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
    ASSERT_TRUE(reports.empty()) << reports[0];
    EXPECT_TRUE(form->IdleHandlerInstalled());

    // The scene as start-up leaves it.
    ASSERT_NE(form->ModelFrame, nullptr);
    EXPECT_EQ(form->ModelFrame->Parent, form->RootFrame.get());
    EXPECT_EQ(form->CameraFrame->Parent, form->RootFrame.get());
    EXPECT_EQ(form->Scene->Camera.Get(), form->CameraFrame);
    EXPECT_EQ(form->ModelFrame->Mesh, form->Mesh.get());
    EXPECT_EQ(form->ModelFrame->GetTexture(), form->FrontTexture.get());
    EXPECT_EQ(form->ModelFrame->BlendMode, 2);
    EXPECT_EQ(form->FrontTexture->Format, D3DFMT_A1R5G5B5);
    EXPECT_EQ(form->Mesh->TriangleCount, form->Pdt.Objects[0].Triangles.size());
    EXPECT_EQ(form->KV->Width, 640);
    EXPECT_EQ(form->KV->Height, 480);
    EXPECT_NE(form->KV->DepthStencilSurface, nullptr);
    EXPECT_EQ(form->size(), QSize(640, 480));
    EXPECT_TRUE(form->LightGroup->GetLight(0)->Enabled);

    // Both textures hold exactly the selected items' layers.
    EXPECT_EQ(TextureTexels(*form->FrontTexture), ExpectedTexels(kFrontLayerOrder, form->PartSelection()));
    EXPECT_EQ(TextureTexels(*form->BackTexture), ExpectedTexels(kBackLayerOrder, form->PartSelection()));

    ASSERT_TRUE(Frame(*form));
    const QImage& frame = form->PresentedImage();
    ASSERT_EQ(frame.size(), QSize(640, 480));
    // Where nothing is drawn the frame is exactly the grey; the figure stands in the middle.
    for (QPoint corner : {QPoint(0, 0), QPoint(639, 0), QPoint(0, 479), QPoint(639, 479), QPoint(40, 240)})
        EXPECT_EQ(frame.pixel(corner), kGrey) << corner.x() << "," << corner.y();
    EXPECT_NE(frame.pixel(320, 240), kGrey);
    EXPECT_GT(FigurePixels(frame), 640 * 480 / 20);
    // The figure is lit and textured: more than a handful of colours.
    std::vector<QRgb> colours;
    for (int y = 0; y < 480; y += 4)
        for (int x = 0; x < 640; x += 4) colours.push_back(frame.pixel(x, y));
    std::sort(colours.begin(), colours.end());
    EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 50);
}

TEST_F(ViewerTest, BackTextureFromAQuarterToThreeQuartersOfATurn) {
    auto form = Create();
    ASSERT_TRUE(Frame(*form));
    const QImage front = form->PresentedImage().copy();
    const auto dragBy = [&](int dx) {
        form->FormMouseDown(form.get(), mbLeft, ssLeft, 100, 100);
        form->FormMouseMove(form.get(), ssLeft, 100 + dx, 100);
        form->FormMouseUp(form.get(), mbLeft, 0, 100 + dx, 100);
    };
    // (Yaw before, pixels dragged, texture shown after)
    const std::vector<std::tuple<int32_t, int, TKVTexture*>> cases = {
        {1018, 1, form->FrontTexture.get()}, {1019, 1, form->BackTexture.get()},
        {3066, 1, form->BackTexture.get()},  {3067, 1, form->FrontTexture.get()},
        {1030, -1, form->BackTexture.get()}, {1029, -2, form->FrontTexture.get()}};
    for (const auto& [start, dx, texture] : cases) {
        form->Yaw = start;
        dragBy(dx);
        EXPECT_EQ(form->ModelFrame->GetTexture(), texture) << "Yaw " << form->Yaw;
    }
    // Half a turn shows the back: a different picture of the same figure.
    form->Yaw = 2048;
    form->UpdateModelPose();
    ASSERT_TRUE(Frame(*form));
    EXPECT_NE(form->PresentedImage(), front);
    EXPECT_GT(FigurePixels(form->PresentedImage()), 640 * 480 / 20);
}

TEST_F(ViewerTest, ThePoseTurnsTiltsAndScalesTheFigureAboutItsModelPoint) {
    auto form = Create();
    form->Yaw = 300;
    form->Pitch = 200;
    form->Zoom = 1.5f;
    form->UpdateModelPose();
    // Rows Zoom * (R, Up, Dir), translation -36 * Zoom * Up, R = normalize(Up x Dir).
    const Vec3 up{0, CosTable[200], -SinTable[200]};
    const Vec3 dir{-SinTable[300], 0, CosTable[300]};
    Vec3 right;
    Vec3Cross(up, dir, right);
    Vec3Normalize(right, right);
    const Matrix& m = form->ModelFrame->LocalMatrix;
    const std::array<Vec3, 4> rows = {right, up, dir, up};
    const std::array<float, 4> scales = {1.5f, 1.5f, 1.5f, -36 * 1.5f};
    for (int r = 0; r < 4; ++r) {
        EXPECT_NEAR(m(r, 0), scales[r] * rows[r].x, 1e-4) << r;
        EXPECT_NEAR(m(r, 1), scales[r] * rows[r].y, 1e-4) << r;
        EXPECT_NEAR(m(r, 2), scales[r] * rows[r].z, 1e-4) << r;
    }
    // The model point (0, 36, 0) stays at the origin.
    Vec3 pivot;
    Vec3Transform(Vec3{0, 36, 0}, m, pivot);
    EXPECT_NEAR(pivot.x, 0, 1e-4);
    EXPECT_NEAR(pivot.y, 0, 1e-4);
    EXPECT_NEAR(pivot.z, 0, 1e-4);
}

TEST_F(ViewerTest, PartSelectionRecomposesBothTexturesAndTheNextFrameShowsIt) {
    auto form = Create();
    ASSERT_TRUE(Frame(*form));
    const QImage before = form->PresentedImage().copy();
    const std::vector<uint8_t> front = TextureTexels(*form->FrontTexture);
    const std::vector<uint8_t> back = TextureTexels(*form->BackTexture);
    TKVTexture* shown = form->ModelFrame->GetTexture();

    UserSelects(form->cbUpper, 3);
    ASSERT_EQ(form->cbUpper->Text(), "02_12030");
    const std::vector<uint8_t> newFront = TextureTexels(*form->FrontTexture);
    const std::vector<uint8_t> newBack = TextureTexels(*form->BackTexture);
    EXPECT_NE(newFront, front);
    EXPECT_NE(newBack, back);
    EXPECT_EQ(newFront, ExpectedTexels(kFrontLayerOrder, form->PartSelection()));
    EXPECT_EQ(newBack, ExpectedTexels(kBackLayerOrder, form->PartSelection()));
    // The same texture objects, the pose untouched; the frame changes.
    EXPECT_EQ(form->ModelFrame->GetTexture(), shown);
    ASSERT_TRUE(Frame(*form));
    EXPECT_NE(form->PresentedImage(), before);

    // "なし" in the hair list takes both hair layers off both sides.
    UserSelects(form->cbHair, 0);
    EXPECT_EQ(TextureTexels(*form->FrontTexture), ExpectedTexels(kFrontLayerOrder, form->PartSelection()));
    EXPECT_EQ(TextureTexels(*form->BackTexture), ExpectedTexels(kBackLayerOrder, form->PartSelection()));
}

TEST_F(ViewerTest, RecomposingReadsOnlyTheLayersOfTheListThatChanged) {
    // The layer cache keeps only files whose last change has settled; the
    // generated ones were written just now.
    std::this_thread::sleep_for(TLayerCache::kDefaultSettleTime + std::chrono::milliseconds(100));
    auto form = Create();
    const int64_t reads = form->LayerCache().Reads();
    form->ComposeTextures();
    EXPECT_EQ(form->LayerCache().Reads(), reads);  // nothing changed, nothing read
    UserSelects(form->cbUpper, 2);                 // the upper garment's front and back layers
    EXPECT_EQ(form->LayerCache().Reads(), reads + 2);
    EXPECT_EQ(TextureTexels(*form->FrontTexture), ExpectedTexels(kFrontLayerOrder, form->PartSelection()));
    EXPECT_EQ(TextureTexels(*form->BackTexture), ExpectedTexels(kBackLayerOrder, form->PartSelection()));
}

TEST_F(ViewerTest, EveryListAtNoneLeavesOnlyTheBackground) {
    auto form = Create();
    for (TPartList list : {plHair, plBody, plUpper, plBottom, plShoes}) UserSelects(form->PartCombo(list), 0);
    EXPECT_TRUE(reports.empty());
    const std::vector<uint8_t> transparent(size_t{256} * 512 * 2, 0);
    EXPECT_EQ(TextureTexels(*form->FrontTexture), transparent);
    EXPECT_EQ(TextureTexels(*form->BackTexture), transparent);
    ASSERT_TRUE(Frame(*form));
    EXPECT_EQ(FigurePixels(form->PresentedImage()), 0);
}

TEST_F(ViewerTest, ModelSelectionReloadsTheMeshEvenForTheSameType) {
    // type2 gets a model of its own: one triangle.
    testing::WriteBytes(data + "character/models/tpv/type2/base.pdt",
                        testing::ModelFile({testing::SimpleObject(3)}));
    testing::WriteBytes(data + "character/models/tpv/type4/base.pdt", testing::Bytes{1, 0, 0, 0, 1});
    auto form = Create();
    const int32_t firstBuffer = form->Mesh->VertexBuffer->ID;
    const uint32_t firstTriangles = form->Mesh->TriangleCount;
    ASSERT_GT(firstTriangles, 1u);

    UserSelects(form->cbModels, 1);
    EXPECT_EQ(form->Mesh->TriangleCount, 1u);
    EXPECT_EQ(form->Mesh->VertexBuffer->VertexCount, 3);
    EXPECT_EQ(form->ModelFrame->Mesh, form->Mesh.get());
    // The buffers hold the file's vertices byte for byte.
    const auto* vertices =
        static_cast<const uint8_t*>(form->Mesh->VertexBuffer->Lock(0, 0, D3DLOCK_READONLY));
    ASSERT_NE(vertices, nullptr);
    EXPECT_EQ(std::memcmp(vertices, form->Pdt.Objects[0].Vertices.data(), 3 * 32), 0);
    form->Mesh->VertexBuffer->Unlock();
    const int32_t secondBuffer = form->Mesh->VertexBuffer->ID;
    EXPECT_NE(secondBuffer, firstBuffer);

    // The same type again reads the file again and makes new buffers.
    UserSelects(form->cbModels, 1);
    EXPECT_NE(form->Mesh->VertexBuffer->ID, secondBuffer);
    EXPECT_EQ(form->Mesh->TriangleCount, 1u);

    // A damaged model is reported; Pdt and the mesh stay as they were, frames go on.
    const int32_t kept = form->Mesh->VertexBuffer->ID;
    UserSelects(form->cbModels, 3);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(form->Mesh->VertexBuffer->ID, kept);
    EXPECT_EQ(form->Pdt.Objects[0].Vertices.size(), 3u);
    EXPECT_TRUE(Frame(*form));

    // Back to type1: the first model's geometry again.
    UserSelects(form->cbModels, 0);
    EXPECT_EQ(form->Mesh->TriangleCount, firstTriangles);
}

TEST_F(ViewerTest, ModelWithoutTrianglesDrawsNothingAndHarmsNothing) {
    testing::TModelObjectSpec points = testing::SimpleObject(4);
    points.Triangles.clear();
    testing::WriteBytes(data + "character/models/tpv/type2/base.pdt", testing::ModelFile({points}));
    auto form = Create();
    UserSelects(form->cbModels, 1);
    EXPECT_EQ(form->Mesh->TriangleCount, 0u);
    ASSERT_TRUE(Frame(*form));
    EXPECT_EQ(FigurePixels(form->PresentedImage()), 0);
}

TEST_F(ViewerTest, DeviceLossAndResetGiveThePictureOfBeforeTheLoss) {
    auto form = Create();
    form->Yaw = 300;
    form->Pitch = 200;
    form->UpdateModelPose();
    ASSERT_TRUE(Frame(*form));
    const QImage before = form->PresentedImage().copy();

    IDirect3DDevice9* device = form->KV->Device;
    const auto calls = AttachCallLog(device);
    // Minimising loses the device: nothing is drawn until the window is back.
    form->setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICELOST);
    EXPECT_FALSE(Frame(*form));
    form->setWindowState(Qt::WindowNoState);
    EXPECT_EQ(device->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
    EXPECT_FALSE(Frame(*form));  // this pass resets
    EXPECT_EQ(device->TestCooperativeLevel(), D3D_OK);
    ASSERT_TRUE(Frame(*form));
    EXPECT_EQ(form->PresentedImage(), before);

    // The fixed states were sent again right after the reset.
    const std::vector<std::string> names = calls->Names();
    const auto reset = std::find(names.begin(), names.end(), "Reset");
    ASSERT_NE(reset, names.end());
    std::vector<std::vector<int64_t>> afterReset;
    for (size_t i = static_cast<size_t>(reset - names.begin()); i < calls->Size(); ++i) {
        const CallRecord& record = (*calls)[i];
        if (record.Name == "SetSamplerState" || record.Name == "SetRenderState")
            afterReset.push_back(record.Ints);
    }
    for (const std::vector<int64_t>& state : {std::vector<int64_t>{0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR},
                                              std::vector<int64_t>{0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR},
                                              std::vector<int64_t>{D3DRS_CULLMODE, D3DCULL_NONE}})
        EXPECT_NE(std::find(afterReset.begin(), afterReset.end(), state), afterReset.end()) << state[1];
    AttachCallLog(device, nullptr);
}

TEST_F(ViewerTest, ADamagedLayerIsReportedAndFramesGoOn) {
    const std::vector<uint8_t> good =
        sampledata::EncodeLayerFile({0, 0, 4, 4, std::vector<uint16_t>(16, 0x801F)});
    testing::WriteBytes(data + "item/avatar/02_Zbad0_01.pav", sampledata::WithInvalidDeflateData(good));
    testing::WriteBytes(data + "item/avatar/02_Zbad0_02.pav", good);
    auto form = Create();
    ASSERT_TRUE(reports.empty());
    const int bad = form->cbUpper->findText("02_Zbad0");
    ASSERT_GT(bad, 0);

    UserSelects(form->cbUpper, bad);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("02_Zbad0_01.pav"), std::string::npos) << reports[0];
    // The front texture was unlocked on the way out: it can be locked again,
    // and it holds the layers below the damaged one.
    TPartSelection below = form->PartSelection();
    below[plUpper] = "";
    below[plShoes] = "";
    EXPECT_EQ(TextureTexels(*form->FrontTexture), ExpectedTexels(kFrontLayerOrder, below));
    EXPECT_TRUE(Frame(*form));
    EXPECT_TRUE(Frame(*form));

    // Another item composes both sides again.
    UserSelects(form->cbUpper, 1);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(TextureTexels(*form->BackTexture), ExpectedTexels(kBackLayerOrder, form->PartSelection()));
}

TEST_F(ViewerTest, MissingFirstModelEndsAfterTheTexturesWithoutDrawing) {
    std::filesystem::remove_all(data + "character/models/tpv/type1");
    auto form = Create();
    EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::MissingModel);
    EXPECT_TRUE(form->Terminated());
    EXPECT_TRUE(reports.empty());
    ASSERT_NE(form->FrontTexture, nullptr);
    EXPECT_EQ(TextureTexels(*form->FrontTexture), ExpectedTexels(kFrontLayerOrder, form->PartSelection()));
    EXPECT_EQ(form->LightGroup, nullptr);
    EXPECT_EQ(form->ModelFrame->Mesh, nullptr);
    EXPECT_FALSE(form->IdleHandlerInstalled());
    EXPECT_EQ(form->PresentedFrameCount(), 0u);
}

TEST_F(ViewerTest, TheEventLoopDrawsByItselfAndListsAreClickedThrough) {
    auto form = Create();
    QElapsedTimer clock;
    clock.start();
    while (form->PresentedFrameCount() < 3 && clock.elapsed() < 5000) QCoreApplication::processEvents();
    EXPECT_GE(form->PresentedFrameCount(), 3u);

    // A click opens the list (the wheel stops zooming), the keys pick the next item.
    const std::vector<uint8_t> front = TextureTexels(*form->FrontTexture);
    QTest::mouseClick(form->cbUpper, Qt::LeftButton);
    ASSERT_TRUE(form->cbUpper->view()->isVisible());
    EXPECT_FALSE(form->WheelEnabled);
    QTest::keyClick(form->cbUpper->view(), Qt::Key_Down);
    QTest::keyClick(form->cbUpper->view(), Qt::Key_Return);
    EXPECT_TRUE(form->WheelEnabled);
    EXPECT_EQ(form->cbUpper->currentIndex(), 2);
    EXPECT_NE(TextureTexels(*form->FrontTexture), front);
    EXPECT_TRUE(reports.empty());

    // The window paints the presented frame under its lists.
    const uint64_t frames = form->PresentedFrameCount();
    clock.restart();
    while (form->PresentedFrameCount() == frames && clock.elapsed() < 5000) QCoreApplication::processEvents();
    const QImage window = form->grab().toImage();
    EXPECT_EQ(window.pixel(320, 240), form->PresentedImage().pixel(320, 240));
    EXPECT_NE(window.pixel(30, 130), form->PresentedImage().pixel(30, 130));  // cbBottom lies on top
}

// Counts the paint events of the widgets it watches.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++Paints[watched];
        return QObject::eventFilter(watched, event);
    }
    std::map<QObject*, int> Paints;
};

TEST_F(ViewerTest, AFrameRepaintsTheViewOnlyAndShowsTheDevicesOwnBuffers) {
    auto form = Create();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QCoreApplication::processEvents();
    PaintCounter counter;
    form->installEventFilter(&counter);
    for (TComboBox* combo : form->findChildren<TComboBox*>()) combo->installEventFilter(&counter);

    // Two frames in a row show the two buffers (the event loop may present
    // more frames of its own in between pairs).
    std::set<const uchar*> buffers;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(Frame(*form));
        const uchar* first = form->PresentedImage().constBits();
        ASSERT_TRUE(Frame(*form));
        EXPECT_NE(form->PresentedImage().constBits(), first);
        buffers.insert(first);
        buffers.insert(form->PresentedImage().constBits());
        QCoreApplication::processEvents();
    }
    EXPECT_GE(counter.Paints[form.get()], 4);
    // The lists are opaque children: a frame is clipped around them, and
    // their text is not drawn again.
    for (TComboBox* combo : form->findChildren<TComboBox*>())
        EXPECT_EQ(counter.Paints[combo], 0) << combo->objectName().toStdString();
    // The window shows the device's two buffers in turn, not copies of them.
    EXPECT_EQ(buffers.size(), 2u);

    // A copy of a frame stays as it was while the window goes on.
    const QImage kept = form->PresentedImage();
    const QImage keptPixels = kept.copy();
    form->Yaw = 1500;
    form->UpdateModelPose();
    ASSERT_TRUE(Frame(*form));
    ASSERT_TRUE(Frame(*form));
    EXPECT_NE(form->PresentedImage(), keptPixels);
    EXPECT_EQ(kept, keptPixels);
}

// Runs the event loop until the window has presented count more frames.
bool RunFrames(TForm1& form, uint64_t count) {
    const uint64_t until = form.PresentedFrameCount() + count;
    QElapsedTimer clock;
    clock.start();
    while (form.PresentedFrameCount() < until && clock.elapsed() < 5000) QCoreApplication::processEvents();
    return form.PresentedFrameCount() >= until;
}

TEST_F(ViewerTest, AnUnchangedViewIsShownAgainAndAnyChangeIsDrawn) {
    auto form = Create();
    ASSERT_TRUE(RunFrames(*form, 3));
    // Nothing changes: the frames go on, all of them the frame on show (a
    // frame drawn anew would be the device's other buffer).
    const uchar* shown = form->PresentedImage().constBits();
    const QImage pixels = form->PresentedImage().copy();
    ASSERT_TRUE(RunFrames(*form, 10));
    EXPECT_EQ(form->PresentedImage().constBits(), shown);

    // Each kind of change is drawn at the next frame.
    const auto expectDrawn = [&](const char* change, bool pixelsChange) {
        ASSERT_TRUE(RunFrames(*form, 1)) << change;
        EXPECT_NE(form->PresentedImage().constBits(), shown) << change;
        EXPECT_EQ(form->PresentedImage() != pixels, pixelsChange) << change;
        shown = form->PresentedImage().constBits();
        ASSERT_TRUE(RunFrames(*form, 3)) << change;
        EXPECT_EQ(form->PresentedImage().constBits(), shown) << change;
    };
    form->Yaw = 300;
    form->UpdateModelPose();
    expectDrawn("the pose", true);
    form->Yaw = 0;
    form->UpdateModelPose();
    expectDrawn("the pose back", false);
    form->ModelFrame->LocalMatrix(3, 0) += 0.25f;  // placed directly
    expectDrawn("the model frame", true);
    form->ModelFrame->LocalMatrix(3, 0) -= 0.25f;
    expectDrawn("the model frame back", false);
    form->ViewChanged();
    expectDrawn("told", false);
    UserSelects(form->cbUpper, 2);
    expectDrawn("a texture", true);
    EXPECT_TRUE(reports.empty());
}

// Class names of the registry's "unregistered" lines, in log order.
std::vector<std::string> UnregisteredClasses(const std::string& log, size_t& lastLine) {
    std::vector<std::string> classes;
    const std::regex line("Korvaneリソース\\(([A-Za-z0-9]+)\\) : ID [0-9]+\\([^)]*\\) を登録解除します");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it) {
        classes.push_back((*it)[1].str());
        lastLine = static_cast<size_t>(it->position());
    }
    return classes;
}

// The debug log of one form's shut-down (frames, light, mesh, textures, scene, device).
std::string ShutDownLog(const TempFolder& dir, TFormServices services) {
    const bool halt = HaltOnErrorSwitch, messages = DebugMessageSwitch, detailed = DetailedLogSwitch;
    SetLogFolder(dir.Path());
    services.DebugOption = TKVDebugOption{kvoDebugMessage, kvoDetailedLog};
    {
        auto form = std::make_unique<TForm1>(services);
        EXPECT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
        std::filesystem::resize_file(LogFileName(), 0);  // only the shut-down
    }
    const std::string log = testing::ReadText(LogFileName());
    ResetLogFolder();
    HaltOnErrorSwitch = halt, DebugMessageSwitch = messages, DetailedLogSwitch = detailed;
    return log;
}

void ExpectOrderlyShutDown(const std::string& log) {
    size_t lastUnregister = 0;
    EXPECT_EQ(UnregisteredClasses(log, lastUnregister),
              (std::vector<std::string>{"TOXLightGroup", "TKVVertexBuffer", "TKVIndexBuffer", "TKVTexture",
                                        "TKVTexture", "TOXScene"}))
        << log;
    const size_t farewell = log.find("■■■お別れの時がやってまいりました■■■");
    ASSERT_NE(farewell, std::string::npos);
    EXPECT_GT(farewell, lastUnregister);
    // Nothing was left for the device component to clean up.
    EXPECT_EQ(log.find("明示的に解放されていません"), std::string::npos);
}

TEST_F(ViewerTest, ShutDownFreesFramesLightMeshTexturesSceneThenTheDevice) {
    ExpectOrderlyShutDown(ShutDownLog(dir, Services()));
    EXPECT_TRUE(reports.empty());

    // The position cannot be stored (the settings folder is a file): reported,
    // and the objects still go before the device.
    testing::WriteText(dir / "blocked", "");
    TFormServices services = Services();
    services.SettingsFileName = dir / "blocked/wardrobix.ini";
    ExpectOrderlyShutDown(ShutDownLog(dir, services));
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(ViewerTest, WithoutTheTextureFormatNoLayerIsPaintedAndNothingBreaks) {
    // The device refuses A1R5G5B5: the textures fall back to another format,
    // which 16-bit layers must not be copied into.
    SetDefaultAdapterProfile(WithoutTextureFormat(DefaultAdapterProfile(), D3DFMT_A1R5G5B5));
    auto form = Create();
    ResetDefaultAdapterProfile();
    ASSERT_EQ(form->StartupOutcome(), TStartupOutcome::Running);
    ASSERT_NE(form->FrontTexture->Format, D3DFMT_A1R5G5B5);
    UserSelects(form->cbUpper, 2);
    EXPECT_TRUE(reports.empty());
    const std::vector<uint8_t> cleared(size_t{256} * 512 * 2, 0);
    EXPECT_EQ(TextureTexels(*form->FrontTexture), cleared);
    EXPECT_EQ(TextureTexels(*form->BackTexture), cleared);
    EXPECT_TRUE(Frame(*form));
}

TEST(IdleLoop, DoneStopsTheCallsUntilTheNextEventAndDelaysLastOneCall) {
    EnsureQtApplication();
    TIdleLoop loop;
    int calls = 0;
    bool done = false;
    loop.Install([&](bool& d) {
        ++calls;
        d = done;
    });
    QElapsedTimer clock;
    clock.start();
    while (calls < 5 && clock.elapsed() < 2000) QCoreApplication::processEvents();
    EXPECT_GE(calls, 5);

    done = true;
    const auto settle = [] {
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
    };
    settle();
    const int stopped = calls;
    settle();
    EXPECT_EQ(calls, stopped);
    QObject receiver;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    settle();
    EXPECT_EQ(calls, stopped + 1);

    done = false;
    QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User));
    settle();
    loop.DelayNext(300);
    const int delayed = calls;
    settle();
    EXPECT_EQ(calls, delayed);
    clock.restart();
    while (calls == delayed && clock.elapsed() < 2000) QCoreApplication::processEvents();
    EXPECT_GE(clock.elapsed(), 250);
    loop.Install({});
}

}  // namespace
}  // namespace wbx
