#pragma once
// The failure messages of one buffer class (vertex or index).

namespace wbx {

struct TKVBufferMessages {
    const char* Release;  // a release left references
    const char* Create;   // creation failed
    const char* Lock;     // lock failed
    const char* Unlock;   // unlock failed
};

}  // namespace wbx
