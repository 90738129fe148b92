#include "viewer/itemsearch.h"

#include "asciicase.h"

namespace wbx {

void TItemSearch::SetItems(TPartList list, const std::vector<std::string>& items) {
    std::vector<std::string>& folded = folded_[static_cast<size_t>(list)];
    folded.clear();
    folded.reserve(items.size());
    for (const std::string& item : items) folded.push_back(AsciiLowerCase(item));
}

TItemMatches TItemSearch::Find(std::string_view query) const {
    const size_t first = query.find_first_not_of(' ');
    query = first == std::string_view::npos ? std::string_view() : query.substr(first);
    query = query.substr(0, query.find_last_not_of(' ') + 1);
    const std::string wanted = AsciiLowerCase(query);
    TItemMatches matches;
    for (size_t list = 0; list < folded_.size(); ++list) {
        const std::vector<std::string>& items = folded_[list];
        std::vector<int32_t>& found = matches.Items[list];
        for (size_t i = 0; i < items.size(); ++i) {
            const bool none = items[i] == kNoPartItem;
            if (wanted.empty() || (!none && items[i].find(wanted) != std::string::npos)) {
                found.push_back(static_cast<int32_t>(i));
                if (!none) ++matches.Count;
            }
        }
    }
    return matches;
}

}  // namespace wbx
