// The machine-wide claim of a device: an exclusive lock per device name.
//
// The lock is a Linux abstract-namespace Unix socket bound to the name
// "LineDisplayTest.claim.<device>". Binding succeeds for one holder on the
// whole machine at a time (a second instance in the same process is refused
// too), there is no file to tamper with, and the kernel frees it when the
// holding process ends, however it ends. On Windows the lock is the named
// kernel object "Global\\LineDisplayTest.claim.<device>": whoever creates it
// holds it (ClaimLockWin32.cpp), and the system destroys it when the last
// handle goes, however the holder ends. Not thread-safe; one owner.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace device {

class ClaimLock {
public:
    explicit ClaimLock(std::string_view deviceName);
    ~ClaimLock();
    ClaimLock(const ClaimLock&) = delete;
    ClaimLock& operator=(const ClaimLock&) = delete;

    // Tries to take the lock once; true when held afterwards.
    bool tryAcquire();
    // Tries until the lock is taken or the timeout has passed (negative:
    // forever), polling; true when held.
    bool acquireWithin(std::chrono::milliseconds timeout);
    // Gives the lock up; does nothing if it is not held.
    void release();
    bool held() const;
    // Whether someone else holds the lock now; asks without ever taking it.
    bool heldElsewhere() const;

private:
#ifdef _WIN32
    std::wstring name_;       // the kernel object's name
    void* handle_ = nullptr;  // the object this lock created, while held
#else
    std::string address_;  // the abstract socket name, starting with '\0'
    int fd_ = -1;
#endif
};

}  // namespace device
