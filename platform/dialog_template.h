// What a dialog template is: the dialog's size, caption, font and styles, and its controls in tab
// order, each with its id, kind, text and rectangle in dialog units. The data lives in res/; the
// Qt layer builds dialogs from it.
#pragma once

#include <initializer_list>
#include <vector>

constexpr int IDC_STATIC = -1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

enum class ControlKind {
    Static,
    Icon,
    GroupBox,
    Edit,
    PushButton,
    CheckBox,
    RadioButton,
    ListBox,
    Trackbar,
};

// Control styles that matter to the instrument.
enum ControlStyle : unsigned {
    CS_NONE = 0,
    CS_READONLY = 1u << 0,     // edit: read-only
    CS_AUTOHSCROLL = 1u << 1,  // edit: scrolls horizontally as text is typed
    CS_DEFPUSHBUTTON = 1u << 2,
    CS_GROUP = 1u << 3,  // starts a group (radio buttons count up to the next group start)
    CS_DISABLED = 1u << 4,
    CS_VSCROLL = 1u << 5,  // list box: vertical scroll bar
    CS_BORDER = 1u << 6,
    CS_NOTICKS = 1u << 7,   // trackbar: no tick marks
    CS_NOPREFIX = 1u << 8,  // static: '&' is shown as it is
    CS_TABSTOP = 1u << 9,
};

// Dialog styles that matter to the instrument.
enum DialogStyle : unsigned {
    DS_NONE = 0,
    DS_SYSMENU = 1u << 0,
    DS_MODALFRAME = 1u << 1,
    DS_SIZINGBORDER = 1u << 2,  // resizable
    DS_MAXIMIZEBOX = 1u << 3,
    DS_MINIMIZEBOX = 1u << 4,
    DS_CLIENTEDGE = 1u << 5,
    DS_APPWINDOW = 1u << 6,  // gets a taskbar button
    DS_3DLOOK = 1u << 7,
};

struct ControlTemplate {
    int nId;
    ControlKind kind;
    const char* pszText;
    // Rectangle in dialog units; a width of 0 sizes a static text to fit it.
    int x, y, cx, cy;
    unsigned nStyle;
};

struct DialogTemplate {
    int nId;
    const char* pszCaption;
    int cx, cy;  // dialog units
    const char* pszFont;
    int nPointSize;
    unsigned nStyle;
    std::vector<ControlTemplate> controls;  // in tab order
};
