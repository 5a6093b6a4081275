#pragma once
// The frame view paints pictures that arrive from the stream's thread: tests that look at what
// is painted let the window run until the shown frame's picture is there.
#include <gtest/gtest.h>
#include <QTest>

#include "view/vfw_view.h"

namespace kivra::test {

inline void WaitForPicture(const CVfwView& view) {
    EXPECT_TRUE(QTest::qWaitFor([&view] { return !view.AwaitsPicture(); }, 20000))
        << "the shown frame's picture never arrived";
}

inline void PaintArrived(CVfwView& view) {
    WaitForPicture(view);
    view.repaint();
}

}  // namespace kivra::test
