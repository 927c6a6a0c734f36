// Dictionary files for the korvo-dic tests, built with the component's own writer or byte by
// byte, and scratch files to hold them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "persist/record_buffer.h"
#include "platform/platform.h"

namespace korvo::dic::testing {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory per test, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::filesystem::path File(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, const Bytes& bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);
std::string ReadText(const std::filesystem::path& path);

// Writes records as Save does: magic, each record through the value writer, end marker.
class FileBuilder {
public:
    FileBuilder();
    FileBuilder& Add(std::u16string_view key, const std::function<void(VARIANT&)>& make);
    FileBuilder& Raw(const Bytes& bytes); // bytes of a record the writer cannot make
    Bytes Finish(bool endMarker = true);

private:
    persist::RecordBuffer buffer_;
};

// One record of every type tag, with awkward values (extremes, NaN, lone surrogates, NULs).
Bytes EveryTagFile();

// The little-endian bytes of a value, for files put together byte by byte.
template <class Value>
Bytes LittleEndian(Value value)
{
    Bytes bytes(sizeof value);
    for (std::size_t i = 0; i < sizeof value; ++i) {
        bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
    return bytes;
}
Bytes operator+(Bytes a, const Bytes& b);
Bytes Units(std::u16string_view text); // code units, little-endian

} // namespace korvo::dic::testing
