// The device layer's two platform seams, which have one implementation on
// Linux (abstract socket, iconv) and another on Windows (named kernel
// object, MultiByteToWideChar): both builds run these same cases, so the
// built-in control behaves alike on either.
#include "device/ClaimLock.h"
#include "model/CharacterSets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

TEST(Claim, oneHolderPerNameAndOthersSeeItWithoutTakingIt) {
    device::ClaimLock first("PlatformTestDisplay"), second("PlatformTestDisplay"), other("PlatformTestOther");
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_TRUE(first.held());
    EXPECT_FALSE(first.heldElsewhere());
    EXPECT_FALSE(second.tryAcquire());
    EXPECT_FALSE(second.acquireWithin(std::chrono::milliseconds(60)));
    EXPECT_TRUE(second.heldElsewhere());
    EXPECT_TRUE(second.heldElsewhere());  // asking twice takes nothing
    EXPECT_TRUE(other.tryAcquire());
    first.release();
    EXPECT_FALSE(first.held());
    EXPECT_FALSE(second.heldElsewhere());
    EXPECT_TRUE(second.acquireWithin(std::chrono::milliseconds(1000)));
    EXPECT_TRUE(first.heldElsewhere());
}

TEST(Claim, longNamesAreHashedWholeSoDistinctNamesNeverShareALock) {
    EXPECT_EQ(device::sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(device::sha256Hex(std::string(1000, 'a')),
        "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3");
    EXPECT_EQ(device::claimName("TQN730"), "LineDisplayTest.claim.TQN730");
    const std::string stem(200, 'P');
    device::ClaimLock first(stem + "1"), second(stem + "2"), again(stem + "1"), spaced("Kasse 1"),
        other("Kasse_1");
    ASSERT_TRUE(first.tryAcquire());
    EXPECT_TRUE(second.tryAcquire());
    EXPECT_FALSE(again.tryAcquire());
    EXPECT_TRUE(spaced.tryAcquire());
    EXPECT_TRUE(other.tryAcquire());
}
