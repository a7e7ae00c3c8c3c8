// Checks on printed text that show the whole text when they fail.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace testtext {

// EXPECT_TRUE(has(out, "line\n")): `out` holds `part` somewhere.
inline ::testing::AssertionResult has(std::string_view text, std::string_view part) {
    if (text.find(part) != std::string_view::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

}  // namespace testtext
