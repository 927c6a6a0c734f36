// What the stress driver needs of its process: children that run this same program with
// other arguments, the working set, and paths as the platform's file functions take them.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace korvo::stress {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments);
    ChildProcess(ChildProcess&&) noexcept;
    ChildProcess& operator=(ChildProcess&&) noexcept;
    ~ChildProcess(); // a child still running is killed and reaped

    bool Started() const;
    // The exit code; -1 when it cannot be had.
    int Wait();

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

// The bytes of the process's memory that are resident now.
std::size_t WorkingSetBytes();

// A Unix path as Windows under Wine takes it (drive Z: is the Unix root); unchanged natively.
std::string PlatformPath(const std::string& path);

} // namespace korvo::stress
