#pragma once
// Recording of device calls, so that tests of every layer can assert what was
// sent to Direct3D and in which order ("the second frame with the same blend
// mode and texture sends only SetTransform, SetMaterial and the draw") without
// reading pixels.
//
// A CallLog is shared between its holders (std::shared_ptr): a device keeps
// recording into it for as long as it is attached, and a test may keep reading
// it after the device is gone. Two ways to attach one:
//   - AttachCallLog(device): record one existing device's calls.
//   - SetCallRecorder(log): every device created afterwards (by any
//     IDirect3D9::CreateDevice of this process) records into log, and so does
//     every IDirect3D9 call (GetDeviceCaps, CheckDepthStencilMatch,
//     CheckDeviceFormat, CreateDevice, ...) made while it is set. This serves
//     tests of layers that create their devices themselves. SetCallRecorder
//     (nullptr) stops the recording of new devices and IDirect3D9 calls;
//     devices created meanwhile keep recording until AttachCallLog(device,
//     nullptr) or their end.
// Recording costs nothing while no log is attached: the device tests one
// pointer per call. A log is meant for one thread (the device's); it takes no
// locks.
//
// Every IDirect3DDevice9 operation except AddRef and Release is recorded, in
// call order, failed calls included (Result holds the answer).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "d3d9/d3d9types.h"

class IDirect3DDevice9;

namespace wbx {

struct CallRecord {
    // The operation, e.g. "SetRenderState".
    std::string Name;
    // Integer arguments in order: enumerations, flags, counts, DWORD values.
    // An interface argument is its object's serial number (ObjectSerial,
    // d3d9/devicecontrol.h), 0 for none.
    std::vector<int64_t> Ints;
    // Floating-point arguments in order: Clear's Z, the 16 elements of a
    // matrix (row by row), colours and scalars of materials, lights, viewports.
    std::vector<double> Floats;
    // Readable form, e.g. "SetRenderState(D3DRS_ZENABLE, 1)".
    std::string Text;
    // What the call answered.
    HRESULT Result = D3D_OK;
};

class CallLog {
public:
    void Add(CallRecord record) { records_.push_back(std::move(record)); }
    void Clear() { records_.clear(); }

    size_t Size() const { return records_.size(); }
    bool Empty() const { return records_.empty(); }
    const std::vector<CallRecord>& Records() const { return records_; }
    const CallRecord& operator[](size_t index) const { return records_[index]; }

    std::vector<std::string> Names() const;                       // the operation names, in order
    std::vector<std::string> Texts() const;                       // the readable forms, in order
    std::vector<CallRecord> Filter(std::string_view name) const;  // records of one operation, in order
    size_t Count(std::string_view name) const;
    // Names without the ones listed, e.g. to ignore Get* calls in a sequence.
    std::vector<std::string> NamesExcept(const std::vector<std::string>& ignored) const;

private:
    std::vector<CallRecord> records_;
};

// Records the calls of one existing device into log (replacing any log it had);
// nullptr detaches. Returns false when device is not one of our devices.
bool AttachCallLog(IDirect3DDevice9* device, std::shared_ptr<CallLog> log);
// Convenience: attaches and returns a new log.
std::shared_ptr<CallLog> AttachCallLog(IDirect3DDevice9* device);

// The log every device created from now on records into (nullptr: none).
void SetCallRecorder(std::shared_ptr<CallLog> log);
std::shared_ptr<CallLog> CallRecorder();

}  // namespace wbx
