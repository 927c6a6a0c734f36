// The members driven the way the interface layer drives them, asserting success.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "automation_values.h"
#include "members/object_state.h"

namespace korvo::testing {

inline constexpr HRESULT kSemaphoreTimeout = static_cast<HRESULT>(0x80070079);
inline constexpr HRESULT kTooManyPosts = static_cast<HRESULT>(0x8007012A);

void AddOk(ObjectState& object, std::u16string_view key, LONG value);
void AddOk(ObjectState& object, std::u16string_view key, const VARIANT& item);
void AddText(ObjectState& object, std::u16string_view key, std::u16string_view text);
void RemoveOk(ObjectState& object, std::u16string_view key);
std::vector<std::u16string> KeysOf(ObjectState& object);
std::vector<LONG> ItemsOf(ObjectState& object);
LONG CountOf(ObjectState& object, std::u16string_view key);
LONG ItemsCountOf(ObjectState& object);
bool ExistsIn(ObjectState& object, std::u16string_view key);

void ConnectOk(ObjectState& object, std::u16string_view name);
void DisConnectOk(ObjectState& object);

// A store name no other test, and no other run of these tests, uses at the same time:
// semaphore names are machine-wide.
std::u16string UniqueStoreName(std::u16string_view label);

} // namespace korvo::testing
