#pragma once
// TWardrobeModel: the items of one part list as a grid's model. It mirrors the
// list's items ("なし" first, as the drop-down list holds it), shows those a
// search left (all by default), marks the item the figure wears, and holds the
// items' thumbnails as they arrive. A row asked for its picture before its
// thumbnail exists asks for one through NeedThumbnail.

#include <QAbstractListModel>
#include <QImage>
#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace wbx {

class TWardrobeModel : public QAbstractListModel {
public:
    // The thumbnail of the item is wanted (the view shows its row).
    std::function<void(int item)> NeedThumbnail;

    explicit TWardrobeModel(QObject* parent = nullptr);

    // The list's items; thumbnails and the filter are dropped.
    void SetItems(std::vector<std::string> items);
    // Shows only these items (ascending indices into the items).
    void SetFilter(const std::vector<int32_t>& shown);
    void ClearFilter();
    // The item the figure wears (-1: none), highlighted.
    void SetCurrent(int item);
    // The item's thumbnail (an empty image: it draws nothing); error, when not
    // empty, is a damaged file's message, shown as the row's tool tip.
    void SetThumbnail(int item, const QImage& image, const QString& error = {});
    // Forgets every thumbnail (the side shown changed).
    void ClearThumbnails();

    int ItemCount() const { return static_cast<int>(items_.size()); }
    const std::string& ItemText(int item) const { return items_[static_cast<size_t>(item)]; }
    int Current() const { return current_; }
    bool HasThumbnail(int item) const {
        return thumbnails_[static_cast<size_t>(item)].State != TState::Missing;
    }
    // The item shown in row (-1 outside), and the row showing item (-1: hidden).
    int ItemAt(int row) const;
    int RowOf(int item) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    enum class TState : uint8_t { Missing, Asked, Ready };
    struct TThumbnailSlot {
        TState State = TState::Missing;
        QImage Image;
        QString Error;
    };
    void RowChanged(int item);
    void ResetThumbnails();

    std::vector<std::string> items_;
    std::vector<int32_t> shown_;  // item of each row
    std::vector<int32_t> rowOf_;  // row of each item, -1 hidden
    mutable std::vector<TThumbnailSlot> thumbnails_;
    int current_ = -1;
    QImage blank_;  // the picture of a row whose thumbnail is not there yet
};

}  // namespace wbx
