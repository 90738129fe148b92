#include "viewer/slotnames.h"

#include <algorithm>
#include <numeric>
#include <optional>
#include <tuple>

#include "asciicase.h"
#include "viewer/datafolder.h"

namespace wbx {

namespace {

// The edit distances from a to each beginning of b: entry j is the fewest
// edits that turn a into b's first j characters.
std::vector<size_t> EditDistances(const std::string& a, const std::string& b) {
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
    return row;
}

// How well a candidate fits a typed name: a lower rank is a better fit.
struct TFit {
    int Kind = 0;  // 0 starts with it, 1 contains it, 2 near it
    size_t Distance = 0;
};

std::optional<TFit> FitOf(const std::string& wanted, const std::string& candidate) {
    if (!wanted.empty()) {
        const size_t at = AsciiLowerCase(candidate).find(AsciiLowerCase(wanted));
        if (at == 0) return TFit{0, 0};
        if (at != std::string::npos) return TFit{1, 0};
    }
    const std::vector<size_t> row = EditDistances(wanted, candidate);
    const size_t whole = row.back();
    // A name typed with a slip before it was finished ("Wintr" for "Winter
    // coat") is near the name's beginning; one edit in four typed letters is
    // allowed there, so that short words do not match every name.
    const size_t beginning = *std::min_element(row.begin(), row.end());
    const bool nearWhole = whole * 2 <= std::max(wanted.size(), candidate.size());
    const bool nearBeginning = !wanted.empty() && beginning * 4 <= wanted.size();
    if (!nearWhole && !nearBeginning) return std::nullopt;
    return TFit{2, nearBeginning ? std::min(whole, beginning) : whole};
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

std::vector<TStringList> SlotItems(const std::vector<TPartList>& lists) {
    std::vector<std::string> masks;
    for (const TPartList list : lists) masks.emplace_back(kPartLists[static_cast<size_t>(list)].Mask);
    std::vector<TStringList> items(lists.size());
    EnumerateFilesForMasks(AvatarPath, masks, items, AddFilePrefix);
    return items;
}

TPartSelection StartSelection() {
    std::vector<TPartList> lists;
    for (int list = 0; list < kPartListCount; ++list)
        if (kPartLists[static_cast<size_t>(list)].SelectFirstFile)
            lists.push_back(static_cast<TPartList>(list));
    const std::vector<TStringList> items = SlotItems(lists);
    TPartSelection selection;
    for (size_t i = 0; i < lists.size(); ++i)
        if (!items[i].empty()) selection[static_cast<size_t>(lists[i])] = items[i].front();
    return selection;
}

std::vector<std::string> ClosestNames(const std::string& wanted, const std::vector<std::string>& candidates,
                                      size_t count) {
    std::vector<std::pair<TFit, size_t>> ranked;  // fit, index
    for (size_t i = 0; i < candidates.size(); ++i)
        if (const std::optional<TFit> fit = FitOf(wanted, candidates[i])) ranked.emplace_back(*fit, i);
    std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) {
        return std::tie(a.first.Kind, a.first.Distance) < std::tie(b.first.Kind, b.first.Distance);
    });
    std::vector<std::string> result;
    for (size_t i = 0; i < ranked.size() && i < count; ++i) result.push_back(candidates[ranked[i].second]);
    return result;
}

std::string WithClosestNames(std::string message, const std::string& wanted,
                             const std::vector<std::string>& candidates) {
    const std::vector<std::string> closest = ClosestNames(wanted, candidates);
    for (size_t i = 0; i < closest.size(); ++i) message += (i == 0 ? " (closest: " : ", ") + closest[i];
    if (!closest.empty()) message += ")";
    return message;
}

}  // namespace wbx
