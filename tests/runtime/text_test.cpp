#include "runtime/key_input.h"
#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Text, TemporaryCarriesBit31AndATerminatedCopy) {
    text* t = text_make("abc", 3);
    EXPECT_TRUE(text_is_temporary(t));
    EXPECT_EQ(text_length(t), 3u);
    EXPECT_STREQ(t->data, "abc");
    text_release(t);
    EXPECT_EQ(text_pool_in_use(), 0);
}

TEST(Text, AssigningATemporaryMovesItsBufferAndReturnsTheRecord) {
    text variable{};
    text* t = text_make("key", 3);
    char* buffer = t->data;
    EXPECT_EQ(text_assign(&variable, t), 0);
    EXPECT_EQ(variable.data, buffer);
    EXPECT_EQ(variable.length, 3u);
    EXPECT_FALSE(text_is_temporary(&variable));
    EXPECT_EQ(text_pool_in_use(), 0);
    text_free(&variable);
}

TEST(Text, AssigningAVariableCopies) {
    text a{}, b{};
    text_assign(&a, text_make("xy", 2));
    text_assign(&b, &a);
    EXPECT_NE(a.data, b.data);
    EXPECT_STREQ(b.data, "xy");
    text_free(&a);
    text_free(&b);
}

TEST(Text, ExhaustedPoolYieldsTheEmptyText) {
    text* taken[text_pool_size];
    for (auto& t : taken) t = text_make("a", 1);
    text* extra = text_make("b", 1);
    EXPECT_EQ(extra, text_empty());
    EXPECT_EQ(text_length(extra), 0u);
    text_release(extra); // not a temporary: nothing happens
    for (auto* t : taken) text_release(t);
    EXPECT_EQ(text_pool_in_use(), 0);
}

TEST(TextCompare, OrdersByUnsignedBytesThenLength) {
    text a{};
    text_assign(&a, text_make("ab", 2));
    EXPECT_EQ(text_compare(&a, "ab"), 0);
    EXPECT_EQ(text_compare(&a, "a"), 1);
    EXPECT_EQ(text_compare(&a, "abc"), -1);
    EXPECT_EQ(text_compare(&a, "b"), -1);
    EXPECT_EQ(text_compare(&a, "\xff"), -1); // 0xFF sorts after 'a' as an unsigned byte
    EXPECT_EQ(text_compare(nullptr, ""), 0);
    text_free(&a);
}

TEST(TextCompare, ReleasesTemporariesButNotVariables) {
    text v{};
    text_assign(&v, text_make(" ", 1));
    EXPECT_EQ(text_compare(&v, " "), 0);
    EXPECT_EQ(text_compare(&v, " "), 0); // the same variable twice: still there
    EXPECT_EQ(text_compare(text_make(" ", 1), &v), 0);
    EXPECT_EQ(text_compare(text_make("", 0), " "), -1); // empty vs space
    EXPECT_EQ(text_pool_in_use(), 0);
    text_free(&v);
}

TEST(TextCompare, ExtendedKeyTextNeverEqualsAOneCharacterLiteral) {
    const char close[2] = {static_cast<char>(0xFF), 'k'};
    EXPECT_NE(text_compare(text_make(close, 2), "\xff"), 0);
    EXPECT_NE(text_compare(text_make(close, 2), "k"), 0);
    EXPECT_EQ(text_pool_in_use(), 0);
}

} // namespace
