#include "worddata/DialogsMessageOutput.h"

#include <gtest/gtest.h>

using namespace talvor;

TEST(DialogsMessageOutput, StoreFailuresBecomeMessageBoxes)
{
    platform::ScopedScriptedDialogs dialogs;
    worddata::DialogsMessageOutput output;
    worddata::WordDataStore store;
    store.setMessageOutput(&output);
    ASSERT_EQ(store.PutWordData(7, {}, {}, 0, "x"), -1);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "message");
    EXPECT_EQ(dialogs.shown[0].text, store.lastError());
    EXPECT_EQ(dialogs.shown[0].caption, "Vocabulary operations");
    EXPECT_EQ(dialogs.shown[0].icon, platform::MessageIcon::Critical);
    EXPECT_EQ(dialogs.shown[0].buttons, platform::MessageButtons::Ok);
    // Successful operations show nothing.
    ASSERT_EQ(store.NewVoc(2), 0);
    EXPECT_EQ(dialogs.shown.size(), 1u);
}
