// The performance board: placement, pointer mapping, buttons, painting, and the end of the session.
#include "board/board_dlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "engine/performance_state.h"
#include "engine/session.h"
#include "platform/qt/icons.h"
#include "res/dialog_templates.h"
#include "res/string_table.h"

namespace {

constexpr int kGridPitch = 20;   // pixels between grid lines
constexpr int kGridOffset = 3;   // first line from the left and top edges
const QColor kGridColour(0, 128, 0);
const QColor kGuideColour(208, 160, 0);
constexpr int kGuideFontPixels = 12;

// The key guide, anchored to the lower-left corner: string id and distance of the text's top
// above the client bottom.
constexpr struct {
    unsigned nId;
    int nAboveBottom;
} kGuide[] = {{2000, 83}, {2001, 68}, {2002, 53}, {2003, 38}, {2004, 23}};

}  // namespace

CBoardDlg::CBoardDlg(QWidget* pParent) : CDialog(GetDialogTemplate(IDD_BOARD), pParent), m_hIcon(AppIcon()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

BOOL CBoardDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    setWindowIcon(m_hIcon);
    if (!m_rectPlace.IsEmpty()) MoveWindow(m_rectPlace);
    return TRUE;
}

bool CBoardDlg::InClient(const QPoint& pt) const { return rect().contains(pt); }

void CBoardDlg::mouseMoveEvent(QMouseEvent* pEvent) {
    const QPoint pt = pEvent->position().toPoint();
    if (InClient(pt)) {
        const QRect rc = rect();
        PerformanceState.dPointerX.store(static_cast<double>(pt.x()) / rc.width(), std::memory_order_relaxed);
        PerformanceState.dPointerY.store(static_cast<double>(pt.y()) / rc.height(), std::memory_order_relaxed);
    }
    CDialog::mouseMoveEvent(pEvent);
}

void CBoardDlg::OnButtonDown(Qt::MouseButton button) {
    PERFORMANCESTATE& ps = PerformanceState;
    if (button == Qt::LeftButton) ps.dLeftClickFactor.store(ps.dLeftShiftRatio, std::memory_order_relaxed);
    if (button == Qt::RightButton) ps.dRightClickFactor.store(ps.dRightShiftRatio, std::memory_order_relaxed);
}

void CBoardDlg::mousePressEvent(QMouseEvent* pEvent) {
    OnButtonDown(pEvent->button());
    CDialog::mousePressEvent(pEvent);
}

void CBoardDlg::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    // A second press, not a toggle.
    OnButtonDown(pEvent->button());
    CDialog::mouseDoubleClickEvent(pEvent);
}

void CBoardDlg::mouseReleaseEvent(QMouseEvent* pEvent) {
    if (InClient(pEvent->position().toPoint())) {
        PERFORMANCESTATE& ps = PerformanceState;
        if (pEvent->button() == Qt::LeftButton) ps.dLeftClickFactor.store(1.0, std::memory_order_relaxed);
        if (pEvent->button() == Qt::RightButton) ps.dRightClickFactor.store(1.0, std::memory_order_relaxed);
    }
    CDialog::mouseReleaseEvent(pEvent);
}

void CBoardDlg::resizeEvent(QResizeEvent* pEvent) {
    CDialog::resizeEvent(pEvent);
    repaint();
}

void CBoardDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect rc = rect();
    painter.fillRect(rc, Qt::black);

    painter.setPen(QPen(kGridColour, 0));
    for (int x = rc.left() + kGridOffset; x < rc.left() + rc.width(); x += kGridPitch) {
        painter.drawLine(x, rc.top(), x, rc.top() + rc.height());
    }
    for (int y = rc.top() + kGridOffset; y < rc.top() + rc.height(); y += kGridPitch) {
        painter.drawLine(rc.left(), y, rc.left() + rc.width(), y);
    }

    QFont font(this->font());
    font.setPixelSize(kGuideFontPixels);
    painter.setFont(font);
    painter.setPen(kGuideColour);
    painter.setBackgroundMode(Qt::TransparentMode);
    const int nBottom = rc.top() + rc.height();
    const QFontMetrics fm(font);
    for (const auto& line : kGuide) {
        // The text's top at the given distance above the bottom: its baseline one ascent lower.
        painter.drawText(kGridOffset, nBottom - line.nAboveBottom + fm.ascent(), QString::fromStdString(ResString(line.nId)));
    }
}

void CBoardDlg::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    CDialog::keyPressEvent(pEvent);
}

void CBoardDlg::OnDestroy() {
    // Stop the audio thread and wait for it: when this returns, the session is released.
    StopSession();
    m_rectPlace = GetWindowRect();
}
