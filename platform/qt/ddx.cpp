// Data exchange helpers.
#include "platform/qt/ddx.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <climits>

#include "platform/message_service.h"
#include "platform/qt/dialog.h"

namespace {

constexpr unsigned AFX_IDP_PARSE_INT = 61712;
constexpr unsigned AFX_IDP_PARSE_INT_RANGE = 61714;

void FailOn(CDataExchange* pDX, QWidget* pControl) {
    pDX->m_bFailed = true;
    pControl->setFocus(Qt::OtherFocusReason);
    if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) pEdit->selectAll();
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

bool ParseDialogInt(const std::string& fullText, int& value) {
    const std::string text = fullText.substr(0, 31);
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    bool bNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) bNegative = text[i++] == '-';
    const std::size_t nDigitsStart = i;
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (i == nDigitsStart) return false;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i != text.size()) return false;
    if (bNegative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int>(v);
    return true;
}

void DDX_Text(CDataExchange* pDX, int nId, std::string& value) {
    if (pDX->m_bFailed) return;
    auto* pEdit = pDX->m_pDlg->Item<QLineEdit>(nId);
    if (pDX->m_bSaveAndValidate) {
        value = pEdit->text().toStdString();
    } else {
        pEdit->setText(QString::fromStdString(value));
    }
}

void DDX_TextInt(CDataExchange* pDX, int nId, int& value, int nMin, int nMax) {
    if (pDX->m_bFailed) return;
    auto* pEdit = pDX->m_pDlg->Item<QLineEdit>(nId);
    if (!pDX->m_bSaveAndValidate) {
        pEdit->setText(QString::number(value));
        return;
    }
    int v = 0;
    if (!ParseDialogInt(pEdit->text().toStdString(), v)) {
        ShowUserMessage(LoadDialogString(AFX_IDP_PARSE_INT));
        FailOn(pDX, pEdit);
        return;
    }
    if (v < nMin || v > nMax) {
        std::string text = LoadDialogString(AFX_IDP_PARSE_INT_RANGE);
        if (const auto at = text.find("%1"); at != std::string::npos)
            text.replace(at, 2, std::to_string(nMin));
        if (const auto at = text.find("%2"); at != std::string::npos)
            text.replace(at, 2, std::to_string(nMax));
        ShowUserMessage(text, MessageIcon::Exclamation);
        FailOn(pDX, pEdit);
        return;
    }
    value = v;
}

void DDX_Check(CDataExchange* pDX, int nId, int& value) {
    if (pDX->m_bFailed) return;
    auto* pBox = pDX->m_pDlg->Item<QCheckBox>(nId);
    if (pDX->m_bSaveAndValidate) {
        value = pBox->checkState() == Qt::Checked ? 1 : pBox->checkState() == Qt::PartiallyChecked ? 2 : 0;
        return;
    }
    const int v = value >= 0 && value <= 2 ? value : 0;
    pBox->setTristate(v == 2);
    pBox->setCheckState(v == 1 ? Qt::Checked : v == 2 ? Qt::PartiallyChecked : Qt::Unchecked);
}

void DDX_Radio(CDataExchange* pDX, int nFirstId, int& value) {
    if (pDX->m_bFailed) return;
    // The group's buttons: from nFirstId on in template order, up to the next group start.
    const DialogTemplate& tmpl = *pDX->m_pDlg->Template();
    int nIndex = 0;
    bool bInGroup = false;
    if (pDX->m_bSaveAndValidate) value = -1;
    for (const ControlTemplate& c : tmpl.controls) {
        if (c.nId == nFirstId) {
            bInGroup = true;
        } else if (bInGroup && (c.nStyle & CS_GROUP)) {
            break;
        }
        if (!bInGroup || c.kind != ControlKind::RadioButton) continue;
        auto* pRadio = pDX->m_pDlg->Item<QRadioButton>(c.nId);
        if (pDX->m_bSaveAndValidate) {
            if (pRadio->isChecked()) value = nIndex;
        } else {
            // Auto-exclusive radios cannot all be cleared one by one.
            pRadio->setAutoExclusive(false);
            pRadio->setChecked(nIndex == value);
            pRadio->setAutoExclusive(true);
        }
        ++nIndex;
    }
}

void DDX_Slider(CDataExchange* pDX, int nId, int& value) {
    if (pDX->m_bFailed) return;
    auto* pSlider = pDX->m_pDlg->Item<QSlider>(nId);
    if (pDX->m_bSaveAndValidate) {
        value = pSlider->value();
    } else {
        pSlider->setValue(value);
    }
}
