// Runs one test of this test executable in a child process, for behaviour that spans
// processes. The child finds its argument with ChildArgument(); a test meant only for a
// child skips itself when that is empty.
#pragma once

#include <memory>
#include <string>

namespace korvo::test {

class ChildProcess {
public:
    // Starts this executable with --gtest_filter=<testName>; argument is passed in the
    // child's environment. Check Started() before relying on it.
    ChildProcess(const std::string& testName, const std::string& argument);
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess(); // kills a child that is still running

    bool Started() const;
    // The exit code, or -1 if it cannot be had.
    int Wait();
    // Ends the child at once, wherever it is, and reaps it.
    void Kill();

private:
    struct Native;
    std::unique_ptr<Native> native_;
};

// The argument given to this process by its parent test, or empty in a normal run.
std::string ChildArgument();

} // namespace korvo::test
