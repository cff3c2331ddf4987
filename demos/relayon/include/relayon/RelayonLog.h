#pragma once
// Relayon's log: every run-time result message (1025: wParam = the word's
// index, lParam = the utterance counter) adds one word; the words of one
// utterance share a line, and the log keeps only its last 16000 characters.
//
// The log's text uses CR LF between lines, as the recogniser's receivers
// count it; the window shows it with plain line breaks.

#include <QString>
#include <cstdint>

namespace talvor::relayon {

inline constexpr std::uint32_t kResultMessage = 1025;  // WM_USER + 1
inline constexpr int kLogKeep = 16000;                 // characters kept after each append
inline constexpr const char* kCaption = "TALVOR recog";
inline constexpr const char* kAboutCaption = "About Relayon";
inline constexpr const char* kAboutVersion = "Relayon Version 1.0";
inline constexpr const char* kAboutMenuText = "&About Relayon...";

// "Zero" .. "Nine" for 0..9; any other value as its unsigned decimal number.
QString resultWord(std::uint32_t wParam);

class RelayonLog {
public:
    // Handles one window message; false (nothing changes) for any message
    // other than the result message.
    bool handleMessage(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);

    // Appends the word of one result: on the current line when lParam is the
    // previous result's, else on a new line (the first result too).
    void OnRecognitionResult(std::uint32_t wParam, std::int32_t lParam);
    // Appends s and keeps the last kLogKeep characters.
    void AppendToLog(const QString& s);

    const QString& text() const { return m_text; }
    // The user edited the log.
    void setText(const QString& text) { m_text = text; }
    std::int32_t lastUtterance() const { return m_lastUtterance; }

    // The log as the window shows it (CR LF -> line break) and back.
    static QString toDisplay(const QString& logText);
    static QString fromDisplay(const QString& shown);

private:
    QString m_text;
    std::int32_t m_lastUtterance = -1;
};

}  // namespace talvor::relayon
