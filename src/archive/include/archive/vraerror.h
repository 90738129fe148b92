#pragma once
// EVRAError: everything the archive reader refuses (not an archive, an ID
// that is not there, damaged directory or packed data). Stream failures
// (a file that cannot be opened or read) keep their own exception classes.

#include "base/exception.h"

namespace wbx {

class EVRAError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace wbx
