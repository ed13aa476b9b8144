#ifndef DESKCLOCK_TESTS_CLOCK_FIXTURE_H
#define DESKCLOCK_TESTS_CLOCK_FIXTURE_H

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

// Dispatches everything pending, as the message loop would; a quit request is
// left in place for TakeQuit.
void PumpMessages();

// Removes a pending quit request; true if there was one, with its code.
bool TakeQuit(WPARAM* code = nullptr);

// Stands in for starting a process, and remembers what would have started.
struct LaunchRecord {
    int calls = 0;
    std::string application;
    std::string commandLine;
};
extern LaunchRecord launched;
bool RecordLaunch(const char* application, char* commandLine);

// The clock window created in this process as start-up creates it, with the
// skin loaded, shown, and its creation messages pumped.
class ClockWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;

    HWND Child(int id) { return GetDlgItem(window, id); }
    bool Visible(int id) { return IsWindowVisible(Child(id)) != FALSE; }
    void Key(WPARAM key);

    HWND window = nullptr;
};

#endif
