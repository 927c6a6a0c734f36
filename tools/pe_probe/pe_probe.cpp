// Uses the C++ runtime (strings, exceptions, threads) so that a dynamically linked runtime
// would show up in the import table.
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>

int main(int argc, char**)
{
    std::string message = "probe";
    std::thread worker([&] { message += " thread"; });
    worker.join();
    try {
        if (argc > 5) {
            throw std::runtime_error(message);
        }
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    std::cout << message << '\n';
    return 0;
}
