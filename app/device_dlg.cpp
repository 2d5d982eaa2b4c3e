// The sound device dialog.
#include "app/device_dlg.h"

#include <QListWidget>
#include <algorithm>

#include "platform/shown_text.h"
#include "res/dialog_templates.h"

namespace {

constexpr int IDC_DEVICE_LIST = 1041;
constexpr const char* kDefaultDevice = "既定のデバイス";

}  // namespace

CDeviceDlg::CDeviceDlg(QWidget* pParent, std::vector<std::string> names, std::string strCurrent)
    : CDialog(GetDialogTemplate(IDD_DEVICE), pParent),
      m_strDevice(std::move(strCurrent)),
      m_names(std::move(names)) {
    if (!m_strDevice.empty() && std::find(m_names.begin(), m_names.end(), m_strDevice) == m_names.end()) {
        m_names.push_back(m_strDevice);
    }
}

BOOL CDeviceDlg::OnInitDialog() {
    auto* pList = Item<QListWidget>(IDC_DEVICE_LIST);
    pList->addItem(QString::fromUtf8(ShownText(kDefaultDevice)));
    for (const std::string& strName : m_names) pList->addItem(QString::fromStdString(strName));
    const auto it = std::find(m_names.begin(), m_names.end(), m_strDevice);
    pList->setCurrentRow(
        m_strDevice.empty() || it == m_names.end() ? 0 : static_cast<int>(it - m_names.begin()) + 1);
    return TRUE;
}

void CDeviceDlg::OnOK() {
    const int nRow = Item<QListWidget>(IDC_DEVICE_LIST)->currentRow();
    m_strDevice = nRow >= 1 && nRow <= static_cast<int>(m_names.size()) ? m_names[nRow - 1] : std::string();
    EndDialog(IDOK);
}
