// The performance board: the playing surface. The pointer's position over it sets pitch (x) and
// loudness (y), the buttons shift the pitch; every event goes straight into PerformanceState for
// the audio thread. Closing it ends the play session.
#pragma once

#include <QIcon>

#include "platform/qt/dialog.h"

class CBoardDlg : public CDialog {
public:
    explicit CBoardDlg(QWidget* pParent);

    // On entry the rectangle to open at (empty: template size, centred over the owner); on exit
    // the window rectangle it had when it was destroyed, frame included.
    RECT m_rectPlace;
    QIcon m_hIcon;

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
};
