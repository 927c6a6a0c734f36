// Programs of the host the tests run on. The test servers are Linux processes: natively they
// are this program's children; a Windows test program under Wine starts them on the Linux
// host through Wine's host spawn, so one script serves both builds.
#pragma once

#include <string>
#include <vector>

namespace korvo::test {

// Runs the program (found on the host's PATH) and waits for it. Its exit status, or -1 when it
// could not be run (a Windows host, where there is no Linux side).
int RunHostProgram(const std::vector<std::string>& arguments);

// A host file path as this program opens it: as it is natively, on drive Z: (Wine's view of
// the host's root) under Wine.
std::string HostFilePath(const std::string& path);

} // namespace korvo::test
