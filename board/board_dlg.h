// The performance board: the playing surface. The pointer's position over it sets pitch (x) and
// loudness (y), the buttons shift the pitch; every event goes straight into PerformanceState for
// the audio thread. Closing it ends the play session.
#pragma once

#include <QIcon>

#include "engine/tuning.h"
#include "platform/qt/dialog.h"

class QTimer;

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

protected:
    BOOL OnInitDialog() override;
    void OnDestroy() override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void paintEvent(QPaintEvent* pEvent) override;
    // The board has no buttons: Enter ends it like Escape and the close box.
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    // Whether a position lies inside the client area. Qt also reports moves and releases outside
    // the window while a button is held; the board never saw those.
    bool InClient(const QPoint& pt) const;
    void OnButtonDown(Qt::MouseButton button);
    bool GuidesShown() const {
        return m_pTuningChoice != nullptr && m_pTuning != nullptr && m_pTuningChoice->bGuides;
    }
    // Note lines, degree 0 named, and the sounding note with its deviation in cents.
    void PaintMidiPointer(QPainter& painter, const QRect& rc);
    bool m_bMidiMarked = false;  // the last paint marked MIDI's pointer
    void PaintGuides(QPainter& painter, const QRect& rc);

    QTimer* m_pReadoutTimer = nullptr;
};
