#pragma once
// Whole-file reads and writes (bytes or text with encoding detection), delete, rename,
// size and version.
#include <cstdint>
#include <string>

enum : uint32_t {
    ENC_ANSI = 1,
    ENC_UTF16LE = 2,
    ENC_UTF16BE = 4,
    ENC_UTF8_BOM = 32,
    ENC_UTF8 = 64,
    ENC_BINARY = 128,
    EOL_CRLF = 0x10000,
    EOL_CR = 0x20000,
    EOL_LF = 0x40000,
};

bool GL_FILE_Exists(const std::wstring& path);
bool GL_FILE_Delete(const std::wstring& path);
bool GL_FILE_Delete(const std::string& path);
bool GL_FILE_RenameFileOrDir(const std::wstring& from, const std::wstring& to);
// Reads a regular file of at most 32 MiB whole; anything else (a pipe, a device, a larger
// file) fails without waiting or allocating. The caller releases *buffer with delete[].
bool GL_FILE_ReadRaw(const std::wstring& path, uint8_t** buffer, uint32_t* size = nullptr);
bool GL_FILE_Read(const std::wstring& path, std::wstring& text, uint32_t* encoding = nullptr,
                  uint32_t* size = nullptr);
// Without append the file is replaced whole: written beside it, flushed and renamed over it,
// so that it is never missing or partly written (the same bytes again leave it untouched).
bool GL_FILE_Write(const std::wstring& path, bool append, const void* data, uint32_t size);
bool GL_FILE_WriteText(const std::wstring& path, const std::wstring& text, uint32_t encoding,
                       bool append);
int GL_FILE_GetSize(const std::wstring& path, uint32_t& size);
int GL_FILE_GetSize(const std::string& path, uint32_t& size);
bool GL_FILE_GetVersion(const std::wstring& path, bool productVersion, std::wstring& version);
// Convenience form: the file version into a caller's buffer of 260 characters.
bool GL_FILE_GetVersion(const std::wstring& path, wchar_t (&version)[260]);

// Encoding code plus line-ending code.
uint32_t GL_FILE_DetectEncoding(const uint8_t* bytes, int64_t count);
// Converts into a new heap buffer (*out, released with delete[]); returns its byte count.
uint32_t GL_FILE_ConvertEncoding(uint32_t from, uint32_t to, const uint8_t* bytes,
                                 uint32_t count, uint8_t** out, bool noSignature);
