#include "viewer/slotnames.h"

#include <algorithm>
#include <numeric>

#include "asciicase.h"
#include "viewer/datafolder.h"

namespace wbx {

namespace {

size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), size_t{0});
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const bool same = AsciiLower(a[i - 1]) == AsciiLower(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::vector<std::string> SlotNames() {
    std::vector<std::string> names;
    for (int list = 0; list < kPartListCount; ++list)
        names.emplace_back(SlotName(static_cast<TPartList>(list)));
    return names;
}

std::vector<std::string> BodyTypeNames() {
    std::vector<std::string> names;
    for (int type = 1; type <= kBodyTypeCount; ++type) names.push_back("type" + std::to_string(type));
    return names;
}

TStringList SlotItems(TPartList list) {
    TStringList items;
    EnumerateFiles(AvatarPath, kPartLists[static_cast<size_t>(list)].Mask, items, AddFilePrefix);
    return items;
}

TPartSelection StartSelection() {
    TPartSelection selection;
    for (int list = 0; list < kPartListCount; ++list) {
        if (!kPartLists[static_cast<size_t>(list)].SelectFirstFile) continue;
        const TStringList items = SlotItems(static_cast<TPartList>(list));
        if (!items.empty()) selection[static_cast<size_t>(list)] = items.front();
    }
    return selection;
}

std::vector<std::string> ClosestNames(const std::string& wanted, const std::vector<std::string>& candidates,
                                      size_t count) {
    std::vector<std::pair<size_t, size_t>> ranked;  // distance, index
    for (size_t i = 0; i < candidates.size(); ++i) {
        const size_t distance = EditDistance(wanted, candidates[i]);
        if (distance * 2 <= std::max(wanted.size(), candidates[i].size())) ranked.emplace_back(distance, i);
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> result;
    for (size_t i = 0; i < ranked.size() && i < count; ++i) result.push_back(candidates[ranked[i].second]);
    return result;
}

}  // namespace wbx
