// Message boxes as the instrument's code raises them: a string-table message by id, a text, or
// the standard message for a file error. They go through the platform's message service.
#pragma once

#include <string>

#include "platform/win_types.h"

class CFileException;

void AfxMessageBox(UINT nIdPrompt);
void AfxMessageBox(const std::string& strText);
void ReportFileError(const CFileException& e);
