#pragma once

#include "platform/nsm/nsm_client.h"

#include <QObject>
#include <QTimer>

#include <string>
#include <vector>

namespace fw {

class TForm1;

// The files of a session's folder: always these names, each in the program's own format.
inline constexpr const char* kSessionChords = "memory.chords";
inline constexpr const char* kSessionPicks = "memory.picks";
inline constexpr const char* kSessionJoystick = "mapping.joy";
inline constexpr const char* kSessionBeat = "pattern.beat";
inline constexpr const char* kSessionLogs[4] = {"PL.plog", "LogA.plog", "LogB.plog", "LogC.plog"};
inline constexpr const char* kSessionSettings = "settings.conf";

// The program under a session manager: the state of the window lives in the session's folder,
// opened when the server says, saved when it says, and the server hears when the player changed
// something and whether the window shows. The window is only hidden and shown here, never
// closed: closing it hides it.
class SessionLink : public QObject {
    Q_OBJECT
public:
    SessionLink(NsmClient& nsm, TForm1& form, QObject* parent = nullptr);
    ~SessionLink() override;

    // Opens the session's folder (made when it is new), loads what it holds and answers the
    // server; then takes the server's later messages on the window's thread.
    void open(const NsmClient::Message& open);
    // Writes every file of the folder, each replaced whole, and answers.
    void save();
    const std::string& folder() const { return folder_; }
    bool dirty() const { return dirty_; }
    // SIGTERM: the session ends without saving. A take journal is kept unless the session holds
    // everything it has.
    void endNow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void takeMessages();
    void showGui(bool shown);
    void checkDirty();
    std::string fingerprint() const;
    std::string file(const char* name) const;
    // Messages about the session's files go to the session manager's log, not to a box.
    void report(const std::string& message) const;

    NsmClient& nsm_;
    TForm1& form_;
    std::string folder_;
    bool opened_ = false;
    bool dirty_ = false;
    std::string clean_; // the fingerprint of what the folder holds
    QTimer dirtyTimer_;
};

} // namespace fw
