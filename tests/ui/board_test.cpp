// The performance board: pointer mapping, buttons, placement, painting, and its closing.
#include "board/board_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <chrono>
#include <cmath>

#include "app/aerolyre_dlg.h"
#include "engine/parameter_derivation.h"
#include "engine/performance_parameters.h"
#include "engine/performance_state.h"
#include "engine/pitch_mapping.h"
#include "engine/session.h"
#include "tests/ui/ui_test_support.h"

namespace {

void Send(QWidget& w, QEvent::Type type, QPoint pt, Qt::MouseButton button = Qt::NoButton,
          Qt::MouseButtons buttons = Qt::NoButton) {
    QMouseEvent e(type, QPointF(pt), w.mapToGlobal(QPointF(pt)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

struct BoardFixture : ::testing::Test {
    void SetUp() override { ResetBoardFields(); }
};

}  // namespace

TEST_F(BoardFixture, PointerMapsToFractionsOfTheClientSize) {
    CBoardDlg board(nullptr);
    for (QSize size : {QSize(400, 300), QSize(123, 77), QSize(1000, 20)}) {
        board.resize(size);
        ASSERT_EQ(board.rect().size(), size);
        for (QPoint pt :
             {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1), QPoint(size.width() / 3, 7)}) {
            Send(board, QEvent::MouseMove, pt);
            EXPECT_EQ(PerformanceState.dPointerX.load(), static_cast<double>(pt.x()) / size.width());
            EXPECT_EQ(PerformanceState.dPointerY.load(), static_cast<double>(pt.y()) / size.height());
        }
    }
}

TEST_F(BoardFixture, PositionsOutsideTheClientAreaAreIgnored) {
    CBoardDlg board(nullptr);
    board.resize(200, 100);
    Send(board, QEvent::MouseMove, QPoint(50, 50));
    for (QPoint pt : {QPoint(200, 50), QPoint(-1, 50), QPoint(50, 100), QPoint(300, 300)}) {
        Send(board, QEvent::MouseMove, pt, Qt::NoButton, Qt::LeftButton);
        EXPECT_EQ(PerformanceState.dPointerX.load(), 0.25);
        EXPECT_EQ(PerformanceState.dPointerY.load(), 0.5);
    }
    // A board without a client area reports nothing, rather than dividing by zero.
    board.resize(0, 0);
    Send(board, QEvent::MouseMove, QPoint(0, 0));
    EXPECT_EQ(PerformanceState.dPointerX.load(), 0.25);
}

TEST_F(BoardFixture, ButtonsSetAndRestoreTheirClickFactors) {
    CBoardDlg board(nullptr);
    board.resize(200, 100);
    PERFORMANCESTATE& ps = PerformanceState;
    const QPoint in(10, 10);
    Send(board, QEvent::MouseButtonPress, in, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.5);
    EXPECT_EQ(ps.dRightClickFactor.load(), 1.0);
    Send(board, QEvent::MouseButtonPress, in, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    EXPECT_EQ(ps.dRightClickFactor.load(), 2.5) << "both held: both in force";
    Send(board, QEvent::MouseButtonRelease, in, Qt::LeftButton, Qt::RightButton);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.0);
    EXPECT_EQ(ps.dRightClickFactor.load(), 2.5) << "releasing one restores only that one";
    Send(board, QEvent::MouseButtonRelease, in, Qt::RightButton);
    EXPECT_EQ(ps.dRightClickFactor.load(), 1.0);

    // A double-click is a second press, not a toggle.
    Send(board, QEvent::MouseButtonPress, in, Qt::LeftButton, Qt::LeftButton);
    Send(board, QEvent::MouseButtonRelease, in, Qt::LeftButton);
    Send(board, QEvent::MouseButtonDblClick, in, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.5);
    // Released outside the board: the board never hears of it.
    Send(board, QEvent::MouseButtonRelease, QPoint(500, 10), Qt::LeftButton);
    EXPECT_EQ(ps.dLeftClickFactor.load(), 1.5);
}

TEST_F(BoardFixture, SavedRectangleReopensWhereItWas) {
    CBoardDlg board(nullptr);
    board.m_rectPlace = RECT{100, 120, 500, 420};
    RECT seen{};
    RunModal(board, [&] { seen = board.GetWindowRect(); });
    EXPECT_EQ(seen, (RECT{100, 120, 500, 420}));
    EXPECT_EQ(board.m_rectPlace, (RECT{100, 120, 500, 420})) << "stored again as it was at the end";
}

TEST_F(BoardFixture, EmptyRectangleCentresTheTemplateSizeOverTheMainDialog) {
    CAerolyreDlg main;
    main.move(200, 150);
    main.show();
    CBoardDlg board(&main);
    board.m_rectPlace = RECT{10, 10, 10, 300};  // empty: no width
    QRect boardFrame;
    RunModal(board, [&] { boardFrame = board.frameGeometry(); });
    EXPECT_EQ(board.size(), board.MapDialogRect(0, 0, 310, 193).size());
    EXPECT_NEAR(boardFrame.center().x(), main.frameGeometry().center().x(), 1);
    EXPECT_NEAR(boardFrame.center().y(), main.frameGeometry().center().y(), 1);
    main.hide();
}

TEST_F(BoardFixture, PaintsTheGridAndTheGuide) {
    CBoardDlg board(nullptr);
    board.resize(300, 200);
    const QImage img = board.grab().toImage();
    ASSERT_EQ(img.size(), QSize(300, 200));
    const QRgb green = qRgb(0, 128, 0), black = qRgb(0, 0, 0);
    // Grid lines from 3 pixels in, every 20.
    EXPECT_EQ(img.pixel(3, 1), green);
    EXPECT_EQ(img.pixel(23, 1), green);
    EXPECT_EQ(img.pixel(1, 3), green);
    EXPECT_EQ(img.pixel(1, 43), green);
    EXPECT_EQ(img.pixel(4, 1), black);
    EXPECT_EQ(img.pixel(13, 13), black);
    // The guide's text colour appears only in the band of the five lines, B−83 to B−23+12.
    auto guideInRows = [&](int y0, int y1) {
        int n = 0;
        for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                const QColor c = img.pixelColor(x, y);
                if (c.red() > 100 && c.green() > 60 && c.blue() < 60) ++n;
            }
        }
        return n;
    };
    const int B = 200;
    EXPECT_EQ(guideInRows(0, B - 83), 0);
    for (int offset : {83, 68, 53, 38, 23}) EXPECT_GT(guideInRows(B - offset, B - offset + 13), 20) << offset;
    EXPECT_EQ(guideInRows(B - 23 + 15, B), 0);
}

// How long this takes is measured by BM_StopWithTheThreadAlreadyGone.
TEST_F(BoardFixture, ClosingWithTheThreadAlreadyGoneStillRequestsTheStop) {
    CBoardDlg board(nullptr);
    PerformanceState.bRunning.store(1);
    RunModal(board, [] {});
    EXPECT_EQ(PerformanceState.bRunning.load(), 0);
    EXPECT_EQ(PerformanceState.nActiveThreads.load(), 0);
}

TEST_F(BoardFixture, GuidesAppearWhereTheirNotesSoundAndTheKeysToggleThem) {
    // The start-up mapping: range 5, x1.
    SessionSettings s;
    s.texts = StartupParameterTexts();
    ASSERT_EQ(DeriveParameters(s.texts, 0, kOverCycleItemData[0]), 0u);
    const CTuning tet = CTuning::EqualTemperament();
    TuningChoice choice;
    CBoardDlg board(nullptr);
    board.m_pTuningChoice = &choice;
    board.m_pTuning = &tet;
    board.resize(600, 200);
    const PitchMapping map = MappingOf(PerformanceState);
    const int pxC4 = static_cast<int>(std::lround(map.XForLog2Hz(std::log2(261.6256)) * 600));
    const QRgb root = qRgb(120, 180, 255);
    // Off: the board as it always was.
    EXPECT_NE(board.grab().toImage().pixel(pxC4, 100), root);

    auto press = [&](Qt::Key key) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&board, &e);
    };
    press(Qt::Key_G);
    EXPECT_TRUE(choice.bGuides);
    const QImage img = board.grab().toImage();
    EXPECT_EQ(img.pixel(pxC4, 100), root) << "C4 at x = " << pxC4;
    EXPECT_NE(img.pixel(pxC4 + 10, 100), root);
    // Resized, the line moves with the mapping.
    board.resize(900, 200);
    const int px900 = static_cast<int>(std::lround(map.XForLog2Hz(std::log2(261.6256)) * 900));
    EXPECT_EQ(board.grab().toImage().pixel(px900, 100), root);

    // Q acts only in a session that follows a tuning.
    PerformanceState.pQuantiseTuning = nullptr;
    press(Qt::Key_Q);
    EXPECT_FALSE(choice.bQuantise);
    PerformanceState.pQuantiseTuning = &tet;
    PerformanceState.bQuantiseOn.store(false);
    press(Qt::Key_Q);
    EXPECT_TRUE(choice.bQuantise);
    EXPECT_TRUE(PerformanceState.bQuantiseOn.load());
    press(Qt::Key_Q);
    press(Qt::Key_G);
    EXPECT_FALSE(choice.bQuantise);
    EXPECT_FALSE(PerformanceState.bQuantiseOn.load());
    EXPECT_NE(board.grab().toImage().pixel(px900, 100), root);
    PerformanceState.pQuantiseTuning = nullptr;
}
