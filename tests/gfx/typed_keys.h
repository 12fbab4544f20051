// Keys typed on the X display with xdotool and the codes they put into the key buffer: one table
// for the Windows window under Wine and the native X11 window, which must agree.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct typed_key {
    const char* keys; // xdotool key's argument
    int32_t codes[2]; // what the key buffer then holds, in order; 0 ends a shorter list
};

constexpr typed_key typed_keys[] = {
    {"space", {32}},       {"Escape", {27}},       {"a", {'a'}},        {"shift+a", {'A'}},
    {"ctrl+a", {1}},       {"Return", {13}},       {"Left", {0x4BFF}},  {"Right", {0x4DFF}},
    {"Up", {0x48FF}},      {"Down", {0x50FF}},     {"Home", {0x47FF}},  {"Delete", {0x53FF}},
    {"F1", {0x3BFF}},      {"shift+F1", {0x54FF}}, {"F10", {0x44FF}},   {"KP_Add", {'+'}},
    {"KP_Home", {0x47FF}}, {"KP_Enter", {13}},     {"alt+x", {0x2DFF}},
};

// Types every key of the table, one at a time, with type(xdotool arguments) and compares what
// take() then gives with the table.
template <typename Type, typename Take> void expect_typed_keys(Type type, Take take) {
    for (const typed_key& key : typed_keys) {
        take();
        type(std::string("key ") + key.keys);
        std::vector<int32_t> expected;
        for (int32_t code : key.codes)
            if (code != 0) expected.push_back(code);
        EXPECT_EQ(take(), expected) << key.keys;
    }
}
