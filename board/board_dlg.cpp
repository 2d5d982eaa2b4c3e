// The performance board: placement, pointer mapping, buttons, painting, and the end of the session.
#include "board/board_dlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTabletEvent>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/session.h"
#include "platform/qt/icons.h"
#include "platform/shown_text.h"
#include "res/dialog_templates.h"
#include "res/string_table.h"

namespace {

constexpr int kGridPitch = 20;  // pixels between grid lines
constexpr int kGridOffset = 3;  // first line from the left and top edges
const QColor kGridColour(0, 128, 0);
const QColor kGuideColour(208, 160, 0);
constexpr int kGuideFontPixels = 12;
const QColor kNoteColour(60, 100, 170);
const QColor kRootColour(120, 180, 255);
constexpr int kMinNoteSpacing = 4;  // pixels; denser notes show only their degree 0
constexpr int kReadoutMilliseconds = 40;

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
    if (m_pTuningChoice != nullptr) {
        // The readout follows the voice's gliding pitch while the guides are shown.
        m_pReadoutTimer = new QTimer(this);
        // So does the mark of where MIDI puts the pointer, while it does and once after.
        QObject::connect(m_pReadoutTimer, &QTimer::timeout, this, [this] {
            const bool bMidi = PerformanceState.bMidiDriving.load(std::memory_order_relaxed);
            if (GuidesShown() || bMidi || m_bMidiMarked) update();
        });
        m_pReadoutTimer->start(kReadoutMilliseconds);
    }
    return TRUE;
}

bool CBoardDlg::InClient(const QPointF& pt) const {
    return pt.x() >= 0 && pt.y() >= 0 && pt.x() < width() && pt.y() < height();
}

void CBoardDlg::mouseMoveEvent(QMouseEvent* pEvent) {
    // As Qt delivers it: a device finer than a pixel keeps its fraction.
    const QPointF pt = pEvent->position();
    if (InClient(pt)) {
        PERFORMANCESTATE& ps = PerformanceState;
        ps.dPointerX.store(pt.x() / width(), std::memory_order_relaxed);
        ps.dPointerY.store(pt.y() / height(), std::memory_order_relaxed);
        ps.dModScale.store(1.0, std::memory_order_relaxed);
    }
    CDialog::mouseMoveEvent(pEvent);
}

double PenLoudnessY(double dPressure, TabletMode mode) {
    const double p = std::clamp(dPressure, 0.0, 1.0);
    const double dCurve = mode == TabletMode::LightTouch  ? std::sqrt(p)
                          : mode == TabletMode::FirmTouch ? p * p
                                                          : p;
    // The board: amplitude 0.8 − y down to y = 0.5, then 1.3 − 2y, silent from 0.65.
    const double dAmp = 0.8 * dCurve;
    return dAmp >= 0.3 ? 0.8 - dAmp : (1.3 - dAmp) / 2;
}

// A pen touching the board: x the pitch, pressure the loudness, height the share of the tone's
// modulation strength (top: all of it), the barrel buttons the click shifts. Lifted, it is
// silent, as the mouse below the playing area is. Tilt is left alone: it follows the hand's posture
// more than the player's intent, and vibrato already comes from the pen's own motion.
void CBoardDlg::tabletEvent(QTabletEvent* pEvent) {
    if (m_tabletMode == TabletMode::Off) {
        pEvent->ignore();  // Qt then delivers it as the mouse events it makes of it
        return;
    }
    pEvent->accept();
    PERFORMANCESTATE& ps = PerformanceState;
    const QPointF pt = pEvent->position();
    const bool bTouching = pEvent->type() != QEvent::TabletRelease && pEvent->pressure() > 0.0;
    if (InClient(pt)) {
        ps.dPointerX.store(pt.x() / width(), std::memory_order_relaxed);
        if (bTouching) {
            ps.dPointerY.store(PenLoudnessY(pEvent->pressure(), m_tabletMode), std::memory_order_relaxed);
            ps.dModScale.store(1.0 - pt.y() / height(), std::memory_order_relaxed);
        }
    }
    if (!bTouching) ps.dPointerY.store(1.0, std::memory_order_relaxed);
    const Qt::MouseButtons buttons = pEvent->buttons();
    ps.dLeftClickFactor.store(buttons & Qt::MiddleButton ? ps.dLeftShiftRatio : 1.0,
                              std::memory_order_relaxed);
    ps.dRightClickFactor.store(buttons & Qt::RightButton ? ps.dRightShiftRatio : 1.0,
                               std::memory_order_relaxed);
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
        painter.drawText(kGridOffset, nBottom - line.nAboveBottom + fm.ascent(),
                         QString::fromStdString(ResString(line.nId)));
    }
    if (GuidesShown()) PaintGuides(painter, rc);
    PaintMidiPointer(painter, rc);
}

void CBoardDlg::PaintMidiPointer(QPainter& painter, const QRect& rc) {
    const PERFORMANCESTATE& ps = PerformanceState;
    m_bMidiMarked = ps.bMidiDriving.load(std::memory_order_relaxed);
    if (!m_bMidiMarked) return;
    // A ring where the pointer would be to play what MIDI plays.
    const QPointF at(rc.left() + ps.dMidiX.load(std::memory_order_relaxed) * rc.width(),
                     rc.top() + ps.dMidiY.load(std::memory_order_relaxed) * rc.height());
    painter.setPen(QPen(kRootColour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 6.0, 6.0);
}

void CBoardDlg::PaintGuides(QPainter& painter, const QRect& rc) {
    const PitchMapping map = MappingOf(PerformanceState);
    const std::vector<TuningNote>& notes = m_pTuning->Notes();
    const QFontMetrics fm(painter.font());
    // Where the notes sound with no button held; too dense a scale shows its degree 0 alone.
    const double dOctavesPerNote = notes.size() > 1 ? (notes.back().dLog2Hz - notes.front().dLog2Hz) /
                                                          static_cast<double>(notes.size() - 1)
                                                    : 1.0;
    const double dPixelsPerNote = rc.width() * dOctavesPerNote / map.dScale;
    for (const TuningNote& note : notes) {
        const double x = map.XForLog2Hz(note.dLog2Hz);
        if (x < 0.0 || x >= 1.0) continue;
        const bool bRoot = note.nDegree == 0;
        if (!bRoot && dPixelsPerNote < kMinNoteSpacing) continue;
        const int px = rc.left() + static_cast<int>(std::lround(x * rc.width()));
        painter.setPen(QPen(bRoot ? kRootColour : kNoteColour, 0));
        painter.drawLine(px, rc.top(), px, rc.bottom());
        if (bRoot)
            painter.drawText(px + 3, rc.top() + 2 + fm.ascent(),
                             QString::fromStdString(m_pTuning->Name(note)));
    }

    const double dInc = PerformanceState.dSoundingInc.load(std::memory_order_relaxed);
    QString text = QString::fromUtf8("—");
    if (dInc > 0) {
        const double dLog2 = map.Log2HzOfStep(dInc);
        const TuningNote& near = m_pTuning->Nearest(dLog2);
        const int nCents = static_cast<int>(std::lround(1200.0 * (dLog2 - near.dLog2Hz)));
        text = QString::fromStdString(m_pTuning->Name(near)) + QString::asprintf(" %+d", nCents) +
               QString::fromUtf8("¢");
    }
    if (m_pTuningChoice->bQuantise) text += QString::fromUtf8(ShownText(" 補正"));
    // Below the octave names, on its own black box so no line runs through it.
    const QRect box(rc.right() - 8 - fm.horizontalAdvance(text), rc.top() + 4 + fm.height(),
                    fm.horizontalAdvance(text) + 6, fm.height() + 2);
    painter.fillRect(box, Qt::black);
    painter.setPen(kRootColour);
    painter.drawText(box.left() + 3, box.top() + 1 + fm.ascent(), text);
}

void CBoardDlg::keyPressEvent(QKeyEvent* pEvent) {
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
        OnOK();
        return;
    }
    if (pEvent->key() == Qt::Key_F11 && pEvent->modifiers() == Qt::NoModifier) {
        if (isFullScreen()) {
            showNormal();
        } else {
            m_rectWindowed = GetWindowRect();
            showFullScreen();
        }
        return;
    }
    if (m_pTuningChoice != nullptr && pEvent->modifiers() == Qt::NoModifier) {
        if (pEvent->key() == Qt::Key_G) {
            m_pTuningChoice->bGuides = !m_pTuningChoice->bGuides;
            update();
            return;
        }
        // The correction can act only in a session that follows the tuning.
        if (pEvent->key() == Qt::Key_Q && PerformanceState.pQuantiseTuning != nullptr) {
            m_pTuningChoice->bQuantise = !m_pTuningChoice->bQuantise;
            PerformanceState.bQuantiseOn.store(m_pTuningChoice->bQuantise, std::memory_order_relaxed);
            update();
            return;
        }
    }
    CDialog::keyPressEvent(pEvent);
}

void CBoardDlg::OnDestroy() {
    // Stop the audio thread and wait for it: when this returns, the session is released.
    StopSession();
    m_rectPlace = isFullScreen() ? m_rectWindowed : GetWindowRect();
}
