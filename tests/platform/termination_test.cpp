#include "platform/termination.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <csignal>

namespace {

void ProcessEventsFor(int rounds) {
    for (int i = 0; i < rounds; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

TEST(Termination, ASignalBeforeAnyHandlerWaitsForOne) {
    platform::CatchTerminationSignals();
    platform::SetTerminationHandler(nullptr);
    ASSERT_EQ(raise(SIGHUP), 0);  // would end the process if it were not caught
    ProcessEventsFor(20);
    int calls = 0;
    platform::SetTerminationHandler([&calls] { ++calls; });
    EXPECT_EQ(calls, 0) << "the handler runs once the event loop turns, not inside the setter";
    ProcessEventsFor(20);
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(raise(SIGTERM), 0);
    ProcessEventsFor(20);
    EXPECT_EQ(calls, 2);
    platform::SetTerminationHandler(nullptr);
}

}  // namespace
