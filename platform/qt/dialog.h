// Modal dialogs built from dialog templates, as the Windows dialog manager builds them: controls
// at their rectangles converted from dialog units by the dialog font's metrics, each control's
// objectName its id, tab order as in the template, and the Windows keys (Enter on a focused push
// button clicks it, Enter elsewhere is OK, Escape and the close box are Cancel).
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QRect>
#include <string>

#include "platform/dialog_template.h"
#include "platform/win_types.h"

class CDialog;

// One exchange between a dialog's controls and its members (the DDX_ functions carry it out).
class CDataExchange {
public:
    CDataExchange(CDialog* pDlg, bool bSaveAndValidate)
        : m_pDlg(pDlg), m_bSaveAndValidate(bSaveAndValidate) {}

    CDialog* m_pDlg;
    bool m_bSaveAndValidate;  // true: controls into members
    bool m_bFailed = false;   // a check failed: the exchange stops
};

// Windows' RECT: left, top, right, bottom.
struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const RECT&) const = default;
};

// Qt setup shared by every dialog: Fusion style, the dialog font resolved to IPAPGothic, where
// the framework's own messages (61712, 61714) are looked up by id, and the application icon
// (32 and 16 px XPM data) that every window shows.
using LoadStringProc = const char* (*)(unsigned nId);
void InitDialogFramework(LoadStringProc pfnLoadString, const char* const* ppIcon32,
                         const char* const* ppIcon16);
// A framework message by id, empty when there is none.
std::string LoadDialogString(unsigned nId);

class CDialog : public QDialog {
public:
    CDialog(const DialogTemplate& tmpl, QWidget* pParent);

    // Initialises the dialog, places it and runs it modally; returns IDOK or IDCANCEL. The
    // destroy-time work (OnDestroy) has run when it returns, while the controls still existed.
    int DoModal();

    QWidget* GetDlgItem(int nId) const;
    template <class T>
    T* Item(int nId) const {
        return static_cast<T*>(GetDlgItem(nId));
    }

    // Runs the handler when button nId is clicked.
    template <class D>
    void OnCommand(int nId, void (D::*pfnHandler)()) {
        QObject::connect(Item<QAbstractButton>(nId), &QAbstractButton::clicked, this,
                         [this, pfnHandler] { (static_cast<D*>(this)->*pfnHandler)(); });
    }

    // Runs the data exchange; false when a check failed (its message was shown).
    bool UpdateData(bool bSaveAndValidate);
    void EndDialog(int nResult);

    // Dialog units to pixels with this dialog's font, as the Windows dialog manager converts.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    int BaseUnitX() const { return m_nBaseX; }
    int BaseUnitY() const { return m_nBaseY; }

    const DialogTemplate* Template() const { return &m_template; }

    // Window rectangle in screen coordinates, frame included.
    RECT GetWindowRect() const;
    // Moves and sizes the window (frame included); counts as placed for the default placement.
    void MoveWindow(const RECT& rc);

protected:
    // Default: the data exchange into the controls; returns TRUE to give the first control the
    // focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    // Default: data exchange from the controls, then the end of the dialog with IDOK.
    virtual void OnOK();
    virtual void OnCancel();
    // Runs when the dialog is being destroyed, before its controls go away.
    virtual void OnDestroy() {}

    void keyPressEvent(QKeyEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

    const DialogTemplate& m_template;

private:
    void Build();
    void WidenClippedButtons();
    void WidenClippedLabels();
    void PlaceByDefault();

    int m_nBaseX = 0;
    int m_nBaseY = 0;
    bool m_bPlaced = false;
};
