// Who a process is, well enough to tell it from a later process that got its id: the id and
// a hash of its start time. A cross-process lock records its holder this way, so that a
// waiter can tell a holder that died from one that is merely slow.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace korvo {

struct ProcessIdentity {
    DWORD id = 0;
    std::uint32_t startHash = 0;

    bool operator==(const ProcessIdentity&) const = default;
};

ProcessIdentity CurrentProcessIdentity() noexcept;

// True only when the process is certainly gone: no process has the id, or the one that has
// it started at another time, or it has ended. A process that cannot be asked (another
// user's) counts as alive.
bool ProcessIsGone(const ProcessIdentity& process) noexcept;

// Both halves in one 64-bit word (0 is no process), for a record changed atomically.
constexpr std::uint64_t PackProcess(const ProcessIdentity& process) noexcept
{
    return (std::uint64_t{process.id} << 32) | process.startHash;
}
constexpr ProcessIdentity UnpackProcess(std::uint64_t packed) noexcept
{
    return {static_cast<DWORD>(packed >> 32), static_cast<std::uint32_t>(packed)};
}

} // namespace korvo
