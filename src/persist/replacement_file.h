// Writing a file so that a failure never costs the file that was there: the new content goes
// to a temporary file in the target's folder, which is flushed to the disk and then renamed
// over the target in one step. Until then the old file is untouched; on any failure the
// temporary file is removed and the old file stays byte for byte.
//
// The replaced file is a new file: it takes the permissions the folder gives new files (not
// the old file's own), and a hard link to the old file keeps the old content. Where no
// temporary file can be made beside the target (a folder that takes no new file, a path too
// long for the temporary name), and where the target is a device, a pipe or a symbolic link,
// the target is written in place, as without one.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "persist/byte_sink.h"
#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace korvo::persist {

class ReplacementFile final : public ByteSink {
public:
    ReplacementFile() = default;
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;
    // Removes the temporary file unless Commit put it in the target's place.
    ~ReplacementFile();

    // Checks that the target can be written (the mapped last error of a target that is a
    // folder, read-only, locked or on a missing path, as creating it would give) and opens
    // the temporary file beside it.
    HRESULT Create(BSTR target) noexcept;

    // Appends bytes; the first failure is kept and every later write dropped.
    void Write(std::span<const std::byte> bytes) noexcept override;

    // Whether the content goes to a temporary file, so that a Save that fails part-way
    // leaves nothing of what it wrote; false where the target is written in place.
    bool ReplacesTarget() const noexcept { return !inPlace_ && !temporaryPath_.empty(); }

    // Flushes the file to the disk and puts it in the target's place; the first failure of
    // any step otherwise, with the target untouched.
    HRESULT Commit() noexcept;

private:
    void Discard() noexcept;

    UniqueHandle file_;
    std::basic_string<OLECHAR> targetPath_;
    std::basic_string<OLECHAR> temporaryPath_;
    bool inPlace_ = false;
    bool flushes_ = true;
    bool committed_ = false;
    HRESULT failure_ = S_OK;
};

} // namespace korvo::persist
