#pragma once
// A Relayon log in another process (relayon_test_probe), for the run-time
// tests whose analyser lives in the test process: started on the analyser's
// default caption, its whole log read after every result message.

#include <QProcess>
#include <string>
#include <vector>

#include "common/ModuleState.h"
#include "testing/EventLoop.h"

namespace talvor::test {

class RelayonProbe {
public:
    RelayonProbe()
    {
        m_process.setProgram(QStringLiteral(RELAYON_TEST_PROBE));
        m_process.setArguments({QString::fromLatin1(kDefaultRTwCapt)});
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
    }
    ~RelayonProbe() { finish(); }

    // True once the probe's window has its caption.
    bool waitReady()
    {
        return m_process.waitForStarted(5000) && serveEventsUntil([&] { read(); return m_ready; }, 10000, 5);
    }
    void read()
    {
        while (m_process.canReadLine()) {
            const std::string line = m_process.readLine().trimmed().toStdString();
            if (line == "READY")
                m_ready = true;
            else if (line.rfind("LOG ", 0) == 0)
                m_log = line.substr(4);
        }
    }
    // The whole log, CR and LF written as \r and \n.
    const std::string& log() const { return m_log; }
    // One entry per utterance: the words posted for it.
    std::vector<std::string> utterances() const
    {
        std::vector<std::string> out;
        std::size_t at = 0;
        while (at <= m_log.size()) {
            std::size_t end = m_log.find("\\r\\n", at);
            if (end == std::string::npos)
                end = m_log.size();
            if (end > at)
                out.push_back(m_log.substr(at, end - at));
            at = end + 4;
        }
        return out;
    }
    // Closes the probe's input, which ends it; true when it ended.
    bool finish()
    {
        if (m_process.state() == QProcess::NotRunning)
            return m_finished;
        m_process.closeWriteChannel();
        m_finished = m_process.waitForFinished(5000);
        if (!m_finished)
            m_process.kill();
        return m_finished;
    }

private:
    QProcess m_process;
    bool m_ready = false;
    bool m_finished = false;
    std::string m_log;
};

}  // namespace talvor::test
