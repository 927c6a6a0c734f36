// Owning wrapper of a CRITICAL_SECTION and a scoped guard that holds it.
#pragma once

#include "platform/platform.h"

namespace korvo {

// Initialised on construction, deleted on destruction. It never moves: an initialised
// CRITICAL_SECTION must stay at the address it was initialised at.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    CRITICAL_SECTION* Native() { return &section_; }

private:
    CRITICAL_SECTION section_;
};

// Enters the section for the guard's lifetime. Sections are recursive, so a guard may be
// taken again on the same thread.
class SectionGuard {
public:
    explicit SectionGuard(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
    explicit SectionGuard(CriticalSection& section) : SectionGuard(section.Native()) {}
    ~SectionGuard() { LeaveCriticalSection(section_); }
    SectionGuard(const SectionGuard&) = delete;
    SectionGuard& operator=(const SectionGuard&) = delete;

private:
    CRITICAL_SECTION* section_;
};

} // namespace korvo
