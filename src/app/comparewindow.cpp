#include "app/comparewindow.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStatusBar>
#include <exception>

#include "app/compareview.h"
#include "app/dressing.h"
#include "app/mainwindow.h"
#include "app/outfitmenu.h"
#include "app/posekeys.h"
#include "app/umain.h"
#include "app/wardrobebrowser.h"
#include "viewer/datafolder.h"
#include "viewer/inifile.h"
#include "viewer/modelpose.h"
#include "viewer/outfitstore.h"
#include "viewer/sharecode.h"

namespace wbx {

namespace {

constexpr const char* kWindowSection = "window";
constexpr const char* kGeometryKey = "compare";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The index of item in a list of the right side ("" is "なし", index 0).
int RightIndex(const QComboBox& list, const std::string& item) {
    if (item.empty()) return 0;
    for (int i = 1; i < list.count(); ++i)
        if (list.itemText(i).toStdString() == item) return i;
    return 0;
}

void FillFrom(QComboBox& list, const QComboBox& source) {
    for (int i = 0; i < source.count(); ++i) list.addItem(source.itemText(i));
}

}  // namespace

TCompareWindow::TCompareWindow(TMainWindow& window)
    : QWidget(&window, Qt::Window), window_(window), form_(&window.Form()), store_(window.Outfits().Store()) {
    setObjectName(QStringLiteral("CompareWindow"));
    setWindowTitle(QStringLiteral("Compare outfits"));

    leftView_ = new TCompareView(this);
    rightView_ = new TCompareView(this);
    leftView_->setObjectName(QStringLiteral("leftView"));
    rightView_->setObjectName(QStringLiteral("rightView"));
    for (TCompareView* view : {leftView_, rightView_}) {
        view->OnDrag = [this](int dx, int dy) {
            SetPose(TViewPose{DraggedYaw(pose_.Yaw, dx), DraggedPitch(pose_.Pitch, dy), pose_.Zoom});
        };
        view->OnWheel = [this](int delta) {
            TViewPose pose = pose_;
            // A step that would cross a limit is refused, as in the main view.
            if (WheelZoom(pose_.Zoom, delta, pose.Zoom)) SetPose(pose);
        };
        view->OnError = [this](const QString& message) { ShowStatus(message); };
    }
    leftCaption_ = new QLabel(QString::fromUtf8(kCurrentOutfitCaption), this);
    rightCaptionLabel_ = new QLabel(this);
    for (QLabel* caption : {leftCaption_, rightCaptionLabel_}) {
        caption->setAlignment(Qt::AlignCenter);
        QFont font = caption->font();
        font.setBold(true);
        caption->setFont(font);
    }
    differences_ = new QLabel(this);
    differences_->setWordWrap(true);
    status_ = new QStatusBar(this);
    status_->setSizeGripEnabled(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(leftCaption_, 0, 0);
    grid->addWidget(rightCaptionLabel_, 0, 1);
    grid->addWidget(leftView_, 1, 0);
    grid->addWidget(rightView_, 1, 1);
    grid->addWidget(BuildRightPanel(), 0, 2, 2, 1);
    grid->addWidget(differences_, 2, 0, 1, 3);
    grid->addWidget(status_, 3, 0, 1, 3);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    BuildWindowActions();
    BuildPoseActions();
    RestoreGeometry();
    // The window's place is kept when the main window closes with it open.
    window.installEventFilter(this);
}

TCompareWindow::~TCompareWindow() = default;

QWidget* TCompareWindow::BuildRightPanel() {
    auto* panel = new QWidget(this);
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(0, 0, 0, 0);

    savedOutfits_ = new QComboBox(panel);
    savedOutfits_->setObjectName(QStringLiteral("savedOutfits"));
    connect(savedOutfits_, &QComboBox::activated, this, [this](int index) {
        if (index > 0) Guarded([&] { ShowSavedOutfit(savedOutfits_->itemText(index).toStdString()); });
    });
    form->addRow(QStringLiteral("Saved outfit:"), savedOutfits_);

    auto* paste = new QPushButton(QStringLiteral("Paste share code"), panel);
    connect(paste, &QPushButton::clicked, this, [this] {
        const QString text = QGuiApplication::clipboard()->text();
        if (text.trimmed().isEmpty())
            ShowStatus(QStringLiteral("The clipboard holds no share code."));
        else
            Guarded([&] { ShowShareCode(text); });
    });
    auto* copy = new QPushButton(QStringLiteral("Copy current → right"), panel);
    connect(copy, &QPushButton::clicked, this, [this] { Guarded([this] { CopyCurrent(); }); });
    form->addRow(paste);
    form->addRow(copy);

    bodyTypes_ = new QComboBox(panel);
    bodyTypes_->setObjectName(QStringLiteral("bodyType"));
    FillFrom(*bodyTypes_, *form_->cbModels);
    connect(bodyTypes_, &QComboBox::activated, this, [this](int index) {
        Guarded([&] { PickRightBodyType(bodyTypes_->itemText(index).toStdString()); });
    });
    bodyTypeLabel_ = new QLabel(QStringLiteral("Body type:"), panel);
    form->addRow(bodyTypeLabel_, bodyTypes_);
    for (int i = 0; i < kPartListCount; ++i) {
        const auto list = static_cast<TPartList>(i);
        auto* combo = new QComboBox(panel);
        combo->setObjectName(QString::fromLatin1(SlotName(list)));
        combo->setMaxVisibleItems(form_->PartCombo(list)->maxVisibleItems());
        FillFrom(*combo, *form_->PartCombo(list));
        connect(combo, &QComboBox::activated, this, [this, list, combo](int index) {
            Guarded([&] { PickRightItem(list, index > 0 ? combo->itemText(index).toStdString() : ""); });
        });
        auto* label = new QLabel(QStringLiteral("%1:").arg(QString::fromLatin1(PartListTitle(list))), panel);
        form->addRow(label, combo);
        rightLists_[static_cast<size_t>(i)] = combo;
        rightLabels_[static_cast<size_t>(i)] = label;
    }
    return panel;
}

void TCompareWindow::BuildPoseActions() {
    // Home anywhere in the window; the arrows, + and − while a view has the
    // keyboard (a list keeps its own arrows).
    for (TCompareView* view : {leftView_, rightView_}) {
        for (const TPoseKey key : kPoseKeys) {
            if (key == TPoseKey::StartPose) continue;  // the window's own, below
            auto* action = new QAction(PoseKeyText(key), view);
            action->setShortcuts(PoseKeyShortcuts(key));
            action->setShortcutContext(Qt::WidgetShortcut);
            connect(action, &QAction::triggered, this, [this, key] {
                const bool fine = QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
                SetPose(PoseAfterKey(pose_, key, fine));
            });
            view->addAction(action);
        }
    }
    auto* home = new QAction(PoseKeyText(TPoseKey::StartPose), this);
    home->setShortcuts(PoseKeyShortcuts(TPoseKey::StartPose));
    home->setShortcutContext(Qt::WindowShortcut);
    connect(home, &QAction::triggered, this, [this] { SetPose(kStartPose); });
    addAction(home);
}

void TCompareWindow::BuildWindowActions() {
    const auto add = [this](const QKeySequence& shortcut, const char* text,
                            const std::function<void()>& handler) {
        auto* action = new QAction(QString::fromUtf8(text), this);
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    add(QKeySequence(Qt::Key_Escape), "Close the compare window", [this] { close(); });
    // Quits as the main window's Quit does: through its closing, which keeps
    // the settings and both windows' places.
    add(QKeySequence(Qt::CTRL | Qt::Key_Q), "Quit", [this] { window_.close(); });
    // The key that brought this window forward takes the keyboard back to the
    // main window; this one stays open behind it.
    add(QKeySequence(Qt::CTRL | Qt::Key_K), "The main window in front", [this] {
        window_.raise();
        window_.activateWindow();
    });
}

QList<TKeyHelpRow> TCompareWindow::KeyboardHelp() const {
    QList<TKeyHelpRow> rows;
    const auto add = [&rows](const QList<QAction*>& actions, const QString& where) {
        for (const QAction* action : actions)
            rows.append({action->shortcut().toString(QKeySequence::NativeText),
                         action->text().remove(QLatin1Char('&')) + where});
    };
    add(actions(), QString());
    add(leftView_->actions(), QStringLiteral(", on a focused view"));  // the right view's are the same
    return rows;
}

void TCompareWindow::SetPose(const TViewPose& pose) {
    pose_ = pose;
    leftView_->SetPose(pose);
    rightView_->SetPose(pose);
}

void TCompareWindow::CurrentChanged() {
    if (!isVisible()) {
        leftStale_ = true;
        return;
    }
    Guarded([this] { FollowCurrent(); });
}

void TCompareWindow::FollowCurrent() {
    if (!form_) return;
    leftStale_ = false;
    const std::string bodyType = form_->cbModels->Text();
    // The model the main view shows (kept when a body type's file was missing).
    if (bodyType != leftBodyType_ && !form_->Pdt.Objects.empty()) {
        leftView_->SetModel(form_->Pdt);
        leftBodyType_ = bodyType;
    }
    leftView_->SetSelection(form_->PartSelection());
    UpdateDifferences();
}

void TCompareWindow::ShowOutfit(const TOutfit& outfit, const QString& caption) {
    if (!form_) return;
    TDressProblems problems;
    right_ = WearableOutfit(*form_, outfit, problems);
    rightCaption_ = caption;
    QStringList lines;
    for (const std::string& problem : problems) lines << FromStd(problem);
    status_->clearMessage();
    if (!lines.isEmpty()) ShowStatus(lines.join(QLatin1Char(' ')));
    ApplyRight();
}

bool TCompareWindow::ShowSavedOutfit(const std::string& name) {
    store_.Reload();
    const std::optional<TOutfit> outfit = store_.Find(name);
    if (!outfit) {
        ShowStatus(QStringLiteral("There is no outfit named \"%1\" any more.").arg(FromStd(name)));
        return false;
    }
    ShowOutfit(*outfit, FromStd(name));
    return true;
}

bool TCompareWindow::ShowShareCode(const QString& code) {
    const TShareCodeResult result = DecodeShareCode(code.toStdString());
    if (!result.Outfit) {
        ShowStatus(FromStd(result.Error));
        return false;
    }
    ShowOutfit(*result.Outfit, QStringLiteral("Pasted share code"));
    return true;
}

void TCompareWindow::CopyCurrent() {
    if (!form_) return;
    ShowOutfit(CurrentOutfit(*form_), QStringLiteral("Copy of the current outfit"));
}

namespace {

// The caption of an outfit changed by hand.
QString ChangedCaption(const QString& caption) {
    const QString mark = QStringLiteral(" (changed)");
    return caption.endsWith(mark) ? caption : caption + mark;
}

}  // namespace

void TCompareWindow::PickRightItem(TPartList list, const std::string& item) {
    TOutfit outfit = right_;
    outfit.Items[static_cast<size_t>(list)] = item;
    ShowOutfit(outfit, ChangedCaption(rightCaption_));
}

void TCompareWindow::PickRightBodyType(const std::string& bodyType) {
    TOutfit outfit = right_;
    outfit.BodyType = bodyType;
    ShowOutfit(outfit, ChangedCaption(rightCaption_));
}

void TCompareWindow::ApplyRight() {
    rightCaptionLabel_->setText(rightCaption_);
    {
        const QSignalBlocker blocker(bodyTypes_);
        bodyTypes_->setCurrentIndex(bodyTypes_->findText(FromStd(right_.BodyType)));
    }
    for (int i = 0; i < kPartListCount; ++i) {
        QComboBox& list = *rightLists_[static_cast<size_t>(i)];
        const QSignalBlocker blocker(&list);
        list.setCurrentIndex(RightIndex(list, right_.Items[static_cast<size_t>(i)]));
    }
    UpdateDifferences();
    if (right_.BodyType != rightBodyType_) {
        // WearableOutfit found the file; a damaged one raises here.
        std::optional<TPdtRec> model = ReadModelFile(ModelFileName(right_.BodyType));
        if (!model || model->Objects.empty()) {
            ShowStatus(QStringLiteral("The model of %1 cannot be shown.").arg(FromStd(right_.BodyType)));
        } else {
            rightView_->SetModel(std::move(*model));
            rightBodyType_ = right_.BodyType;
        }
    }
    rightView_->SetSelection(right_.Items);
}

QStringList TCompareWindow::Differences() const {
    QStringList differing;
    if (!form_) return differing;
    const TOutfit current = CurrentOutfit(*form_);
    if (current.BodyType != right_.BodyType) differing << QStringLiteral("body type");
    for (int i = 0; i < kPartListCount; ++i)
        if (current.Items[static_cast<size_t>(i)] != right_.Items[static_cast<size_t>(i)])
            differing << QString::fromLatin1(SlotName(static_cast<TPartList>(i)));
    return differing;
}

void TCompareWindow::UpdateDifferences() {
    const QStringList differing = Differences();
    differences_->setText(
        differing.isEmpty()
            ? QStringLiteral("The two outfits are the same.")
            : QStringLiteral("They differ in: %1.").arg(differing.join(QStringLiteral(", "))));
    // The right side's lists of the differing slots, marked.
    const auto mark = [](QLabel* label, bool differs) {
        QFont font = label->font();
        font.setBold(differs);
        label->setFont(font);
    };
    mark(bodyTypeLabel_, differing.contains(QStringLiteral("body type")));
    for (int i = 0; i < kPartListCount; ++i)
        mark(rightLabels_[static_cast<size_t>(i)],
             differing.contains(QString::fromLatin1(SlotName(static_cast<TPartList>(i)))));
}

void TCompareWindow::ReloadSavedNames() {
    store_.Reload();
    const QSignalBlocker blocker(savedOutfits_);
    savedOutfits_->clear();
    savedOutfits_->addItem(QStringLiteral("(choose one)"));
    for (const TNamedOutfit& outfit : store_.Outfits()) savedOutfits_->addItem(FromStd(outfit.Name));
    savedOutfits_->setEnabled(savedOutfits_->count() > 1);
    const int shown = savedOutfits_->findText(rightCaption_);
    savedOutfits_->setCurrentIndex(shown > 0 ? shown : 0);
}

QString TCompareWindow::LeftCaption() const { return leftCaption_->text(); }
QString TCompareWindow::RightCaption() const { return rightCaptionLabel_->text(); }
QString TCompareWindow::StatusText() const { return status_->currentMessage(); }

void TCompareWindow::ShowStatus(const QString& text) { status_->showMessage(text); }

void TCompareWindow::Guarded(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const std::exception& error) {
        ShowStatus(FromStd(error.what()));
    }
}

void TCompareWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (rightCaption_.isEmpty()) Guarded([this] { CopyCurrent(); });  // the first time
    if (leftStale_) Guarded([this] { FollowCurrent(); });
    Guarded([this] { ReloadSavedNames(); });
}

void TCompareWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    StoreGeometry();
}

bool TCompareWindow::event(QEvent* event) {
    // Another viewer (or the Outfit menu) may have changed the saved outfits.
    if (event->type() == QEvent::WindowActivate) Guarded([this] { ReloadSavedNames(); });
    return QWidget::event(event);
}

bool TCompareWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Close && isVisible()) StoreGeometry();
    return QWidget::eventFilter(watched, event);
}

void TCompareWindow::RestoreGeometry() {
    const TIniFile ini(window_.SettingsFileName());
    const QByteArray geometry =
        QByteArray::fromBase64(QByteArray::fromStdString(ini.ReadString(kWindowSection, kGeometryKey, "")));
    if (!geometry.isEmpty() && restoreGeometry(geometry)) return;
    // The first time: a size that fits the main window's screen, whatever its scale.
    QSize size(1000, 600);
    if (const QScreen* screen = window_.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 0.9);
    resize(size);
}

void TCompareWindow::StoreGeometry() {
    if (!form_) return;
    form_->StoreSettings([this] {
        TIniFile ini(window_.SettingsFileName());
        ini.WriteString(kWindowSection, kGeometryKey, saveGeometry().toBase64().toStdString());
    });
}

TCompareWindow* InstallCompareWindow(TMainWindow& window) {
    auto* compare = new TCompareWindow(window);
    QAction* show = window.AddMenuAction(TShellMenu::View, QStringLiteral("&Compare…"),
                                         QKeySequence(Qt::CTRL | Qt::Key_K), [compare] {
                                             compare->show();
                                             compare->raise();
                                             compare->activateWindow();
                                         });
    window.AddToolBarAction(show);
    window.AddKeyboardHelp(QStringLiteral("Compare window"), compare->KeyboardHelp());
    TForm1& form = window.Form();
    // After whoever listened before.
    form.OnTexturesComposed = [compare, previous = std::move(form.OnTexturesComposed)] {
        if (previous) previous();
        compare->CurrentChanged();
    };
    QObject::connect(form.cbModels, &QComboBox::activated, compare, [compare] { compare->CurrentChanged(); });
    return compare;
}

}  // namespace wbx
