// A file per fuzzer process that each input is written to, removed when the fuzzer exits.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/message_service.h"

class FuzzFile {
public:
    explicit FuzzFile(const char* pszSuffix)
        : m_path("/tmp/aerolyre-fuzz-" + std::to_string(::getpid()) + pszSuffix) {
        SetMessageSink([](const std::string&, MessageIcon) {});
    }
    ~FuzzFile() { std::remove(m_path.c_str()); }

    // Writes the input as the file's whole content; false when it cannot.
    bool Write(const std::uint8_t* data, std::size_t size) const {
        std::FILE* f = std::fopen(m_path.c_str(), "wb");
        if (f == nullptr) return false;
        const bool bOk = std::fwrite(data, 1, size, f) == size;
        return std::fclose(f) == 0 && bOk;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
