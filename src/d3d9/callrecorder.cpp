#include "d3d9/callrecorder.h"

#include <algorithm>

namespace wbx {

namespace {

std::shared_ptr<CallLog>& RecorderSlot() {
    static std::shared_ptr<CallLog> log;
    return log;
}

}  // namespace

std::vector<std::string> CallLog::Names() const {
    std::vector<std::string> names;
    names.reserve(records_.size());
    for (const CallRecord& record : records_) names.push_back(record.Name);
    return names;
}

std::vector<std::string> CallLog::Texts() const {
    std::vector<std::string> texts;
    texts.reserve(records_.size());
    for (const CallRecord& record : records_) texts.push_back(record.Text);
    return texts;
}

std::vector<CallRecord> CallLog::Filter(std::string_view name) const {
    std::vector<CallRecord> found;
    for (const CallRecord& record : records_) {
        if (record.Name == name) found.push_back(record);
    }
    return found;
}

size_t CallLog::Count(std::string_view name) const {
    return static_cast<size_t>(
        std::count_if(records_.begin(), records_.end(), [&](const CallRecord& r) { return r.Name == name; }));
}

std::vector<std::string> CallLog::NamesExcept(const std::vector<std::string>& ignored) const {
    std::vector<std::string> names;
    for (const CallRecord& record : records_) {
        if (std::find(ignored.begin(), ignored.end(), record.Name) == ignored.end())
            names.push_back(record.Name);
    }
    return names;
}

std::shared_ptr<CallLog> AttachCallLog(IDirect3DDevice9* device) {
    auto log = std::make_shared<CallLog>();
    if (!AttachCallLog(device, log)) return nullptr;
    return log;
}

void SetCallRecorder(std::shared_ptr<CallLog> log) { RecorderSlot() = std::move(log); }

std::shared_ptr<CallLog> CallRecorder() { return RecorderSlot(); }

}  // namespace wbx
