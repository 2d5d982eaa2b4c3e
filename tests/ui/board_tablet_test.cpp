// The board played with a pen, as the window system hands tablet events to Qt: fractional
// positions, pressure, the barrel buttons and lifting; a mouse as before; F11's full screen.
#include <gtest/gtest.h>
#include <qpa/qwindowsysteminterface.h>
#include <qpa/qwindowsysteminterface_p.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QWindow>
#include <cmath>
#include <fstream>

#include "board/board_dlg.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/take_writer.h"
#include "tests/support/pitch.h"
#include "tests/support/session_support.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"

namespace {

const QPointingDevice* TestPen() {
    static const QPointingDevice* pPen = [] {
        auto* p = new QPointingDevice(
            "test pen", 4711, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
            QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 3);
        QWindowSystemInterface::registerInputDevice(p);
        return p;
    }();
    return pPen;
}

// One report of the pen, delivered before this returns. The tip is the left button.
void PenAt(CBoardDlg& board, QPointF pt, double dPressure, Qt::MouseButtons barrel = Qt::NoButton) {
    const Qt::MouseButtons buttons = (dPressure > 0 ? Qt::LeftButton : Qt::NoButton) | barrel;
    QWindowSystemInterface::handleTabletEvent(board.windowHandle(), TestPen(), pt, board.mapToGlobal(pt),
                                              buttons, dPressure, 0, 0, 0.0, 0.0, 0);
    QWindowSystemInterface::flushWindowSystemEvents();
}

void MouseAt(CBoardDlg& board, QPointF pt) {
    QMouseEvent e(QEvent::MouseMove, pt, board.mapToGlobal(pt), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&board, &e);
}

struct TabletFixture : ::testing::Test {
    void SetUp() override {
        ResetBoardFields();
        board.resize(400, 300);
        board.show();
        ASSERT_NE(board.windowHandle(), nullptr);
    }
    void TearDown() override { board.hide(); }
    CBoardDlg board{nullptr};
};

}  // namespace

TEST_F(TabletFixture, APenPlaysPitchFromXLoudnessFromPressureTimbreFromHeight) {
    PERFORMANCESTATE& ps = PerformanceState;
    board.m_tabletMode = TabletMode::LightTouch;
    PenAt(board, QPointF(100.25, 30.5), 0.3);
    EXPECT_EQ(ps.dPointerX.load(), 100.25 / 400) << "the fraction of a pixel reaches the voice";
    EXPECT_EQ(ps.dPointerY.load(), PenLoudnessY(0.3, TabletMode::LightTouch));
    EXPECT_EQ(ps.dModScale.load(), 1.0 - 30.5 / 300);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.0) << "the tip is no click";

    // The barrel buttons are the board's two buttons.
    PenAt(board, QPointF(120.75, 150.0), 0.6, Qt::MiddleButton);
    EXPECT_EQ(ps.dPointerX.load(), 120.75 / 400);
    EXPECT_EQ(ps.dModScale.load(), 0.5);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.5);
    EXPECT_EQ(ps.dRightClickFactor.load(), 1.0);
    PenAt(board, QPointF(120.75, 150.0), 0.6, Qt::RightButton);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.0);
    EXPECT_EQ(ps.dRightClickFactor.load(), 2.5);

    // Lifted: silent, the pitch where the pen left the board.
    PenAt(board, QPointF(130.5, 150.0), 0.0);
    EXPECT_EQ(ps.dPointerX.load(), 130.5 / 400);
    EXPECT_EQ(ps.dPointerY.load(), 1.0);
    EXPECT_EQ(ps.dRightClickFactor.load(), 1.0);

    // The mouse afterwards: today's fields, the full modulation strength back.
    MouseAt(board, QPointF(40, 30));
    EXPECT_EQ(ps.dPointerX.load(), 0.1);
    EXPECT_EQ(ps.dPointerY.load(), 0.1);
    EXPECT_EQ(ps.dModScale.load(), 1.0);
}

// A pen the board leaves alone becomes mouse events: here Qt makes them, as it does on platforms
// that do not make their own (X11 does).
TEST_F(TabletFixture, WithTabletsOffAPenIsTheMouse) {
    PERFORMANCESTATE& ps = PerformanceState;
    board.m_tabletMode = TabletMode::Off;
    QWindowSystemInterfacePrivate::TabletEvent::setPlatformSynthesizesMouse(false);
    PenAt(board, QPointF(200, 150), 0.9);
    PenAt(board, QPointF(100, 60), 0.05);
    EXPECT_EQ(ps.dPointerX.load(), 0.25);
    EXPECT_EQ(ps.dPointerY.load(), 0.2) << "y is the loudness, not the pressure";
    EXPECT_EQ(ps.dModScale.load(), 1.0);
    PenAt(board, QPointF(100, 60), 0.0);
    QWindowSystemInterfacePrivate::TabletEvent::setPlatformSynthesizesMouse(true);
}

TEST(Tablet, PressureCurvesReachFromSilenceToFullAndMakeLightTouchesAudible) {
    for (TabletMode mode : {TabletMode::LightTouch, TabletMode::Even, TabletMode::FirmTouch}) {
        EXPECT_EQ(PenLoudnessY(1.0, mode), 0.0) << "full pressure: the top, loudest";
        EXPECT_NEAR(PenLoudnessY(0.0, mode), 0.65, 1e-12) << "no pressure: where the board falls silent";
        double dLast = -1;
        for (int i = 100; i >= 0; --i) {
            const double y = PenLoudnessY(i / 100.0, mode);
            EXPECT_GT(y, dLast) << "less pressure is always quieter";
            dLast = y;
        }
    }
    // The voice's target amplitude at a light touch (a tenth of full pressure).
    const auto amp = [](double y) { return std::max(0.0, 0.8 - (y > 0.5 ? 2 * y - 0.5 : y)); };
    EXPECT_NEAR(amp(PenLoudnessY(0.1, TabletMode::LightTouch)), 0.8 * std::sqrt(0.1), 1e-12);
    EXPECT_NEAR(amp(PenLoudnessY(0.1, TabletMode::Even)), 0.08, 1e-12);
    EXPECT_NEAR(amp(PenLoudnessY(0.1, TabletMode::FirmTouch)), 0.008, 1e-12);
}

// What the pen left in the shared record, written as a take and read back, renders at the
// fractional position's pitch, and its height scales the modulation.
TEST(Tablet, ATakeOfThePenRendersTheFractionalPitchAndTheTimbre) {
    TempDir dir;
    const std::string path = dir.Path("pen.csv");
    {
        CTakeWriter take;
        ASSERT_TRUE(take.Start(path, "a pen"));
        TakeRow row{0, 100.25 / 400, PenLoudnessY(0.5, TabletMode::LightTouch), false, false, false};
        row.dModScale = 0.25;
        take.Queue().TryPush(row);
        TakeRow end = row;
        end.nSample = 44100;
        end.bEnd = true;
        take.Queue().TryPush(end);
        ASSERT_TRUE(take.Stop());
    }
    std::ifstream in(path);
    std::vector<GestureRow> rows;
    std::string strError;
    ASSERT_TRUE(ParseGestureScript(in, rows, strError)) << strError;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].dX, 100.25 / 400);
    EXPECT_EQ(rows[0].dModScale, 0.25);

    std::vector<std::int16_t> out;
    ASSERT_TRUE(RenderSession(StartupSession(), rows, nullptr, out));
    const PitchMapping map = MappingOf(PerformanceState);
    const double dWant = std::exp2(map.Log2HzAt(100.25 / 400));
    const double dCents = 1200 * std::log2(MeasureHz(out, 22050, 44100) / dWant);
    EXPECT_LT(std::fabs(dCents), 0.5);
    EXPECT_GT(1200 * std::log2(dWant / std::exp2(map.Log2HzAt(100.0 / 400))), 3.0)
        << "the quarter pixel is heard";

    // A quarter of the modulation strength is a tone of a quarter of the depth (20 → 5).
    SessionSettings quarter = StartupSession();
    quarter.texts.strModDepth = "5";
    std::vector<GestureRow> plain = rows;
    for (GestureRow& r : plain) r.dModScale = 1.0;
    std::vector<std::int16_t> reference;
    ASSERT_TRUE(RenderSession(quarter, plain, nullptr, reference));
    EXPECT_EQ(out, reference);
}

TEST(Board, F11TogglesFullScreenAndTheBoardRemembersItsWindow) {
    CBoardDlg board(nullptr);
    board.m_rectPlace = RECT{100, 120, 500, 420};
    bool bFull = false, bBack = false;
    RunModal(board, [&] {
        QKeyEvent f11(QEvent::KeyPress, Qt::Key_F11, Qt::NoModifier);
        QApplication::sendEvent(&board, &f11);
        bFull = board.windowState() & Qt::WindowFullScreen;
        QApplication::sendEvent(&board, &f11);
        bBack = !(board.windowState() & Qt::WindowFullScreen);
        QApplication::sendEvent(&board, &f11);  // closed while full screen
    });
    EXPECT_TRUE(bFull);
    EXPECT_TRUE(bBack);
    EXPECT_EQ(board.m_rectPlace, (RECT{100, 120, 500, 420})) << "the windowed rectangle, not the screen";
}
