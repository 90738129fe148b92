#include "app/wardrobemodel.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <numeric>

#include "viewer/partlists.h"
#include "viewer/thumbnail.h"

namespace wbx {

TWardrobeModel::TWardrobeModel(QObject* parent)
    : QAbstractListModel(parent), blank_(kThumbnailSize, kThumbnailSize, QImage::Format_ARGB32) {
    blank_.fill(Qt::transparent);
}

void TWardrobeModel::SetItems(std::vector<std::string> items) {
    beginResetModel();
    items_ = std::move(items);
    ResetThumbnails();
    if (current_ >= static_cast<int>(items_.size())) current_ = -1;
    shown_.resize(items_.size());
    std::iota(shown_.begin(), shown_.end(), 0);
    rowOf_ = shown_;
    endResetModel();
}

void TWardrobeModel::SetFilter(const std::vector<int32_t>& shown) {
    beginResetModel();
    shown_.clear();
    rowOf_.assign(items_.size(), -1);
    for (const int32_t item : shown) {
        if (item < 0 || item >= static_cast<int32_t>(items_.size())) continue;
        rowOf_[static_cast<size_t>(item)] = static_cast<int32_t>(shown_.size());
        shown_.push_back(item);
    }
    endResetModel();
}

void TWardrobeModel::ClearFilter() {
    std::vector<int32_t> all(items_.size());
    std::iota(all.begin(), all.end(), 0);
    SetFilter(all);
}

void TWardrobeModel::SetCurrent(int item) {
    if (item < -1 || item >= static_cast<int>(items_.size())) item = -1;
    if (item == current_) return;
    const int old = current_;
    current_ = item;
    RowChanged(old);
    RowChanged(current_);
}

void TWardrobeModel::SetThumbnail(int item, const QImage& image, const QString& error) {
    if (item < 0 || item >= static_cast<int>(items_.size())) return;
    TThumbnailSlot& slot = thumbnails_[static_cast<size_t>(item)];
    slot.State = TState::Ready;
    slot.Image = image;
    slot.Error = error;
    RowChanged(item);
}

void TWardrobeModel::ResetThumbnails() {
    thumbnails_.assign(items_.size(), {});
    // "なし" has no layers to show: its picture is the blank one, never asked for.
    for (size_t item = 0; item < items_.size(); ++item)
        if (items_[item] == kNoPartItem) thumbnails_[item].State = TState::Ready;
}

void TWardrobeModel::ClearThumbnails() {
    ResetThumbnails();
    if (!shown_.empty()) emit dataChanged(index(0), index(static_cast<int>(shown_.size()) - 1));
}

int TWardrobeModel::ItemAt(int row) const {
    return row >= 0 && row < static_cast<int>(shown_.size()) ? shown_[static_cast<size_t>(row)] : -1;
}

int TWardrobeModel::RowOf(int item) const {
    return item >= 0 && item < static_cast<int>(rowOf_.size()) ? rowOf_[static_cast<size_t>(item)] : -1;
}

void TWardrobeModel::RowChanged(int item) {
    const int row = RowOf(item);
    if (row >= 0) emit dataChanged(index(row), index(row));
}

int TWardrobeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

QVariant TWardrobeModel::data(const QModelIndex& index, int role) const {
    const int item = ItemAt(index.row());
    if (item < 0) return {};
    TThumbnailSlot& slot = thumbnails_[static_cast<size_t>(item)];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole:
            return QString::fromStdString(items_[static_cast<size_t>(item)]);
        case Qt::DecorationRole:
            if (slot.State == TState::Missing) {
                // Asked once; the view asks again for every repaint.
                slot.State = TState::Asked;
                if (NeedThumbnail) NeedThumbnail(item);
            }
            return slot.State == TState::Ready && !slot.Image.isNull() ? slot.Image : blank_;
        case Qt::ToolTipRole:
            return slot.Error.isEmpty() ? QString::fromStdString(items_[static_cast<size_t>(item)])
                                        : slot.Error;
        case Qt::FontRole:
            if (item == current_) {
                QFont bold = QApplication::font();
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::BackgroundRole:
            if (item == current_) {
                QColor highlight = QApplication::palette().color(QPalette::Highlight);
                highlight.setAlpha(90);
                return highlight;
            }
            return {};
        default:
            return {};
    }
}

}  // namespace wbx
