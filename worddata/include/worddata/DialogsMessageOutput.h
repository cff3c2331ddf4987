#pragma once
// Shows the word data store's failure messages in message boxes through the
// platform's dialogs.  Header only, so that worddata_core itself stays free of
// the windowing libraries: a host that links the platform layer installs it,
//     static talvor::worddata::DialogsMessageOutput messages;
//     store.setMessageOutput(&messages);

#include "platform/Dialogs.h"
#include "worddata/WordDataStore.h"

namespace talvor::worddata {

// The caption of the word data editor's window.
inline constexpr const char* kWordDataCaption = "Vocabulary operations";

class DialogsMessageOutput : public MessageOutput {
public:
    void showError(const std::string& text) override
    {
        platform::dialogs().messageBox(text, kWordDataCaption, platform::MessageIcon::Critical,
                                       platform::MessageButtons::Ok);
    }
};

}  // namespace talvor::worddata
