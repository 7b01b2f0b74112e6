// The claim on Windows: a named mutex used as a name, not as a mutex. The one
// whose CreateMutex makes the object holds the lock; a second CreateMutex,
// from any process or thread, finds it existing and gives its handle back.
// Ownership is never taken, so the lock is not tied to a thread.
//
// Limit: a handle that a refused attempt or a probe holds for a moment keeps
// a just-released object alive, so an attempt at that same moment is refused
// once more; acquireWithin simply tries again. Two holders are impossible.
#include "device/ClaimLock.h"

#include <windows.h>

namespace device {

ClaimLock::ClaimLock(std::string_view deviceName) : name_(L"Global\\") {
    // claimName gives printable ASCII without a backslash.
    for (const char ch : claimName(deviceName)) name_.push_back(static_cast<wchar_t>(ch));
}

ClaimLock::~ClaimLock() { release(); }

bool ClaimLock::held() const { return handle_ != nullptr; }

bool ClaimLock::tryAcquire() {
    if (handle_) return true;
    HANDLE object = ::CreateMutexW(nullptr, FALSE, name_.c_str());
    if (!object) return false;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(object);
        return false;
    }
    handle_ = object;
    return true;
}

void ClaimLock::release() {
    if (handle_) {
        ::CloseHandle(handle_);
        handle_ = nullptr;
    }
}

bool ClaimLock::heldElsewhere() const {
    if (handle_) return false;
    HANDLE object = ::OpenMutexW(SYNCHRONIZE, FALSE, name_.c_str());
    if (!object) return false;
    ::CloseHandle(object);
    return true;
}

// A kernel object tells nothing of its creator to an opener.
std::string ClaimLock::foreignHolder() const { return {}; }

}  // namespace device
