#include "app/mainwindow.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/dressing.h"
#include "app/outfitmenu.h"
#include "app/posekeys.h"
#include "app/previewpanel.h"
#include "viewer/commandline.h"
#include "viewer/inifile.h"
#include "viewer/outfitstore.h"
#include "viewer/viewpose.h"

namespace wbx {

namespace {

constexpr const char* kWindowSection = "window";
// How long a status message stays, in milliseconds.
constexpr int kStatusMilliseconds = 10000;
// The largest client area the settings may ask for, in pixels a side.
constexpr int kLargestClient = 16384;

}  // namespace

TMainWindow::TMainWindow(TFormServices services, std::string outfitsFile) : services_(std::move(services)) {
    setObjectName(QStringLiteral("MainWindow"));
    setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowTabbedDocks);
    BuildMenus();
    toolBar_ = addToolBar(QStringLiteral("Tools"));
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    toolBar_->setMovable(true);
    toolBar_->setFloatable(false);
    toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(toolBar_, &QToolBar::visibilityChanged, this, [this] { ScheduleFit(); });
    connect(toolBar_, &QToolBar::topLevelChanged, this, [this] { ScheduleFit(); });
    statusBar()->setSizeGripEnabled(false);

    // The form: its constructor adopts it as the central widget first, then
    // runs FormCreate (settings, data folder, lists, device, scene).
    form_ = new TForm1(services_, this);

    BuildPoseActions();
    // A click on the view gives it the keyboard (for the pose keys); Tab
    // walks on to the lists.
    form_->setFocusPolicy(Qt::StrongFocus);
    form_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(form_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { contextMenu_->popup(form_->mapToGlobal(at)); });

    preview_ = new TPreviewPanel(*form_, this);
    preview_->hide();  // docked (and shown as it was) once the form runs
    form_->OnTexturesComposed = [this] { preview_->TexturesComposed(); };

    outfits_ = new TOutfitMenu(*this, outfitsFile.empty() ? OutfitsFileName() : outfitsFile,
                               services_.SettingsFileName);
    if (form_->StartupOutcome() == TStartupOutcome::Running) {
        ReadWindowSettings();
        stateRestored_ = true;
        AddDock(preview_, Qt::RightDockWidgetArea, QKeySequence(Qt::Key_F3));
        form_->Guarded([this] { outfits_->RestoreLastOutfit(); });
    }
    stateRestored_ = true;
    form_->setFocus();
}

TMainWindow::~TMainWindow() {
    if (form_->StartupOutcome() == TStartupOutcome::Running) {
        // Through the form: not at all when settings are not to be written,
        // and a failure is reported once.
        form_->Guarded([this] { form_->StoreSettings([this] { StoreWindowSettings(); }); });
        form_->Guarded([this] { form_->StoreSettings([this] { outfits_->StoreLastOutfit(); }); });
    }
    // FormDestroy (in the form's destruction) stores the window's position:
    // the window must still be whole then.
    delete form_;
    form_ = nullptr;
    // The panels are destroyed after this body, by QWidget's destructor, and
    // hide as they go: their notifications must not reach a window that is
    // no longer one.
    for (QDockWidget* dock : findChildren<QDockWidget*>()) dock->disconnect(this);
}

void TMainWindow::AdoptForm(TForm1* form) {
    form_ = form;
    setCentralWidget(form);
    // The view may grow with the window, never below the described size.
    form->setMinimumSize(kClientWidth, kClientHeight);
    clientSize_ = QSize(kClientWidth, kClientHeight);
}

void TMainWindow::FitClientSize(int width, int height) {
    clientSize_ = QSize(width, height);
    if (form_ == nullptr || isMaximized() || isFullScreen()) return;
    fitting_ = true;
    // What lies around the form is known once the layout has placed it, with
    // the form taking all the room it is given (a form of limited size would
    // hide room a panel left); the layout is applied at once (also while the
    // window is hidden), so two rounds settle it.
    const QSize largest = form_->maximumSize();
    form_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const auto relayout = [this] {
        layout()->invalidate();
        layout()->activate();  // places the menu bar and lays out the rest below it
    };
    for (int round = 0; round < 3; ++round) {
        relayout();
        if (form_->size() == clientSize_) break;
        const QSize around = size() - form_->size();
        resize(clientSize_ + around);
    }
    form_->setMaximumSize(largest);
    relayout();
    fitting_ = false;
}

void TMainWindow::ScheduleFit() {
    if (fitScheduled_) return;
    fitScheduled_ = true;
    // After the toolkit has laid out the panel's new place.
    QTimer::singleShot(0, this, [this] {
        fitScheduled_ = false;
        FitClientSize(clientSize_.width(), clientSize_.height());
    });
}

void TMainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // A size the user gave the window (not one fitted around the form, and
    // not a maximised one) is the size the view keeps from now on.
    if (!fitting_ && !fitScheduled_ && form_ != nullptr && !isMaximized() && !isFullScreen())
        clientSize_ = form_->size();
}

QMenu* TMainWindow::Menu(TShellMenu menu) const {
    switch (menu) {
        case TShellMenu::File:
            return fileMenu_;
        case TShellMenu::Outfit:
            return outfitMenu_;
        case TShellMenu::View:
            return viewMenu_;
        case TShellMenu::Help:
            return helpMenu_;
    }
    return nullptr;
}

QAction* TMainWindow::AddMenuAction(TShellMenu menu, const QString& text, const QKeySequence& shortcut,
                                    std::function<void()> handler) {
    QAction* action = Menu(menu)->addAction(text);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, handler = std::move(handler)] {
        if (form_ != nullptr) form_->Guarded(handler);
    });
    return action;
}

void TMainWindow::AddToolBarAction(QAction* action, const QString& label) {
    if (!label.isEmpty()) action->setIconText(label);
    // The menu's text without its mnemonic and the dots of "opens a dialog".
    QString tip = action->text().remove(QLatin1Char('&'));
    for (const QString& dots : {QStringLiteral("..."), QStringLiteral("…")})
        if (tip.endsWith(dots)) tip.chop(dots.size());
    if (!action->shortcut().isEmpty())
        tip += QStringLiteral(" (%1)").arg(action->shortcut().toString(QKeySequence::NativeText));
    action->setToolTip(tip);
    toolBar_->addAction(action);
}

QAction* TMainWindow::AddDock(QDockWidget* dock, Qt::DockWidgetArea area, const QKeySequence& shortcut) {
    Q_ASSERT(!dock->objectName().isEmpty() && "a dock's place is remembered by its object name");
    dock->setParent(this);
    // Added after the stored places were applied: its own is put back now
    // (shown or hidden as it was); a panel never seen before starts hidden.
    if (!stateRestored_ || !restoreDockWidget(dock)) {
        addDockWidget(area, dock);
        dock->hide();
    }
    QAction* toggle = dock->toggleViewAction();
    toggle->setShortcut(shortcut);
    toggle->setShortcutContext(Qt::WindowShortcut);
    viewMenu_->addAction(toggle);
    connect(dock, &QDockWidget::visibilityChanged, this, [this] { ScheduleFit(); });
    connect(dock, &QDockWidget::topLevelChanged, this, [this] { ScheduleFit(); });
    connect(dock, &QDockWidget::dockLocationChanged, this, [this] { ScheduleFit(); });
    return toggle;
}

void TMainWindow::ShowStatus(const QString& text) { statusBar()->showMessage(text, kStatusMilliseconds); }

QString TMainWindow::StatusText() const { return statusBar()->currentMessage(); }

void TMainWindow::RestoreDefaultSize() {
    if (isMaximized() || isFullScreen()) showNormal();
    FitClientSize(kClientWidth, kClientHeight);
}

void TMainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();
    fileMenu_ = bar->addMenu(QStringLiteral("&File"));
    outfitMenu_ = bar->addMenu(QStringLiteral("&Outfit"));
    viewMenu_ = bar->addMenu(QStringLiteral("&View"));
    helpMenu_ = bar->addMenu(QStringLiteral("&Help"));
    contextMenu_ = new QMenu(this);

    QAction* quit = AddMenuAction(TShellMenu::File, QStringLiteral("&Quit"),
                                  QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); });
    quit->setMenuRole(QAction::QuitRole);

    AddMenuAction(TShellMenu::Help, QStringLiteral("&Keyboard and mouse"), QKeySequence(Qt::Key_F1),
                  [this] { ShowKeyboardHelp(); });
    AddMenuAction(TShellMenu::Help, QStringLiteral("&About wardrobix"), QKeySequence(Qt::CTRL | Qt::Key_F1),
                  [this] { ShowAbout(); });
}

void TMainWindow::BuildPoseActions() {
    // The pose keys act while the view has the keyboard; a list that has it
    // keeps its arrow keys for itself.
    QMenu* pose = viewMenu_->addMenu(QStringLiteral("&Pose"));
    for (const TPoseKey key : kPoseKeys) {
        auto* action = new QAction(PoseKeyText(key), form_);
        action->setShortcuts(PoseKeyShortcuts(key));
        action->setShortcutContext(Qt::WidgetShortcut);
        connect(action, &QAction::triggered, this, [this, key] {
            // Shift makes an arrow's step fine: one pixel's worth of a drag.
            const bool fine = QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
            form_->Guarded([&] { SetFormPose(*form_, PoseAfterKey(FormPose(*form_), key, fine)); });
        });
        form_->addAction(action);
        pose->addAction(action);
        if (key == TPoseKey::StartPose) {
            contextMenu_->addAction(action);
            AddToolBarAction(action);
        }
    }
    QAction* defaultSize =
        AddMenuAction(TShellMenu::View, QStringLiteral("&Default size"), QKeySequence(Qt::CTRL | Qt::Key_0),
                      [this] { RestoreDefaultSize(); });
    contextMenu_->addAction(defaultSize);
}

QList<TKeyHelpRow> TMainWindow::KeyboardHelp() const {
    QList<TKeyHelpRow> rows = {
        {QStringLiteral("Left button drag"), QStringLiteral("Turn and tilt the figure")},
        {QStringLiteral("Wheel"), QStringLiteral("Scale the figure")},
        {QStringLiteral("Right button, Menu key"), QStringLiteral("The view's menu")},
        {QStringLiteral("Shift+arrow"), QStringLiteral("Turn or tilt in fine steps")},
    };
    const std::function<void(QMenu*)> addMenu = [&](QMenu* menu) {
        for (QAction* action : menu->actions()) {
            if (action->menu() != nullptr) {
                addMenu(action->menu());
            } else if (!action->isSeparator() && !action->shortcut().isEmpty()) {
                rows.append({action->shortcut().toString(QKeySequence::NativeText),
                             action->text().remove(QLatin1Char('&'))});
            }
        }
    };
    for (QMenu* menu : {fileMenu_, outfitMenu_, viewMenu_, helpMenu_}) addMenu(menu);
    return rows + otherKeys_;
}

void TMainWindow::AddKeyboardHelp(const QString& heading, const QList<TKeyHelpRow>& rows) {
    otherKeys_.append({QString(), heading});
    otherKeys_.append(rows);
}

void TMainWindow::ShowKeyboardHelp() {
    // Every menu item with its shortcut, what the mouse does, and the keys of
    // the other windows under their headings.
    QDialog dialog(this);
    dialog.setWindowTitle(QStringLiteral("Keyboard and mouse"));
    auto* table = new QTableWidget(&dialog);
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({QStringLiteral("Keys"), QStringLiteral("Does")});
    for (const TKeyHelpRow& entry : KeyboardHelp()) {
        const int row = table->rowCount();
        table->insertRow(row);
        if (entry.Keys.isEmpty()) {
            auto* heading = new QTableWidgetItem(entry.Does);
            QFont font = heading->font();
            font.setBold(true);
            heading->setFont(font);
            table->setItem(row, 0, heading);
            table->setSpan(row, 0, 1, 2);
        } else {
            table->setItem(row, 0, new QTableWidgetItem(entry.Keys));
            table->setItem(row, 1, new QTableWidgetItem(entry.Does));
        }
    }
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(table);
    layout->addWidget(buttons);
    dialog.resize(460, 420);
    dialog.exec();
}

void TMainWindow::ShowAbout() {
    QMessageBox::about(
        this, QStringLiteral("About wardrobix"),
        QString::fromStdString(VersionText()).trimmed() +
            QStringLiteral("\n\nShows an avatar figure dressed from an unpacked game data folder."));
}

void TMainWindow::ReadWindowSettings() {
    const TIniFile ini(services_.SettingsFileName);
    const int width = ini.ReadInteger(kWindowSection, "width", kClientWidth);
    const int height = ini.ReadInteger(kWindowSection, "height", kClientHeight);
    // A stored size the view cannot have is left alone: the default stays.
    if (width >= kClientWidth && height >= kClientHeight && width <= kLargestClient &&
        height <= kLargestClient)
        FitClientSize(width, height);
    const QByteArray docks =
        QByteArray::fromBase64(QByteArray::fromStdString(ini.ReadString(kWindowSection, "docks", "")));
    if (!docks.isEmpty()) restoreState(docks);
    FitClientSize(clientSize_.width(), clientSize_.height());
    if (ini.ReadInteger(kWindowSection, "maximized", 0) == 1)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TMainWindow::StoreWindowSettings() {
    TIniFile ini(services_.SettingsFileName);
    ini.WriteInteger(kWindowSection, "width", clientSize_.width());
    ini.WriteInteger(kWindowSection, "height", clientSize_.height());
    ini.WriteInteger(kWindowSection, "maximized", isMaximized() ? 1 : 0);
    ini.WriteString(kWindowSection, "docks", saveState().toBase64().toStdString());
}

}  // namespace wbx
