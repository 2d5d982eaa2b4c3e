// Message boxes through the message service.
#include "res/message_box.h"

#include "platform/file.h"
#include "platform/message_service.h"
#include "res/string_table.h"

void AfxMessageBox(UINT nIdPrompt) { ShowUserMessage(ResString(nIdPrompt)); }

void AfxMessageBox(const std::string& strText) { ShowUserMessage(strText); }

void ReportFileError(const CFileException& e) { ShowUserMessage(e.GetErrorMessage()); }
