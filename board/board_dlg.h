// The performance board: the playing surface. The pointer's position over it sets pitch (x) and
// loudness (y), the buttons shift the pitch; every event goes straight into PerformanceState for
// the audio thread. Closing it ends the play session.
#pragma once

#include <QIcon>

#include "engine/tuning.h"
#include "platform/qt/dialog.h"

class QTimer;
class QTabletEvent;

// Pen tablets: off (a pen acts as the mouse), or pressure sets the loudness on one of three
// curves, light touches playing loudest on the first.
enum class TabletMode { Off = 0, LightTouch = 1, Even = 2, FirmTouch = 3 };
constexpr int kTabletModeCount = 4;

// The pointer y (0 loudest, 1 silent) that gives the loudness a pen's pressure (0 .. 1) sets:
// the voice's target amplitude is 0.8 times the pressure raised to 0.5, 1 or 2 (by mode), through
// the inverse of the board's own y-to-loudness curve.
double PenLoudnessY(double dPressure, TabletMode mode);

class CBoardDlg : public CDialog {
public:
    explicit CBoardDlg(QWidget* pParent);

    // On entry the rectangle to open at (empty: template size, centred over the owner); on exit
    // the window rectangle it had when it was destroyed, frame included.
    RECT m_rectPlace;
    QIcon m_hIcon;
    // The guides and the correction: the player's choice (G and Q toggle it) and its tuning;
    // both outlive the board. Null: no guides, and the keys do nothing.
    TuningChoice* m_pTuningChoice = nullptr;
    const CTuning* m_pTuning = nullptr;
    // How a pen plays the board; the player's choice, kept by the main dialog.
    TabletMode m_tabletMode = TabletMode::Off;

protected:
    BOOL OnInitDialog() override;
    void OnDestroy() override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void tabletEvent(QTabletEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    // The board has no buttons: Enter ends it like Escape and the close box. F11 toggles full
    // screen.
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    // Whether a position lies inside the client area. Qt also reports moves and releases outside
    // the window while a button is held; the board never saw those.
    bool InClient(const QPointF& pt) const;
    void OnButtonDown(Qt::MouseButton button);
    bool GuidesShown() const {
        return m_pTuningChoice != nullptr && m_pTuning != nullptr && m_pTuningChoice->bGuides;
    }
    // A ring where MIDI in has put the pointer, while it drives the voice.
    void PaintMidiPointer(QPainter& painter, const QRect& rc);
    bool m_bMidiMarked = false;  // the last paint marked MIDI's pointer
    // Note lines, degree 0 named, and the sounding note with its deviation in cents.
    void PaintGuides(QPainter& painter, const QRect& rc);

    QTimer* m_pReadoutTimer = nullptr;
    // The window's rectangle before it went full screen: what the board remembers.
    RECT m_rectWindowed{};
};
