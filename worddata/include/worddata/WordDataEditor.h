#pragma once
// The commands of the word data editor window ("Vocabulary operations"),
// without the window: a new table, open, save and save as, insert, append and
// remove a word, step through the words and time a word's playing.  The
// window (worddata_ui) shows the store's table and labels and calls these;
// its dialogs, play timer and hiding come in through EditorServices, so the
// commands are tested headless.
//
// The store belongs to the host (the signal analyser): hiding or leaving the
// window keeps its data.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "worddata/WordDataStore.h"

namespace talvor::worddata {

inline constexpr const char* kNewVocabularyPrompt = "Input size of vocabulary ( in words)";
inline constexpr const char* kNewVocabularyTitle = "New vocabulary";
inline constexpr const char* kNewVocabularyDefault = "5";
inline constexpr std::int32_t kMaxNewVocabulary = 250;
// The dialogs' filter; the file dialogs match its pattern in any letter case,
// so "x.lab" and "X.LAB" both show.
inline constexpr const char* kLabFilter = "Labs file (*.LAB)";
inline constexpr const char* kOpenCaption = "Open saved vocabulary";
inline constexpr const char* kSaveCaption = "Save vocabulary as";
// The play timer never runs longer than this.
inline constexpr std::int32_t kMaxPlayMilliseconds = 3600000;

class EditorServices {
public:
    virtual ~EditorServices() = default;
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& defaultText) = 0;
    virtual std::optional<std::string> openFile(const std::string& caption, const std::string& folder,
                                                const std::string& filter) = 0;
    virtual std::optional<std::string> saveFile(const std::string& caption, const std::string& folder,
                                                const std::string& filter) = 0;
    virtual void showError(const std::string& text) = 0;
    virtual void startPlayTimer(std::int32_t milliseconds) = 0;
    virtual void stopPlayTimer() = 0;
    virtual void hideWindow() = 0;
};

class WordDataEditor {
public:
    // The window's load step: the dialogs start in appPath, the current row is 1.
    WordDataEditor(WordDataStore& store, EditorServices& services, std::string appPath);

    WordDataStore& store() { return m_store; }
    const WordDataStore& store() const { return m_store; }
    // "Current word :": the current row's name.
    std::string txtName() const;
    // After an opening: the feature and sample counts; before it the word
    // data file the table came from (empty for a table not yet saved).
    std::string label1() const { return m_label1.empty() ? m_store.dataName() : m_label1; }
    bool playing() const { return m_playing; }
    std::int32_t playInterval() const { return m_playInterval; }
    // Called after every command that added or removed rows or made a new
    // table, so the host can refresh its own list of the words.
    void setTableChanged(std::function<void()> f) { m_tableChanged = std::move(f); }

    // --- "&File" ---
    void miNew_Click();     // input box; 1..250 words; cancel changes nothing
    void miOpen_Click();    // open dialog, then the store's Open_Data
    // The store's own name when it has one (status of the save), else as Save As.
    std::int32_t miSave_Click();
    // Save dialog; a name without an extension gets ".lab".  0 saved, 1
    // cancelled, -1 failed (the store's message is shown).
    std::int32_t miSaveAs_Click();
    void miHide_Click();    // hides the window; the data stays
    void miExit_Click();    // the same: the store belongs to the host
    void Command1_Click();  // "OK"

    // --- "&Tools" and the buttons ---
    void miPlay_Click();      // times the current word's playing: (length + 20) x 10 ms
    void cmbPlay_Click() { miPlay_Click(); }
    void cmbPlayNext_Click(); // next row and play; nothing on the last row
    void TimerPlay_Timer();   // the playing time is over
    void miInsert_Click();
    void miApend_Click();
    void miRemove_Click();

    // The user picked a row of the grid.
    void grdLab_Click(std::int32_t row);

private:
    std::string dialogFolder() const;
    void changed();
    void showStoreError();

    WordDataStore& m_store;
    EditorServices& m_services;
    std::string m_appPath;
    std::string m_label1;  // set by an opening
    bool m_playing = false;
    std::int32_t m_playInterval = 0;
    std::function<void()> m_tableChanged;
};

}  // namespace talvor::worddata
