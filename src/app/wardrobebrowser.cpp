#include "app/wardrobebrowser.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "app/combobox.h"
#include "app/mainwindow.h"
#include "app/thumbnailloader.h"
#include "app/wardrobemodel.h"
#include "viewer/datafolder.h"

namespace wbx {
namespace {

constexpr int kCellWidth = kThumbnailSize + 36;  // room for an ID in bold
constexpr int kCellHeight = kThumbnailSize + 26;

// The thumbnail centred in a transparent square of the thumbnail size, so
// that every cell's picture and ID line up.
QImage ToImage(const TThumbnail& thumbnail) {
    if (thumbnail.Empty()) return {};
    const int side = std::max({kThumbnailSize, thumbnail.Width, thumbnail.Height});
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const int left = (side - thumbnail.Width) / 2, top = (side - thumbnail.Height) / 2;
    for (int y = 0; y < thumbnail.Height; ++y)
        std::memcpy(image.scanLine(top + y) + 4 * left,
                    thumbnail.Pixels.data() + static_cast<size_t>(y) * thumbnail.Width,
                    static_cast<size_t>(thumbnail.Width) * 4);
    return image;
}

// Every cell the same size, whatever its text and font: the grid's rows are
// laid out from one cell, and the worn item's bold ID must fit as well.
class TCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return QSize(kCellWidth - 4, kCellHeight - 4);
    }
};

// The grid of one list: Enter on an item picks it, as a click does.
class TWardrobeGrid : public QListView {
public:
    std::function<void(const QModelIndex&)> OnPick;

    explicit TWardrobeGrid(QWidget* parent) : QListView(parent) {
        setViewMode(QListView::IconMode);
        setMovement(QListView::Static);
        setResizeMode(QListView::Adjust);
        setWrapping(true);
        setUniformItemSizes(true);
        setLayoutMode(QListView::Batched);
        setBatchSize(500);
        setGridSize(QSize(kCellWidth, kCellHeight));
        setIconSize(QSize(kThumbnailSize, kThumbnailSize));
        setSelectionMode(QAbstractItemView::SingleSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setTextElideMode(Qt::ElideMiddle);
        setWordWrap(false);
        setItemDelegate(new TCellDelegate(this));
        // Room for three columns at least.
        setMinimumWidth(3 * kCellWidth + style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
        connect(this, &QListView::clicked, this, [this](const QModelIndex& index) { Pick(index); });
        connect(this, &QListView::doubleClicked, this, [this](const QModelIndex& index) { Pick(index); });
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
             event->key() == Qt::Key_Space) &&
            currentIndex().isValid()) {
            Pick(currentIndex());
            return;
        }
        QListView::keyPressEvent(event);
    }

private:
    void Pick(const QModelIndex& index) {
        if (index.isValid() && OnPick) OnPick(index);
    }
};

}  // namespace

const char* PartListTitle(TPartList list) {
    static constexpr std::array<const char*, kPartListCount> kTitles = {
        "Hair", "Body", "Upper", "Bottom", "Shoes", "Wear", "Face", "Costume", "Fashion", "Accessory"};
    return kTitles[static_cast<size_t>(list)];
}

TWardrobeBrowser::TWardrobeBrowser(const std::array<TComboBox*, kPartListCount>& lists,
                                   std::string avatarFolder, std::string cacheFolder, QWidget* parent)
    : QDockWidget(QStringLiteral("Wardrobe"), parent),
      lists_(lists),
      loader_(std::make_unique<TThumbnailLoader>(std::move(avatarFolder), std::move(cacheFolder))) {
    setObjectName(QStringLiteral("wardrobeBrowser"));
    toggleAction_ = toggleViewAction();
    toggleAction_->setText(QStringLiteral("&Wardrobe"));
    toggleAction_->setShortcut(QKeySequence(Qt::Key_F2));
    toggleAction_->setShortcutContext(Qt::ApplicationShortcut);
    searchAction_ = new QAction(QStringLiteral("&Find Item…"), this);
    searchAction_->setShortcut(QKeySequence::Find);
    searchAction_->setShortcutContext(Qt::ApplicationShortcut);
    connect(searchAction_, &QAction::triggered, this, [this] {
        Build();
        show();
        raise();
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });
    addAction(searchAction_);
}

void TWardrobeBrowser::showEvent(QShowEvent* event) {
    Build();
    QDockWidget::showEvent(event);
}

void TWardrobeBrowser::Build() const {
    if (built_) return;
    built_ = true;
    const_cast<TWardrobeBrowser*>(this)->BuildContents();
}

void TWardrobeBrowser::BuildContents() {
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* bar = new QHBoxLayout();
    searchField_ = new QLineEdit(body);
    searchField_->setPlaceholderText(QStringLiteral("Search by ID (Ctrl+F)"));
    searchField_->setClearButtonEnabled(true);
    countLabel_ = new QLabel(body);
    countLabel_->setMinimumWidth(80);
    backSwitch_ = new QCheckBox(QStringLiteral("&Back"), body);
    backSwitch_->setToolTip(QStringLiteral("Show the back layers in the thumbnails"));
    bar->addWidget(searchField_, 1);
    bar->addWidget(countLabel_);
    bar->addWidget(backSwitch_);
    layout->addLayout(bar);

    tabs_ = new QTabWidget(body);
    tabs_->setUsesScrollButtons(true);
    tabs_->setDocumentMode(true);
    for (int i = 0; i < kPartListCount; ++i) {
        const TPartList list = static_cast<TPartList>(i);
        auto* model = new TWardrobeModel(this);
        auto* grid = new TWardrobeGrid(tabs_);
        grid->setModel(model);
        grid->setObjectName(QString::fromLatin1(PartListTitle(list)).toLower());
        models_[static_cast<size_t>(i)] = model;
        grids_[static_cast<size_t>(i)] = grid;
        model->NeedThumbnail = [this, list](int item) {
            loader_->Request({list, Model(list).ItemText(item), side_, item}, true);
            UpdateProgress();
        };
        grid->OnPick = [this, list](const QModelIndex& index) {
            Pick(list, Model(list).ItemAt(index.row()));
        };
        tabs_->addTab(grid, QString::fromLatin1(PartListTitle(list)));
        TComboBox* combo = lists_[static_cast<size_t>(i)];
        connect(combo, &QComboBox::currentIndexChanged, this, [this, list](int index) {
            Model(list).SetCurrent(index);
            const int row = Model(list).RowOf(index);
            if (row >= 0) Grid(list).scrollTo(Model(list).index(row));
        });
    }
    layout->addWidget(tabs_, 1);

    progress_ = new QProgressBar(body);
    progress_->setTextVisible(true);
    progress_->setFormat(QStringLiteral("Thumbnails %v / %m"));
    progress_->setMaximumHeight(16);
    progress_->hide();
    layout->addWidget(progress_);
    setWidget(body);

    loader_->OnReady = [this](const TThumbnailRequest& request, const TThumbnailResult& result) {
        if (request.Side != side_) return;
        TWardrobeModel& model = Model(request.List);
        // Unless the lists were read again meanwhile and the place holds another item.
        if (request.Index >= model.ItemCount() || model.ItemText(request.Index) != request.Item) return;
        model.SetThumbnail(request.Index, ToImage(result.Thumbnail), QString::fromStdString(result.Error));
    };
    loader_->OnProgress = [this] { UpdateProgress(); };

    connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) { Search(text); });
    connect(searchField_, &QLineEdit::returnPressed, this, [this] { FocusGrid(); });
    // Escape clears the search, then goes back to the grid.
    searchField_->installEventFilter(this);
    connect(backSwitch_, &QCheckBox::toggled, this,
            [this](bool back) { SetSide(back ? TThumbnailSide::Back : TThumbnailSide::Front); });
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int) {
        if (isVisible()) RequestAll(ShownList());
    });
    connect(this, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) RequestAll(ShownList());
    });

    Reload();
}

TWardrobeBrowser::~TWardrobeBrowser() {
    // The workers go before the models they deliver to.
    loader_.reset();
}

bool TWardrobeBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == searchField_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        if (searchField_->text().isEmpty())
            FocusGrid();
        else
            searchField_->clear();
        return true;
    }
    return QDockWidget::eventFilter(watched, event);
}

void TWardrobeBrowser::Reload() {
    if (!built_) return;  // read when built
    loader_->Cancel();
    for (int i = 0; i < kPartListCount; ++i) {
        const TPartList list = static_cast<TPartList>(i);
        TComboBox* combo = lists_[static_cast<size_t>(i)];
        std::vector<std::string> items;
        items.reserve(static_cast<size_t>(combo->count()));
        for (int index = 0; index < combo->count(); ++index)
            items.push_back(combo->itemText(index).toStdString());
        search_.SetItems(list, items);
        Model(list).SetItems(std::move(items));
        Model(list).SetCurrent(combo->currentIndex());
    }
    Search(searchField_->text());
}

void TWardrobeBrowser::Pick(TPartList list, int item) {
    TComboBox* combo = lists_[static_cast<size_t>(list)];
    if (item < 0 || item >= combo->count()) return;
    // A pick of what is worn already changes nothing, as in the drop-down list
    // it would only compose the same textures again.
    if (combo->currentIndex() == item) return;
    combo->setCurrentIndex(item);
    if (combo->OnSelect) combo->OnSelect(combo);
}

void TWardrobeBrowser::ShowList(TPartList list) {
    Build();
    tabs_->setCurrentIndex(static_cast<int>(list));
}

TPartList TWardrobeBrowser::ShownList() const {
    Build();
    return static_cast<TPartList>(std::max(0, tabs_->currentIndex()));
}

size_t TWardrobeBrowser::Search(const QString& query) {
    Build();
    if (searchField_->text() != query) {
        searchField_->setText(query);  // comes back here through textChanged
        return search_.Find(query.toStdString()).Count;
    }
    const TItemMatches matches = search_.Find(query.toStdString());
    for (int i = 0; i < kPartListCount; ++i) {
        const TPartList list = static_cast<TPartList>(i);
        if (query.trimmed().isEmpty())
            Model(list).ClearFilter();
        else
            Model(list).SetFilter(matches.Items[static_cast<size_t>(i)]);
        const int row = Model(list).RowOf(Model(list).Current());
        if (row >= 0) Grid(list).setCurrentIndex(Model(list).index(row));
    }
    UpdateTabTitles(matches);
    countLabel_->setText(query.trimmed().isEmpty()
                             ? QStringLiteral("%1 items").arg(matches.Count)
                             : (matches.Count == 1 ? QStringLiteral("1 match")
                                                   : QStringLiteral("%1 matches").arg(matches.Count)));
    // A search that leaves the tab shown empty goes to the first that is not.
    if (!query.trimmed().isEmpty() && matches.Items[static_cast<size_t>(ShownList())].empty()) {
        for (int i = 0; i < kPartListCount; ++i) {
            if (!matches.Items[static_cast<size_t>(i)].empty()) {
                ShowList(static_cast<TPartList>(i));
                break;
            }
        }
    }
    return matches.Count;
}

void TWardrobeBrowser::SetSide(TThumbnailSide side) {
    Build();
    if (backSwitch_->isChecked() != (side == TThumbnailSide::Back)) {
        backSwitch_->setChecked(side == TThumbnailSide::Back);  // comes back here through toggled
        return;
    }
    if (side == side_) return;
    side_ = side;
    loader_->Cancel();
    for (TWardrobeModel* model : models_) model->ClearThumbnails();
    if (isVisible()) RequestAll(ShownList());
}

void TWardrobeBrowser::RequestAll(TPartList list) {
    TWardrobeModel& model = Model(list);
    for (int row = 0; row < model.rowCount(); ++row) {
        const int item = model.ItemAt(row);
        if (!model.HasThumbnail(item)) loader_->Request({list, model.ItemText(item), side_, item});
    }
    UpdateProgress();
}

void TWardrobeBrowser::UpdateProgress() {
    const int requested = loader_->Requested();
    if (requested <= 0 || !loader_->Busy()) {
        progress_->hide();
        return;
    }
    progress_->setMaximum(requested);
    progress_->setValue(loader_->Delivered());
    progress_->show();
}

void TWardrobeBrowser::UpdateTabTitles(const TItemMatches& matches) {
    const bool filtered = !searchField_->text().trimmed().isEmpty();
    for (int i = 0; i < kPartListCount; ++i) {
        const QString title = QString::fromLatin1(PartListTitle(static_cast<TPartList>(i)));
        tabs_->setTabText(i, filtered ? QStringLiteral("%1 (%2)").arg(title).arg(
                                            matches.Items[static_cast<size_t>(i)].size())
                                      : title);
    }
}

void TWardrobeBrowser::FocusGrid() {
    QListView& grid = Grid(ShownList());
    grid.setFocus(Qt::OtherFocusReason);
    if (!grid.currentIndex().isValid() && grid.model()->rowCount() > 0)
        grid.setCurrentIndex(grid.model()->index(0, 0));
}

TWardrobeBrowser* InstallWardrobeBrowser(TMainWindow& window, const std::string& cacheFolder) {
    std::array<TComboBox*, kPartListCount> lists{};
    for (int i = 0; i < kPartListCount; ++i)
        lists[static_cast<size_t>(i)] = window.Form().PartCombo(static_cast<TPartList>(i));
    auto* browser = new TWardrobeBrowser(lists, AvatarPath, cacheFolder, &window);
    window.AddDock(browser, Qt::RightDockWidgetArea, QKeySequence(Qt::Key_F2));
    // The window's menu holds the search item; the browser's own action would
    // answer the same keys twice.
    browser->removeAction(browser->SearchAction());
    window.AddMenuAction(TShellMenu::View, QStringLiteral("&Find Item…"), QKeySequence::Find,
                         [browser] { browser->SearchAction()->trigger(); });
    return browser;
}

}  // namespace wbx
