// File dialogs.
#include "platform/qt/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <vector>

#include "platform/dialog_template.h"
#include "platform/shown_text.h"

namespace {

FileDialogResponder g_responder;

}  // namespace

void SetFileDialogResponder(FileDialogResponder responder) { g_responder = std::move(responder); }

CFileDialog::CFileDialog(bool bOpenFileDialog, const char* pszDefExt, const std::string& strFileName,
                         DWORD dwFlags, const char* pszFilter, QWidget* pParent)
    : m_request{bOpenFileDialog,
                pszDefExt != nullptr ? pszDefExt : "",
                strFileName,
                dwFlags,
                pszFilter != nullptr ? ShownText(pszFilter) : "",
                ""},
      m_pParent(pParent) {
    if (!m_request.strDefExt.empty() && m_request.strDefExt[0] == '.') m_request.strDefExt.erase(0, 1);
}

std::string CFileDialog::QtFilter(const std::string& strFilter) {
    // Pairs of description and pattern separated by '|', ending with "||".
    std::vector<std::string> parts;
    std::string cur;
    for (char c : strFilter) {
        if (c == '|') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    std::string out;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].empty()) break;
        if (!out.empty()) out += ";;";
        std::string patterns = parts[i + 1];
        for (char& c : patterns) {
            if (c == ';') c = ' ';
        }
        // A description that already shows its pattern in parentheses is whole as it stands.
        const std::string& desc = parts[i];
        const bool bShown =
            desc.size() >= patterns.size() + 2 &&
            desc.compare(desc.size() - patterns.size() - 2, std::string::npos, "(" + patterns + ")") == 0;
        out += bShown ? desc : desc + " (" + patterns + ")";
    }
    return out;
}

std::string CFileDialog::GetFileName() const {
    return QFileInfo(QString::fromStdString(m_strPath)).fileName().toStdString();
}

int CFileDialog::DoModal() {
    if (g_responder) {
        std::string path;
        if (!g_responder(m_request, path)) return IDCANCEL;
        m_strPath = path;
        return IDOK;
    }
    QFileDialog dlg(m_pParent);
    dlg.setOption(QFileDialog::DontUseNativeDialog, true);
    dlg.setAcceptMode(m_request.bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(m_request.bOpen && (m_request.dwFlags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                                               : QFileDialog::AnyFile);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !(m_request.dwFlags & OFN_OVERWRITEPROMPT));
    dlg.setOption(QFileDialog::ReadOnly, false);
    if (!m_request.strDefExt.empty()) dlg.setDefaultSuffix(QString::fromStdString(m_request.strDefExt));
    const std::string filter = QtFilter(m_request.strFilter);
    if (!filter.empty()) dlg.setNameFilter(QString::fromStdString(filter));
    if (!m_request.strFileName.empty()) {
        const QFileInfo initial(QString::fromStdString(m_request.strFileName));
        if (initial.isDir()) {
            dlg.setDirectory(initial.absoluteFilePath());
        } else {
            dlg.setDirectory(initial.absolutePath());
            dlg.selectFile(initial.fileName());
        }
    }
    if (!m_request.strPlace.empty() && QFileInfo(QString::fromStdString(m_request.strPlace)).isDir()) {
        QList<QUrl> places = dlg.sidebarUrls();
        places.append(QUrl::fromLocalFile(QString::fromStdString(m_request.strPlace)));
        dlg.setSidebarUrls(places);
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return IDCANCEL;
    m_strPath = dlg.selectedFiles().first().toStdString();
    return IDOK;
}
