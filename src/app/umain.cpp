#include "app/umain.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>
#include <exception>

#include "app/datafolder.h"
#include "app/fileutils.h"
#include "app/inifile.h"
#include "app/modelpose.h"
#include "app/partcombo.h"

namespace wbx {

namespace {

constexpr const char* kSettingsSection = "app";

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

TForm1::TForm1(TFormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(std::move(services)) {
    // The window as its resource describes it.
    QFont font;
    font.setFamilies(
        {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"), QStringLiteral("Sans Serif")});
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);
    move(kDefaultLeft, kDefaultTop);

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

    // FormCreate runs as part of creating the window; an exception ends it at
    // that step and is reported, and the window is created all the same.
    try {
        FormCreate();
    } catch (const std::exception& error) {
        startupOutcome_ = TStartupOutcome::Failed;
        ReportException(error.what());
    }
}

TForm1::~TForm1() {
    Guarded([this] { FormDestroy(); });
}

TComboBox* TForm1::MakeCombo(const char* name, int top) {
    auto* combo = new TComboBox(this);  // owned by this window
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(4, top, 85, 20);
    combo->OnDropDown = [this](TComboBox* sender) { Guarded([&] { ComboDropDown(sender); }); };
    combo->OnCloseUp = [this](TComboBox* sender) { Guarded([&] { ComboCloseUp(sender); }); };
    // The window sees the wheel first, as the original toolkit's forms did.
    combo->installEventFilter(this);
    return combo;
}

void TForm1::FormCreate() {
    // 1. Caption, title and colour.
    setWindowTitle(QStringLiteral("wardrobix"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("wardrobix"));
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
                ini.WriteString(kSettingsSection, "path", BasePath);
            } else {
                startupOutcome_ = TStartupOutcome::NoDataFolder;
                Terminate();
                return;
            }
        }
        // 3. The stored position (used as it is, even off-screen), then the client size.
        const int left = ini.ReadInteger(kSettingsSection, "left", x());
        const int top = ini.ReadInteger(kSettingsSection, "top", y());
        move(left, top);
        setFixedSize(kClientWidth, kClientHeight);
    }

    // 4. The wheel zooms (until a list opens).
    WheelEnabled = true;

    // 5. The part lists.
    for (int list = 0; list < kPartListCount; ++list) {
        const TPartListInfo& info = kPartLists[static_cast<size_t>(list)];
        FillPartCombo(AvatarPath, info.Mask, *partCombos_[static_cast<size_t>(list)], info.SelectFirstFile,
                      AddFilePrefix);
    }

    // The first model; without it there is nothing to show.
    if (!LoadModel()) {
        startupOutcome_ = TStartupOutcome::MissingModel;
        Terminate();
        return;
    }
}

void TForm1::FormDestroy() {
    TIniFile ini(services_.SettingsFileName);
    ini.WriteInteger(kSettingsSection, "left", x());
    ini.WriteInteger(kSettingsSection, "top", y());
}

bool TForm1::PromptForFolder(std::string& folder) {
    if (services_.FolderPrompt) return services_.FolderPrompt(kFolderPromptCaption, folder);
    const QString chosen = QFileDialog::getExistingDirectory(this, QString::fromUtf8(kFolderPromptCaption));
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
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
    // Read into a new record; Pdt changes only once the whole file was read.
    std::optional<TPdtRec> pdt = ReadModelFile(ModelFileName(cbModels->Text()));
    if (!pdt) return false;
    Pdt = std::move(*pdt);
    return true;
}

void TForm1::UpdateModelPose() {
    // The figure's frame and texture follow Yaw, Pitch and Zoom once the scene
    // exists; until then the pose lives in the three fields alone.
}

void TForm1::ComboDropDown(TComboBox*) { WheelEnabled = false; }
void TForm1::ComboCloseUp(TComboBox*) { WheelEnabled = true; }

void TForm1::TextureChange(TComboBox*) {}

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
    // A wheel turned over a closed list zooms the figure instead of changing
    // the list's selection; with a list open the wheel belongs to the list.
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (DispatchWheel(wheel, mapFromGlobal(wheel->globalPosition().toPoint()))) return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace wbx
