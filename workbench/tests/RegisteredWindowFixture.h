#pragma once
// The wizard window over the real program starter, registered as the
// program's main window (found by its caption, reached by command keys), on a
// temporary program folder; message boxes are scripted.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/Dialogs.h"
#include "testing/TempDir.h"
#include "workbench/MainProgram.h"
#include "workbench/WizardWindow.h"

namespace talvor::workbench::test {

class RegisteredWindowFixture : public ::testing::Test {
protected:
    talvor::test::TempDir dir;
    ModuleState state;
    PlatformPrograms programs;
    platform::ScopedScriptedDialogs dialogs;
    std::unique_ptr<WizardWindow> window;
    std::unique_ptr<MainWindowRegistration> registration;
    int ended = 0;  // how often the window asked the program to end

    // Opens the window over the program folder dir, registers and shows it.
    void openWindow()
    {
        state.AppPath = dir.path();
        window = std::make_unique<WizardWindow>(programs, state);
        window->setEndProgram([this] { ++ended; });
        std::string error;
        registration = MainWindowRegistration::create(*window, &error);
        ASSERT_TRUE(registration) << error;
        window->show();
    }
    void closeWindow()
    {
        registration.reset();
        window.reset();
    }
    void TearDown() override { closeWindow(); }
};

}  // namespace talvor::workbench::test
