// Two stdcall exports, undecorated through the .def file.
#include <string>

extern "C" __attribute__((stdcall)) int ProbeFirst(int value)
{
    return static_cast<int>(std::to_string(value).size());
}

extern "C" __attribute__((stdcall)) int ProbeSecond(int value)
{
    return value * 2;
}
