// The program's version block.
#pragma once

constexpr const char* kFileVersion = "1.1.0.1";
constexpr const char* kProductVersion = "1.1.0.0";
constexpr const char* kProductName = "Aerolyre";
constexpr const char* kFileDescription = "Aerolyre";
constexpr const char* kInternalName = "Aerolyre";
constexpr const char* kOriginalFilename = "Aerolyre.EXE";
