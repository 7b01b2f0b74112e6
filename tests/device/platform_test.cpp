// The device layer's two platform seams, which have one implementation on
// Linux (abstract socket, iconv) and another on Windows (named kernel
// object, MultiByteToWideChar): both builds run these same cases, so the
// built-in control behaves alike on either.
#include "device/ClaimLock.h"
#include "model/CharacterSets.h"

#include <gtest/gtest.h>

#include <chrono>

using model::mapToCharacterSet;

TEST(CodePages, eachShowsItsOwnRepertoireAndAQuestionMarkForTheRest) {
    EXPECT_EQ(mapToCharacterSet(u"\u00e9\u20ac\u00df\u2591", 437), U"\u00e9?\u00df\u2591");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u00d8\u2591", 858), U"\u20ac\u00d8\u2591");
    EXPECT_EQ(mapToCharacterSet(u"\u00d8\u20ac", 850), U"\u00d8?");
    EXPECT_EQ(mapToCharacterSet(u"\u0142\u00e9\u00e8", 852), U"\u0142\u00e9?");
    EXPECT_EQ(mapToCharacterSet(u"\u0416\u00e9", 866), U"\u0416?");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u2591\u0178", 1252), U"\u20ac?\u0178");
    EXPECT_EQ(mapToCharacterSet(u"\u20ac\u2591", model::charSetAnsi), U"\u20ac?");
    EXPECT_EQ(mapToCharacterSet(u"A~\u00e9\u007f", model::charSetAscii), U"A~??");
    EXPECT_EQ(mapToCharacterSet(u"\u2591\U0001F600", model::charSetUnicode), U"\u2591\U0001F600");
    EXPECT_TRUE(model::knownCharacterSet(866));
    EXPECT_FALSE(model::knownCharacterSet(12345));
}

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
