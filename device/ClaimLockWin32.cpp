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

ClaimLock::ClaimLock(std::string_view deviceName) : name_(L"Global\\LineDisplayTest.claim.") {
    // Device names are ASCII; anything else becomes '_' (a kernel object
    // name may not hold a backslash either).
    for (const char ch : deviceName) {
        const auto byte = static_cast<unsigned char>(ch);
        name_.push_back(byte >= 0x20 && byte < 0x7F && ch != '\\' ? static_cast<wchar_t>(ch) : L'_');
    }
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

}  // namespace device
