#pragma once
// What the registry of a device component needs of a registered object.
//
// Every object that makes Direct3D objects on the device, or sets device state
// that a new or reset device loses, derives from TKVResource, registers with
// TKorvane::RegisterResource in its constructor and unregisters with
// UnregisterResource in its destructor.
//
// Ownership: the caller that creates a resource owns it (std::unique_ptr) and
// must free it before the device component. A resource still registered when
// the component is destroyed is a leftover: the component traces it and
// deletes it through this base's virtual destructor. A leftover is therefore
// an object made with new that nobody owns any more (leaked, or released from
// its unique_ptr); an object whose owner still holds it when the component
// goes would be deleted twice.

#include <functional>

namespace wbx {

// A registry notification: a parameterless call bound to its object. Empty = not set.
using TKVNotify = std::function<void()>;

class TKVResource {
public:
    virtual ~TKVResource() = default;

protected:
    TKVResource() = default;
    TKVResource(const TKVResource&) = delete;
    TKVResource& operator=(const TKVResource&) = delete;
};

}  // namespace wbx
