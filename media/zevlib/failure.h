// Failures inside the archive library travel as ArchiveFailure exceptions up to the
// exported function, which turns them into the thread's error code.
#pragma once

#include <cstdint>

namespace zev::archive {

struct ArchiveFailure {
    int32_t code;
};

[[noreturn]] void Fail(int32_t code);

// Maps a 7-Zip HRESULT to a library error code; `fallback` is used for codes that say
// no more than "failed".
int32_t CodeFromHresult(int32_t hresult, int32_t fallback);

// Throws the mapped code unless hresult is S_OK.
void Check(int32_t hresult, int32_t fallback);

// The code for the exception being handled (call inside a catch block).
int32_t CodeFromException();

}  // namespace zev::archive
