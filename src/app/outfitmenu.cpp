#include "app/outfitmenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>

#include "app/dressing.h"
#include "app/mainwindow.h"
#include "viewer/inifile.h"
#include "viewer/sharecode.h"
#include "viewer/storedoutfit.h"

namespace wbx {

namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// A menu item's text that shows & as itself.
QString MenuText(const std::string& name) {
    return FromStd(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

}  // namespace

TOutfitPrompts DialogOutfitPrompts(QWidget* parent) {
    TOutfitPrompts prompts;
    prompts.AskText = [parent](const QString& title, const QString& label,
                               const QString& text) -> std::optional<QString> {
        bool ok = false;
        const QString answer = QInputDialog::getText(parent, title, label, QLineEdit::Normal, text, &ok);
        if (!ok) return std::nullopt;
        return answer;
    };
    prompts.Confirm = [parent](const QString& title, const QString& question) {
        return QMessageBox::question(parent, title, question) == QMessageBox::Yes;
    };
    prompts.Warn = [parent](const QString& title, const QString& message) {
        QMessageBox::warning(parent, title, message);
    };
    return prompts;
}

TOutfitMenu::TOutfitMenu(TMainWindow& window, std::string outfitsFile, std::string settingsFile)
    : QObject(&window),
      Prompts(DialogOutfitPrompts(&window)),
      window_(window),
      settingsFile_(std::move(settingsFile)),
      store_(std::move(outfitsFile)),
      random_(std::random_device{}()) {
    QAction* copy =
        window.AddMenuAction(TShellMenu::Outfit, QStringLiteral("&Copy share code"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { CopyShareCode(); });
    QAction* paste = window.AddMenuAction(TShellMenu::Outfit, QStringLiteral("&Paste share code"),
                                          QKeySequence(Qt::CTRL | Qt::Key_V), [this] { PasteShareCode(); });
    QAction* random = window.AddMenuAction(TShellMenu::Outfit, QStringLiteral("&Random outfit"),
                                           QKeySequence(Qt::CTRL | Qt::Key_R), [this] { DressRandomly(); });
    window.Menu(TShellMenu::Outfit)->addSeparator();
    QAction* save =
        window.AddMenuAction(TShellMenu::Outfit, QStringLiteral("&Save outfit as..."),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), [this] { SaveOutfitAs(); });
    QMenu* outfitMenu = window.Menu(TShellMenu::Outfit);
    loadMenu_ = outfitMenu->addMenu(QStringLiteral("&Load outfit"));
    renameMenu_ = outfitMenu->addMenu(QStringLiteral("Re&name outfit"));
    deleteMenu_ = outfitMenu->addMenu(QStringLiteral("&Delete outfit"));
    // The named outfits as the file holds them now (another viewer may have changed it).
    connect(outfitMenu, &QMenu::aboutToShow, this, [this] {
        store_.Reload();
        RebuildNamedMenus();
    });
    RebuildNamedMenus();

    // Short labels on the tool bar: at the window's default size it holds
    // every one of its actions.
    window.AddToolBarAction(copy, QStringLiteral("Copy code"));
    window.AddToolBarAction(paste, QStringLiteral("Paste code"));
    window.AddToolBarAction(random, QStringLiteral("Random"));
    window.AddToolBarAction(save, QStringLiteral("Save outfit…"));
    for (QAction* action : {copy, paste, random}) window.ViewContextMenu()->addAction(action);
}

TOutfitMenu::~TOutfitMenu() = default;

// Only while the menu opens: an item's own handler must not delete it.
void TOutfitMenu::RebuildNamedMenus() {
    loadMenu_->clear();
    renameMenu_->clear();
    deleteMenu_->clear();
    const std::vector<TNamedOutfit> outfits = store_.Outfits();
    for (const TNamedOutfit& outfit : outfits) {
        const std::string name = outfit.Name;
        TForm1& form = window_.Form();
        connect(loadMenu_->addAction(MenuText(name)), &QAction::triggered, this,
                [this, name, &form] { form.Guarded([&] { LoadOutfit(name); }); });
        connect(renameMenu_->addAction(MenuText(name)), &QAction::triggered, this,
                [this, name, &form] { form.Guarded([&] { RenameOutfit(name); }); });
        connect(deleteMenu_->addAction(MenuText(name)), &QAction::triggered, this,
                [this, name, &form] { form.Guarded([&] { DeleteOutfit(name); }); });
    }
    for (QMenu* menu : {loadMenu_, renameMenu_, deleteMenu_}) menu->setEnabled(!outfits.empty());
}

void TOutfitMenu::ShowProblems(const std::vector<std::string>& problems) {
    QStringList lines;
    for (const std::string& problem : problems) lines << FromStd(problem);
    if (!lines.isEmpty()) window_.ShowStatus(lines.join(QLatin1Char(' ')));
}

void TOutfitMenu::RestoreLastOutfit() {
    const TStoredOutfit stored = ReadStoredOutfit(TIniFile(settingsFile_));
    std::vector<std::string> problems;
    if (stored.Outfit) problems = DressOutfit(window_.Form(), *stored.Outfit);
    if (!stored.Problem.empty()) problems.insert(problems.begin(), stored.Problem);
    if (stored.Pose) SetFormPose(window_.Form(), *stored.Pose);
    // And what of the outfits file could not be read.
    problems.insert(problems.end(), store_.Problems().begin(), store_.Problems().end());
    ShowProblems(problems);
}

void TOutfitMenu::StoreLastOutfit() {
    TIniFile settings(settingsFile_);
    WriteStoredOutfit(settings, CurrentOutfit(window_.Form()), FormPose(window_.Form()));
}

bool TOutfitMenu::Dress(const TOutfit& outfit) {
    const TDressProblems problems = DressOutfit(window_.Form(), outfit);
    ShowProblems(problems);
    return problems.empty();
}

bool TOutfitMenu::DressFromShareCode(const QString& code) {
    const TShareCodeResult result = DecodeShareCode(code.toStdString());
    if (!result.Outfit) {
        window_.ShowStatus(FromStd(result.Error));
        return false;
    }
    Dress(*result.Outfit);
    return true;
}

void TOutfitMenu::CopyShareCode() {
    const QString code = FromStd(EncodeShareCode(CurrentOutfit(window_.Form())));
    QGuiApplication::clipboard()->setText(code);
    window_.ShowStatus(QStringLiteral("Copied the share code %1").arg(code));
}

void TOutfitMenu::PasteShareCode() {
    const QString text = QGuiApplication::clipboard()->text();
    if (text.trimmed().isEmpty()) {
        window_.ShowStatus(QStringLiteral("The clipboard holds no share code."));
        return;
    }
    DressFromShareCode(text);
}

void TOutfitMenu::DressRandomly() {
    TForm1& form = window_.Form();
    Dress(RandomOutfit(form.cbModels->Text(), PartItems(form), [this] { return random_(); }));
}

void TOutfitMenu::SaveOutfitAs() {
    const QString title = QStringLiteral("Save outfit");
    std::optional<QString> answer = Prompts.AskText(title, QStringLiteral("Name of the outfit:"), QString());
    if (!answer) return;
    const std::string name = answer->trimmed().toStdString();
    store_.Reload();
    if (store_.Find(name) &&
        !Prompts.Confirm(title,
                         QStringLiteral("An outfit named \"%1\" exists. Replace it?").arg(FromStd(name))))
        return;
    try {
        store_.Save(name, CurrentOutfit(window_.Form()));
    } catch (const EOutfitStoreError& error) {
        Prompts.Warn(title, FromStd(error.what()));
        return;
    }
    window_.ShowStatus(QStringLiteral("Saved the outfit \"%1\".").arg(FromStd(name)));
}

void TOutfitMenu::LoadOutfit(const std::string& name) {
    store_.Reload();
    const std::optional<TOutfit> outfit = store_.Find(name);
    if (!outfit) {
        window_.ShowStatus(QStringLiteral("There is no outfit named \"%1\" any more.").arg(FromStd(name)));
        return;
    }
    if (Dress(*outfit)) window_.ShowStatus(QStringLiteral("Wearing the outfit \"%1\".").arg(FromStd(name)));
}

void TOutfitMenu::RenameOutfit(const std::string& name) {
    const QString title = QStringLiteral("Rename outfit");
    const std::optional<QString> answer =
        Prompts.AskText(title, QStringLiteral("New name of \"%1\":").arg(FromStd(name)), FromStd(name));
    if (!answer) return;
    try {
        store_.Rename(name, answer->trimmed().toStdString());
    } catch (const EOutfitStoreError& error) {
        Prompts.Warn(title, FromStd(error.what()));
    }
}

void TOutfitMenu::DeleteOutfit(const std::string& name) {
    const QString title = QStringLiteral("Delete outfit");
    if (!Prompts.Confirm(title, QStringLiteral("Delete the outfit \"%1\"?").arg(FromStd(name)))) return;
    try {
        store_.Remove(name);
    } catch (const EOutfitStoreError& error) {
        Prompts.Warn(title, FromStd(error.what()));
    }
}

}  // namespace wbx
