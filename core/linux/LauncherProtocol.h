#pragma once

// The lines TimoraDesk and the kiosk launcher exchange on the socket the launcher hands the
// program (descriptor LauncherFd, named in the program's environment as FdVariable). Plain C++
// without Qt: the setuid launcher includes it too, so both sides read and write the same texts.
//
//   program -> launcher   "session MINUTES"  an ordinary user's session starts (below zero:
//                                            without limit); the launcher starts the desktop and
//                                            keeps the deadline
//   program -> launcher   "end"              the session is over: the launcher ends every
//                                            program of the kiosk account, then answers
//   launcher -> program   "ended"            (or "unclean": some could not be ended) the kiosk
//                                            account runs nothing more; the power action may go
//   program -> launcher   "again"            the restart or shut-down was refused: the launcher
//                                            starts the program anew once it has ended, so that
//                                            the logon window comes back instead of the display
//                                            manager's
#include <string>

namespace LauncherProtocol {

constexpr int LauncherFd = 3;
constexpr const char *FdVariable = "TIMORA_LAUNCHER_FD";
// How long past a session's last minute the program has to end the session itself.
constexpr int GraceSeconds = 5;
// A line longer than this is not one of the protocol's: what was gathered is dropped.
constexpr std::size_t MaxLine = 256;

constexpr const char *End = "end";
constexpr const char *Ended = "ended";
constexpr const char *Unclean = "unclean";
constexpr const char *Again = "again";

inline std::string sessionLine(long minutes)
{
    return "session " + std::to_string(minutes);
}

// What one line from the program says.
struct Message
{
    enum class Kind { Unknown, Session, End, Again };
    Kind kind = Kind::Unknown;
    long minutes = 0;
};

inline Message parse(const std::string &line)
{
    Message message;
    const std::string prefix = "session ";
    if (line.rfind(prefix, 0) == 0) {
        // A decimal number and nothing else: no blank, no sign but a leading minus.
        const std::string number = line.substr(prefix.size());
        const std::size_t digits = number.size() - (number.rfind('-', 0) == 0 ? 1 : 0);
        if (digits == 0 || digits > 9 ||
            number.find_first_not_of("0123456789", number.size() - digits) != std::string::npos)
            return message;
        message.kind = Message::Kind::Session;
        message.minutes = std::stol(number);
    } else if (line == End) {
        message.kind = Message::Kind::End;
    } else if (line == Again) {
        message.kind = Message::Kind::Again;
    }
    return message;
}

// Gathers what is read into lines; a line that grows past MaxLine is dropped whole.
class LineReader
{
public:
    template<typename OnLine> void take(const char *data, std::size_t size, OnLine onLine)
    {
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] != '\n') {
                if (m_pending.size() < MaxLine)
                    m_pending.push_back(data[i]);
                else
                    m_overlong = true;
                continue;
            }
            if (!m_overlong)
                onLine(m_pending);
            m_pending.clear();
            m_overlong = false;
        }
    }

private:
    std::string m_pending;
    bool m_overlong = false;
};

} // namespace LauncherProtocol
