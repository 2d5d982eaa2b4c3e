// Open and save file dialogs: Qt's own (non-native) dialog, so the default extension and the
// filter strings behave the same everywhere. Filters are written as on Windows,
// "description|*.ext||", and become "description (*.ext)". An initial name that is a folder opens
// that folder; a file name selects that file.
#pragma once

#include <functional>
#include <string>

#include "platform/win_types.h"

class QWidget;

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_NONETWORKBUTTON = 0x00020000;

struct FileDialogRequest {
    bool bOpen;
    std::string strDefExt;    // without the dot
    std::string strFileName;  // initial name
    DWORD dwFlags;
    std::string strFilter;  // as written: "desc|*.x||"
    std::string strPlace;   // a folder offered in the side bar beside the usual places ("": none)
};

// Tests answer file dialogs instead of a person: the responder gets the request and returns
// false for Cancel or true with the chosen path.
using FileDialogResponder = std::function<bool(const FileDialogRequest&, std::string& strPath)>;
void SetFileDialogResponder(FileDialogResponder responder);

class CFileDialog {
public:
    CFileDialog(bool bOpenFileDialog, const char* pszDefExt, const std::string& strFileName, DWORD dwFlags,
                const char* pszFilter, QWidget* pParent);
    int DoModal();  // IDOK or IDCANCEL
    std::string GetPathName() const { return m_strPath; }
    // The chosen file's name with its extension, without its folder.
    std::string GetFileName() const;
    // Offers a folder in the side bar (the installed examples, say), when it exists.
    void AddPlace(const std::string& strFolder) { m_request.strPlace = strFolder; }

    // "desc|*.x||" as a Qt name filter, "desc (*.x)".
    static std::string QtFilter(const std::string& strFilter);

private:
    FileDialogRequest m_request;
    QWidget* m_pParent;
    std::string m_strPath;
};
