// The registry file: parsing, the key handles, writing the whole file on close.
#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/message_service.h"
#include "platform/xdg.h"

namespace {

constexpr const char* kRootName = "HKEY_CURRENT_USER";

// One value as it stands in the file: a string, a DWORD, or a line we do not understand and keep.
struct Value {
    DWORD dwType = REG_NONE;
    std::string strData;  // REG_SZ: the text, without its terminating zero
    DWORD dwValue = 0;    // REG_DWORD
    std::string strRaw;   // REG_NONE: the whole line, kept as it was
};

struct Key {
    std::vector<std::pair<std::string, Value>> values;  // in file order
    // Lines kept as they were have no name: a value named "" must not take their place.
    Value* Find(const std::string& name) {
        for (auto& [n, v] : values) {
            if (n == name && v.dwType != REG_NONE) return &v;
        }
        return nullptr;
    }
};

struct Hive {
    std::vector<std::pair<std::string, Key>> keys;  // full paths, in file order
    Key* Find(const std::string& path) {
        for (auto& [p, k] : keys) {
            if (p == path) return &k;
        }
        return nullptr;
    }
    Key& Ensure(const std::string& path) {
        if (Key* k = Find(path)) return *k;
        keys.emplace_back(path, Key{});
        return keys.back().second;
    }
};

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        // Written plainly, a byte-order mark's three bytes would vanish when the file is read.
        const bool bEndsBom =
            c == '\xBF' && out.size() >= 2 && out.compare(out.size() - 2, 2, "\xEF\xBB") == 0;
        if (c == '\\' || c == '"' || bEndsBom) {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

// Reads a quoted string starting at s[i] == '"'; advances i past the closing quote.
std::optional<std::string> ReadQuoted(const std::string& s, std::size_t& i) {
    if (i >= s.size() || s[i] != '"') return std::nullopt;
    std::string out;
    for (++i; i < s.size(); ++i) {
        if (s[i] == '"') {
            ++i;
            return out;
        }
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            out += s[i] == 'n' ? '\n' : s[i] == 'r' ? '\r' : s[i];
        } else {
            out += s[i];
        }
    }
    return std::nullopt;
}

// Parses one value line; a line that is not a string or DWORD value comes back as raw.
std::pair<std::string, Value> ParseValueLine(const std::string& line) {
    std::pair<std::string, Value> raw{"", Value{REG_NONE, "", 0, line}};
    std::size_t i = 0;
    const auto name = ReadQuoted(line, i);
    if (!name || i >= line.size() || line[i] != '=') return raw;
    ++i;
    raw.first = *name;
    if (line.compare(i, 6, "dword:") == 0) {
        const std::string hex = line.substr(i + 6);
        if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return raw;
        return {*name, Value{REG_DWORD, "", static_cast<DWORD>(std::stoul(hex, nullptr, 16)), ""}};
    }
    const auto text = ReadQuoted(line, i);
    if (!text || i != line.size()) return raw;
    return {*name, Value{REG_SZ, *text, 0, ""}};
}

// A settings file is a few hundred bytes; anything past this is not one of ours.
constexpr std::uintmax_t kMaxRegistryFile = 1 << 20;

// A byte-order mark means nothing in this format; an editor may put one anywhere.
std::string WithoutByteOrderMarks(std::string text) {
    static const std::string kBom = "\xEF\xBB\xBF";
    // A removal can join the bytes around it into another mark: look again just before it.
    for (std::size_t at = text.find(kBom); at != std::string::npos;
         at = text.find(kBom, at >= 2 ? at - 2 : 0)) {
        text.erase(at, kBom.size());
    }
    return text;
}

Hive ParseHive(const std::string& text) {
    Hive hive;
    std::istringstream in(WithoutByteOrderMarks(text));
    std::string line;
    Key* pKey = nullptr;
    while (std::getline(in, line)) {
        // Every CR before the line end goes, so a file with CR CR LF lines is a fixed point.
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line == "REGEDIT4") continue;
        if (line.front() == '[' && line.back() == ']') {
            pKey = &hive.Ensure(line.substr(1, line.size() - 2));
            continue;
        }
        if (pKey == nullptr) continue;  // nothing outside a key is ours to keep
        auto [name, value] = ParseValueLine(line);
        if (value.dwType != REG_NONE) {
            if (Value* v = pKey->Find(name)) {
                *v = value;
            } else {
                pKey->values.emplace_back(name, value);
            }
        } else {
            pKey->values.emplace_back("", value);
        }
    }
    return hive;
}

std::string HiveText(const Hive& hive) {
    std::ostringstream out;
    out << "REGEDIT4\n";
    for (const auto& [keyPath, key] : hive.keys) {
        out << "\n[" << keyPath << "]\n";
        for (const auto& [name, v] : key.values) {
            if (v.dwType == REG_SZ) {
                out << '"' << Escape(name) << "\"=\"" << Escape(v.strData) << "\"\n";
            } else if (v.dwType == REG_DWORD) {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(v.dwValue));
                out << '"' << Escape(name) << "\"=dword:" << hex << '\n';
            } else {
                out << v.strRaw << '\n';
            }
        }
    }
    return out.str();
}

// Missing: no file yet, an empty hive. Unusable: a file that is there but cannot be read, or is
// no settings file (too large, not a regular file); nothing may be written over it.
enum class HiveRead { Ok, Missing, Unusable };

HiveRead ReadHive(const std::string& path, Hive& hive, int& nError) {
    hive = Hive{};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        nError = errno;
        return errno == ENOENT ? HiveRead::Missing : HiveRead::Unusable;
    }
    if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > kMaxRegistryFile) {
        nError = S_ISREG(st.st_mode) ? EFBIG : EINVAL;
        return HiveRead::Unusable;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        nError = errno;
        return HiveRead::Unusable;
    }
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            nError = errno;
            ::close(fd);
            return HiveRead::Unusable;
        }
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > kMaxRegistryFile) {
            nError = EFBIG;
            ::close(fd);
            return HiveRead::Unusable;
        }
    }
    ::close(fd);
    hive = ParseHive(text);
    return HiveRead::Ok;
}

bool WriteHive(const std::string& path, const Hive& hive, int& nError) {
    return ReplaceFileContent(path, HiveText(hive), nError);
}

// How long a save waits for another one to finish: a save takes milliseconds, so a lock held
// this long belongs to a process that hangs, and waiting longer would hang this one too.
constexpr auto kSaveLockWait = std::chrono::seconds(2);

// Serialises the read-merge-replace of a save across processes (two windows closing together):
// an advisory lock on a file beside the settings file, which is never removed, since removing a
// lock file lets two processes lock two different files.
class CSaveLock {
public:
    ~CSaveLock() {
        if (m_fd >= 0) ::close(m_fd);  // also releases the lock
    }
    // False with the reason when the lock cannot be had within kSaveLockWait.
    bool Acquire(const std::string& strSettings, std::string& strReason) {
        const std::string strLock = strSettings + ".lock";
        // O_NONBLOCK: something other than a file at that name must not make the open wait.
        m_fd = ::open(strLock.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
        struct stat st {};
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            strReason = "the lock file " + strLock + " cannot be used (" +
                        (m_fd < 0 ? std::strerror(errno) : "not a regular file") + ")";
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + kSaveLockWait;
        while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR) {
                strReason = "the lock file " + strLock + " cannot be locked (" + std::strerror(errno) + ")";
                return false;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                strReason = "another save held " + strLock + " for 2 s";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

private:
    int m_fd = -1;
};

}  // namespace

struct RegistryKey {
    std::string strPath;  // full path, "HKEY_CURRENT_USER\..."
    bool bRoot = false;
    bool bCreated = false;
    // Changes made through this handle, applied to the file at close.
    std::vector<std::pair<std::string, Value>> changes;
    Key current;  // the key's values as read at open, with the changes applied
};

namespace {

RegistryKey g_root{kRootName, true, false, {}, {}};

}  // namespace

const HKEY HKEY_CURRENT_USER = &g_root;

std::string RegistryFilePath() {
    const std::string base = XdgBaseDir("XDG_CONFIG_HOME", ".config");
    return base.empty() ? std::string() : base + "/Velmora/Aerolyre/registry.reg";
}

std::string RegistryFileProblem() {
    const std::string path = RegistryFilePath();
    if (path.empty()) return kNoHomeReason;
    Hive hive;
    int nError = 0;
    if (ReadHive(path, hive, nError) != HiveRead::Unusable) return {};
    return path + " cannot be read (" + std::strerror(nError) + ")";
}

LONG RegCreateKeyExA(HKEY hKey, const char* lpSubKey, DWORD, char*, DWORD, REGSAM, void*, HKEY* phkResult,
                     DWORD* lpdwDisposition) {
    if (hKey == nullptr || phkResult == nullptr) return ERROR_INVALID_PARAMETER;
    std::string path = hKey->strPath;
    if (lpSubKey != nullptr && *lpSubKey != '\0') path += std::string("\\") + lpSubKey;

    Hive hive;
    int nError = 0;
    // A file that is there but cannot be used is a key that cannot be opened: the defaults stand
    // and nothing is written over it.
    if (ReadHive(RegistryFilePath(), hive, nError) == HiveRead::Unusable) return ERROR_ACCESS_DENIED;
    auto* pKey = new (std::nothrow) RegistryKey{path, false, false, {}, {}};
    if (pKey == nullptr) return ERROR_ACCESS_DENIED;
    if (Key* existing = hive.Find(path)) {
        pKey->current = *existing;
    } else {
        pKey->bCreated = true;
    }
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = pKey->bCreated ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = pKey;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, const char* lpValueName, DWORD*, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData) {
    if (hKey == nullptr || hKey->bRoot) return ERROR_INVALID_HANDLE;
    const Value* v = hKey->current.Find(lpValueName != nullptr ? lpValueName : "");
    if (v == nullptr || v->dwType == REG_NONE) return ERROR_FILE_NOT_FOUND;
    if (lpType != nullptr) *lpType = v->dwType;
    const DWORD cbNeeded = v->dwType == REG_SZ ? static_cast<DWORD>(v->strData.size() + 1) : 4;
    if (lpData == nullptr) {
        if (lpcbData != nullptr) *lpcbData = cbNeeded;
        return ERROR_SUCCESS;
    }
    if (lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
    if (*lpcbData < cbNeeded) {
        *lpcbData = cbNeeded;
        return ERROR_MORE_DATA;
    }
    if (v->dwType == REG_SZ) {
        std::memcpy(lpData, v->strData.c_str(), cbNeeded);
    } else {
        for (int i = 0; i < 4; ++i) lpData[i] = static_cast<BYTE>(v->dwValue >> (8 * i));
    }
    *lpcbData = cbNeeded;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                    DWORD cbData) {
    if (hKey == nullptr || hKey->bRoot) return ERROR_INVALID_HANDLE;
    Value v;
    v.dwType = dwType;
    if (dwType == REG_SZ) {
        // Stored with its terminating zero; the text is what stands before the first zero.
        const auto* p = reinterpret_cast<const char*>(lpData);
        v.strData = std::string(p, strnlen(p, cbData));
    } else if (dwType == REG_DWORD && cbData == 4) {
        v.dwValue = lpData[0] | (lpData[1] << 8) | (lpData[2] << 16) | (static_cast<DWORD>(lpData[3]) << 24);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string name = lpValueName != nullptr ? lpValueName : "";
    hKey->changes.emplace_back(name, v);
    if (Value* existing = hKey->current.Find(name)) {
        *existing = v;
    } else {
        hKey->current.values.emplace_back(name, v);
    }
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey) {
    if (hKey == nullptr) return ERROR_INVALID_HANDLE;
    if (hKey->bRoot) return ERROR_SUCCESS;
    LONG result = ERROR_SUCCESS;
    if (hKey->bCreated || !hKey->changes.empty()) {
        // Read again: another program may have written the file since this key was opened. The
        // lock keeps any other save from doing so between this read and the replace.
        const std::string path = RegistryFilePath();
        if (path.empty()) {
            LogLine(std::string("the settings were not saved: ") + kNoHomeReason);
            delete hKey;
            return ERROR_ACCESS_DENIED;
        }
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        CSaveLock lock;
        if (std::string strReason; !lock.Acquire(path, strReason)) {
            LogLine("the settings were not saved to " + path + ": " + strReason);
            delete hKey;
            return ERROR_ACCESS_DENIED;
        }
        Hive hive;
        int nError = 0;
        if (ReadHive(path, hive, nError) == HiveRead::Unusable) {
            LogLine("the settings were not saved: " + path + " cannot be read (" + std::strerror(nError) +
                    ")");
            delete hKey;
            return ERROR_ACCESS_DENIED;
        }
        Key& key = hive.Ensure(hKey->strPath);
        for (const auto& [name, v] : hKey->changes) {
            if (Value* existing = key.Find(name)) {
                *existing = v;
            } else {
                key.values.emplace_back(name, v);
            }
        }
        if (!WriteHive(path, hive, nError)) {
            LogLine("the settings were not saved to " + path + ": " + std::strerror(nError));
            result = ERROR_ACCESS_DENIED;
        }
    }
    delete hKey;
    return result;
}

std::string ReformatRegistryText(const std::string& text) { return HiveText(ParseHive(text)); }

std::string DescribeRegistryValues(const std::string& text) {
    std::string out;
    for (const auto& [keyPath, key] : ParseHive(text).keys) {
        for (const auto& [name, v] : key.values) {
            out += keyPath + '\0' + name + '\0' + std::to_string(v.dwType) + '\0' + v.strData + '\0' +
                   std::to_string(v.dwValue) + '\0' + v.strRaw + '\n';
        }
    }
    return out;
}
