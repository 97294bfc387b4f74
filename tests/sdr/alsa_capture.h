// What a sound card made of ALSA's file plugin played (alsa_capture.conf.in):
// 16-bit stereo frames at 48 kHz in the file TAVOLIN_AUDIO_CAPTURE names,
// read back while it grows.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testing {

// The capture file as Wine sees it, or empty when the test was not given one.
inline std::string capture_path()
{
    char unix[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("TAVOLIN_AUDIO_CAPTURE", unix, MAX_PATH))
        return std::string();
    std::string path = std::string("Z:") + unix;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Frames in the capture so far.
inline size_t captured_frames(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<size_t>(data.nFileSizeLow / 4);
}

// The frames captured from `firstFrame` on, as interleaved samples.
inline std::vector<int16_t> read_capture(const std::string &path, size_t firstFrame = 0)
{
    std::vector<int16_t> pcm;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return pcm;
    const DWORD size = GetFileSize(file, nullptr);
    const DWORD first = static_cast<DWORD>(4 * firstFrame);
    if (size != INVALID_FILE_SIZE && size > first &&
        SetFilePointer(file, static_cast<LONG>(first), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
        pcm.resize((size - first) / 4 * 2); // whole frames only: the writer may be mid-frame
        DWORD read = 0;
        if (!ReadFile(file, pcm.data(), static_cast<DWORD>(2 * pcm.size()), &read, nullptr))
            read = 0;
        pcm.resize(read / 4 * 2);
    }
    CloseHandle(file);
    return pcm;
}

} // namespace testing
