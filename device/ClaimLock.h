// The machine-wide claim of a device: an exclusive lock per device name.
//
// The lock's name is claimName(device): "LineDisplayTest.claim.<device>" for
// a short plain name, else a SHA-256 digest of the whole name, so that two
// distinct device names never share a lock however long they are. On Linux
// the lock is an abstract-namespace Unix socket of that name, bound and
// listened on by the holder. Binding succeeds for one holder on the whole
// machine at a time (a second instance in the same process is refused too),
// there is no file to tamper with, and the kernel frees it when the holding
// process ends, however it ends. On Windows the lock is the named kernel
// object "Global\\<name>": whoever creates it holds it (ClaimLockWin32.cpp),
// and the system destroys it when the last handle goes, however the holder
// ends. Not thread-safe; one owner.
//
// Such a name can be taken by any local user. Who holds it is told through
// the holder's credentials (the peer of a connection to it), so a claim
// squatted by another user, or bound by a process that does not even listen,
// is reported as such rather than as an ordinary wait for another console.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace device {

// The name of a device's lock (without the platform's prefix).
std::string claimName(std::string_view deviceName);
// The SHA-256 digest of the bytes, in lower-case hex.
std::string sha256Hex(std::string_view bytes);

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
    // Who holds the lock when it is not an ordinary holder (a process of this
    // user that listens, such as another console): "user NAME (uid N),
    // process P", or what can be told of a holder that does not listen;
    // empty otherwise.
    std::string foreignHolder() const;

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
