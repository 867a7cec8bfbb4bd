#pragma once

#include "logs/log_player.h"
#include "logs/qt_play_logs_host.h"
#include "logs/wav_render.h"
#include "ui/qt_wake_timer.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>

namespace fw {

class Guitar;
struct WavJob;
struct LogLoad;
class PianoRollWindow;

// The "Play Logs" tab: the play log that live play writes to, the slots Log A, B and C, and
// what records, replays, merges, saves and exports them.
class PlayLogsPage : public QWidget {
    Q_OBJECT
public:
    PlayLogsPage(Guitar& guitar, PlayLogsHost& host, QWidget* parent = nullptr);
    ~PlayLogsPage() override;

    // Handlers, named after their controls.
    void Button81Click(); // "RESET and  RECORD"
    void Button82Click(); // "Replay"
    void Button11Click(); // "Play"
    void Button8Click();  // "Stop"
    void R2IMemoChange();
    void Button10Click();       // "Save to Log A"
    void Button13Click();       // "Save to Log B"
    void Button14Click();       // "PL+LA->"
    void Button15Click();       // "PL+LB->"
    void Button16Click();       // "LA+LB->"
    void Button18Click();       // "PL<---LC"
    void Button52Click();       // "Save Play Log to MIDI file"
    void SaveWavClick();        // "Save Play Log to WAV file"
    void SaveLogClick(int log); // "Save Log..." under log 0..3
    void LoadLogClick(int log); // "Load Log..." under log 0..3

    // Merges first and second by time into Log C. A line without a valid time stops it with a
    // message and leaves Log C as it was.
    void mergeLogs(QPlainTextEdit* first, QPlainTextEdit* second);

    QPlainTextEdit* R2IMemo = nullptr;  // "PL"
    QPlainTextEdit* R2IMemo2 = nullptr; // "Log A"
    QPlainTextEdit* R2IMemo3 = nullptr; // "Log B"
    QPlainTextEdit* R2IMemo4 = nullptr; // "Log C"
    QLineEdit* LineCount1 = nullptr;
    QPushButton* Button81 = nullptr;
    QPushButton* Button82 = nullptr;
    QPushButton* Button11 = nullptr;
    QPushButton* Button8 = nullptr;
    QPushButton* Button10 = nullptr;
    QPushButton* Button13 = nullptr;
    QPushButton* Button14 = nullptr;
    QPushButton* Button15 = nullptr;
    QPushButton* Button16 = nullptr;
    QPushButton* Button18 = nullptr;
    QPushButton* Button52 = nullptr;
    QPushButton* SaveWavButton = nullptr;
    QProgressBar* WavProgress = nullptr;
    QProgressBar* LoadProgress = nullptr; // a long "Load Log..." filling its log
    QPushButton* WavCancelButton = nullptr;
    std::array<QPushButton*, 4> SaveLogButtons{};
    std::array<QPushButton*, 4> LoadLogButtons{};
    std::array<QPushButton*, 4> PianoRollButtons{};
    // "Piano Roll" under log 0..3: the log's window, made when first opened.
    void PianoRollClick(int log);
    PianoRollWindow* pianoRoll(int log) const { return pianoRolls_[static_cast<std::size_t>(log)]; }

    // The four logs in order PL, Log A, Log B, Log C.
    std::array<QPlainTextEdit*, 4> logs() const { return {R2IMemo, R2IMemo2, R2IMemo3, R2IMemo4}; }
    // Lines of a log: text blocks, not counting an empty last one. Never scans the text.
    static int lineCount(const QPlainTextEdit* log);
    // A log's text as 8-bit characters, lines separated by LF.
    static std::string logText(const QPlainTextEdit* log);
    static void setLogText(QPlainTextEdit* log, const std::string& text);

    LogPlayer& player() { return player_; }
    bool rendering() const { return wav_ != nullptr; }
    bool loading() const { return load_ != nullptr; }
    bool busy() const { return player_.running() || rendering() || loading(); }
    // Replay and play wake on this timer (the window's own unless a test puts its own).
    void setWakeTimer(WakeTimer* timer);
    // What "Save Play Log to WAV file" renders with.
    WavRenderSettings& wavRenderSettings() { return wavSettings_; }
    // Logs that changed since they were last saved or loaded are written here when the window
    // closes, so a performance is never lost.
    QString recoveryDir() const { return recoveryDir_; }
    void setRecoveryDir(const QString& dir) { recoveryDir_ = dir; }
    // Writes every unsaved log that holds notes played into the recovery folder; returns the
    // files written. Only the newest kKeptLogFiles such takes stay there.
    QStringList keepUnsavedLogs();
    static constexpr int kKeptLogFiles = 40;
    bool unsaved(int log) const { return unsaved_[static_cast<std::size_t>(log)]; }

    // Keeps the take being recorded in the guitar's journal under dataFolder ("journal/"), so
    // that it outlives a crash, and says here when it cannot be written; a clean exit removes the
    // journal. Without this call (in tests) there is no journal.
    void keepTakesIn(const QString& dataFolder);
    // Offers the takes that runs which did not end cleanly left behind: back into "PL", or kept
    // as files in "takes/" under the data folder. Nothing is removed without the player's word.
    void recoverTakes();

signals:
    void playbackEnded();
    void renderEnded();
    void loadEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPage();
    void playback(QPlainTextEdit* log, bool replay);
    void playbackDone(const LogPlayer::Result& result);
    void renderDone();
    void loadRead();
    void pourLoad();
    void finishLoad();
    void showRenderProgress();
    void setLongActionsEnabled(bool on);
    void copyLog(QPlainTextEdit* from, QPlainTextEdit* to);
    bool holdsTake(int log) const;
    void pruneKeptLogs();
    // At close: false when the player chose to stay, to save the take that cannot be kept.
    bool takeKeptAtClose();

    Guitar& guitar_;
    PlayLogsHost& host_;
    QWidget* mainWindow_;
    QtWakeTimer qtWake_;
    LogPlayer player_;
    std::unique_ptr<LogSource> playing_;
    // Which live timers a replay paused; nothing during "Play".
    std::optional<PlayLogsHost::LiveTimers> paused_;
    WavRenderSettings wavSettings_;
    std::unique_ptr<WavJob> wav_;
    std::unique_ptr<LogLoad> load_;
    QStackedWidget* wavStack_ = nullptr;
    QTimer wavProgressTimer_;
    std::array<PianoRollWindow*, 4> pianoRolls_{};
    std::array<bool, 4> unsaved_{};
    QString recoveryDir_;
    std::string keepError_; // why the last keeping of unsaved logs failed
};

} // namespace fw
