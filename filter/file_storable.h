// An object that can write itself to an open file and read itself back.
#pragma once

#include "platform/win_types.h"

class CFile;

class CFileStorable {
public:
    virtual ~CFileStorable() = default;
    virtual BOOL Save(CFile* pFile) = 0;
    virtual BOOL Load(CFile* pFile) = 0;
};
