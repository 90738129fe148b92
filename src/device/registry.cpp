// The resource registry of TKorvane (korvane.h states its rules).

#include <algorithm>

#include "base/format.h"
#include "device/korvane.h"

namespace wbx {

int32_t TKorvane::RegisterResource(TKVResource* resource, const std::string& className,
                                   const std::string& name, TKVNotify onRelease, TKVNotify onRebuild,
                                   TKVNotify onDeviceLost, TKVNotify onDeviceReset) {
    WriteDetailLog(
        Format("Korvaneリソース(%s)を登録します ID は %d(%s) です", className, NextResourceID, name));
    auto entry = std::make_unique<TKVResourceDesc>();
    entry->ID = NextResourceID;
    entry->Resource = resource;
    entry->ClassName = className;
    entry->OnRelease = std::move(onRelease);
    entry->OnRebuild = std::move(onRebuild);
    entry->OnDeviceLost = std::move(onDeviceLost);
    entry->OnDeviceReset = std::move(onDeviceReset);
    entry->Name = name;
    Resources.push_back(std::move(entry));
    return NextResourceID++;
}

void TKorvane::UnregisterResource(int32_t id) {
    const auto found =
        std::find_if(Resources.begin(), Resources.end(),
                     [id](const std::unique_ptr<TKVResourceDesc>& entry) { return entry->ID == id; });
    if (found == Resources.end()) {
        ReportError(
            Format("リストに入ってないKorvaneリソース(ID:%d)が、UnregisterResource手続きに渡されました", id));
        return;
    }
    WriteDetailLog(
        Format("Korvaneリソース(%s) : ID %d(%s) を登録解除します", (*found)->ClassName, id, (*found)->Name));
    Resources.erase(found);
}

void TKorvane::ReleaseAllResources() {
    WriteDetailLog("全てのKorvaneリソースを解放します");
    NotifyAll(&TKVResourceDesc::OnRelease);
}

void TKorvane::RebuildAllResources() {
    WriteDetailLog("全てのKorvaneリソースを再構築します");
    NotifyAll(&TKVResourceDesc::OnRebuild);
}

TKVResourceDesc* TKorvane::FindEntry(int32_t id) {
    for (const std::unique_ptr<TKVResourceDesc>& entry : Resources)
        if (entry->ID == id) return entry.get();
    return nullptr;
}

void TKorvane::NotifyAll(TKVNotify TKVResourceDesc::*notification) {
    // The entries of this moment, by ID: the list may change under the loop.
    std::vector<int32_t> ids;
    ids.reserve(Resources.size());
    for (const std::unique_ptr<TKVResourceDesc>& entry : Resources) ids.push_back(entry->ID);
    for (int32_t id : ids) {
        TKVResourceDesc* entry = FindEntry(id);
        if (entry == nullptr) continue;  // unregistered by an earlier notification
        // A copy: the notification may unregister its own entry and free the original.
        const TKVNotify notify = entry->*notification;
        if (notify) notify();
    }
}

void TKorvane::DestroyLeftovers() {
    while (!Resources.empty()) {
        const TKVResourceDesc& first = *Resources.front();
        const int32_t id = first.ID;
        TKVResource* const object = first.Resource;
        WriteDetailLog(Format("ID %d(%s) のKorvaneリソースは、明示的に解放されていません", id, first.Name));
        // Its destructor unregisters it, which removes the entry.
        delete object;
        // An entry that survived its object (no unregistering, or the same
        // object registered twice) would be deleted again or never leave the
        // list: report each and drop it.
        for (size_t i = 0; i < Resources.size();) {
            const TKVResourceDesc& entry = *Resources[i];
            if (entry.ID != id && (object == nullptr || entry.Resource != object)) {
                ++i;
                continue;
            }
            const int32_t staleId = entry.ID;
            const std::string staleName = entry.Name;
            Resources.erase(Resources.begin() + static_cast<std::ptrdiff_t>(i));
            ReportError(
                Format("ID %d(%s) のKorvaneリソースは、解放後も登録されたままです", staleId, staleName));
        }
    }
}

}  // namespace wbx
