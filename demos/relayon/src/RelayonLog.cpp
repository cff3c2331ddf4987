#include "relayon/RelayonLog.h"

namespace talvor::relayon {

QString resultWord(std::uint32_t wParam)
{
    static const char* const kDigitWords[10] = {"Zero", "One", "Two",   "Three", "Four",
                                                "Five", "Six", "Seven", "Eight", "Nine"};
    if (wParam < 10)
        return QString::fromLatin1(kDigitWords[wParam]);
    return QString::number(wParam);
}

bool RelayonLog::handleMessage(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)
{
    if (msg != kResultMessage)
        return false;
    OnRecognitionResult(wParam, lParam);
    return true;
}

void RelayonLog::OnRecognitionResult(std::uint32_t wParam, std::int32_t lParam)
{
    QString text = lParam == m_lastUtterance ? QStringLiteral(" ") : QStringLiteral("\r\n");
    text += resultWord(wParam);
    AppendToLog(text);
    m_lastUtterance = lParam;
}

void RelayonLog::AppendToLog(const QString& s)
{
    m_text += s;
    if (m_text.size() > kLogKeep) {
        m_text = m_text.right(kLogKeep);
        // Never begin with half a character.
        if (!m_text.isEmpty() && m_text.front().isLowSurrogate())
            m_text.remove(0, 1);
    }
}

QString RelayonLog::toDisplay(const QString& logText)
{
    QString s = logText;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QString RelayonLog::fromDisplay(const QString& shown)
{
    QString s = shown;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return s;
}

}  // namespace talvor::relayon
