// The device layer's two platform seams, which have one implementation on
// Linux (abstract socket, iconv) and another on Windows (named kernel
// object, MultiByteToWideChar): both builds run these same cases, so the
// built-in control behaves alike on either.
#include "device/ClaimLock.h"
#include "model/CharacterSets.h"

#include <gtest/gtest.h>

#include <chrono>

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
