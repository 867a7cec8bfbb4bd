#include "logs/qt_play_logs_page.h"

#include "app/qt_main_window.h"
#include "beats/qt_beat_manager_page.h"
#include "engine/fluid_synth_port.h"
#include "engine/prompts.h"
#include "engine/sound_settings.h"
#include "logs/log_files.h"
#include "logs/merge_logs.h"
#include "logs/midi_file.h"
#include "logs/qt_log_view.h"
#include "logs/wav_render.h"

#include "ui/qt_widgets.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTextBlock>
#include <QVBoxLayout>

#include <chrono>
#include <future>
#include <optional>
#include <thread>

namespace fw {

namespace {

const char* const kLogCaptions[4] = {"PL", "Log A", "Log B", "Log C"};
const char* const kLogFileStems[4] = {"PL", "LogA", "LogB", "LogC"};
// Older kept logs beyond this many are removed, so the folder cannot grow without end.
constexpr int kKeptLogFiles = 40;
// A rendering that takes longer than this shows its progress.
constexpr int kShowProgressAfterMs = 300;

// A log view read line by line, as a playback reads it while the user may edit it.
class MemoLines final : public LogSource {
public:
    explicit MemoLines(const QPlainTextEdit* memo) : memo_(memo) {}
    int lineCount() const override { return PlayLogsPage::lineCount(memo_); }
    std::string line(int index) const override {
        return logViewLine(memo_->document()->findBlockByNumber(index));
    }

private:
    const QPlainTextEdit* memo_;
};

// While a playback runs the sequencer and the pitch updater are paused; they come back on every
// way out, whatever ends the playback.
class LiveTimersPaused {
public:
    explicit LiveTimersPaused(TForm1& form)
        : form_(form), sequencer_(form.Timer2 && form.Timer2->isEnabled()),
          pitch_(form.PitchUpdater && form.PitchUpdater->isActive()) {
        if (form_.Timer2)
            form_.Timer2->stop();
        if (form_.PitchUpdater)
            form_.PitchUpdater->stop();
    }
    ~LiveTimersPaused() {
        if (pitch_)
            form_.PitchUpdater->start();
        if (sequencer_)
            form_.Timer2->start();
    }
    LiveTimersPaused(const LiveTimersPaused&) = delete;
    LiveTimersPaused& operator=(const LiveTimersPaused&) = delete;

private:
    TForm1& form_;
    bool sequencer_;
    bool pitch_;
};

} // namespace

PlayLogsPage::PlayLogsPage(TForm1& form, QWidget* parent)
    : QWidget(parent), form_(form), player_(form.output(), qtPump_) {
    setObjectName("PlayLogsPage");
    recoveryDir_ =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/unsaved-logs";
    buildPage();
    form_.installEventFilter(this);
}

PlayLogsPage::~PlayLogsPage() {
    player_.stop();
    cancelRender_ = true;
}

void PlayLogsPage::buildPage() {
    auto* outer = new QVBoxLayout(this);
    // One grid for the four logs so that they line up whatever buttons sit under each.
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(new QLabel(kLogCaptions[i], this), 0, i);
        auto* memo = makeMemo(i == 0 ? QString("R2IMemo") : QString("R2IMemo%1").arg(i + 1), this);
        memo->setMinimumWidth(120);
        grid->addWidget(memo, 1, i);
        (i == 0 ? R2IMemo : i == 1 ? R2IMemo2 : i == 2 ? R2IMemo3 : R2IMemo4) = memo;
        // One above the other: four logs side by side leave each column too narrow for two.
        SaveLogButtons[i] = makeButton(QString("SaveLogButton%1").arg(i + 1), "Save Log...", this);
        LoadLogButtons[i] = makeButton(QString("LoadLogButton%1").arg(i + 1), "Load Log...", this);
        grid->addWidget(SaveLogButtons[i], 2, i);
        grid->addWidget(LoadLogButtons[i], 3, i);
        grid->setColumnStretch(i, 1);
    }
    grid->setRowStretch(1, 1);

    Button81 = makeButton("Button81", "RESET and  RECORD", this);
    Button82 = makeButton("Button82", "Replay", this);
    Button8 = makeButton("Button8", "Stop", this);
    grid->addWidget(Button81, 4, 0);
    auto* replayRow = new QHBoxLayout;
    replayRow->addWidget(Button82);
    replayRow->addWidget(Button8);
    grid->addLayout(replayRow, 5, 0);

    Button11 = makeButton("Button11", "Play", this);
    Button10 = makeButton("Button10", "Save to Log A", this);
    grid->addWidget(Button11, 4, 1);
    grid->addWidget(Button10, 5, 1);

    Button13 = makeButton("Button13", "Save to Log B", this);
    grid->addWidget(Button13, 5, 2);

    Button14 = makeButton("Button14", "PL+LA->", this);
    Button15 = makeButton("Button15", "PL+LB->", this);
    Button16 = makeButton("Button16", "LA+LB->", this);
    Button18 = makeButton("Button18", "PL<---LC", this);
    auto* mergeA = new QHBoxLayout;
    mergeA->addWidget(Button14);
    mergeA->addWidget(Button15);
    grid->addLayout(mergeA, 4, 3);
    auto* mergeB = new QHBoxLayout;
    mergeB->addWidget(Button16);
    mergeB->addWidget(Button18);
    grid->addLayout(mergeB, 5, 3);
    outer->addLayout(grid, 1);
    // The buttons may be narrower than Qt's usual minimum so that the page fits the window.
    for (auto* b : findChildren<QPushButton*>())
        b->setMinimumWidth(30);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(new QLabel("Lines:", this));
    // A read-only box rather than a label: the count changes with every line played, and a label
    // asks the whole page to lay itself out again on every change of its text.
    LineCount1 = new QLineEdit("0", this);
    LineCount1->setObjectName("LineCount1");
    LineCount1->setReadOnly(true);
    LineCount1->setFrame(false);
    LineCount1->setFocusPolicy(Qt::NoFocus);
    LineCount1->setStyleSheet("background: transparent;");
    LineCount1->setFixedWidth(LineCount1->fontMetrics().horizontalAdvance("00000000") + 4);
    bottom->addWidget(LineCount1);
    Button52 = makeButton("Button52", "Save Play Log to MIDI file", this);
    SaveWavButton = makeButton("SaveWavButton", "Save Play Log to WAV file", this);
    bottom->addWidget(Button52);
    bottom->addWidget(SaveWavButton);
    WavProgress = new QProgressBar(this);
    WavProgress->setObjectName("WavProgress");
    WavProgress->setRange(0, 1000);
    WavProgress->hide();
    WavCancelButton = makeButton("WavCancelButton", "Cancel", this);
    WavCancelButton->hide();
    bottom->addWidget(WavProgress, 1);
    bottom->addWidget(WavCancelButton);
    bottom->addStretch(0);
    outer->addLayout(bottom);
    auto* note = new QLabel("Logs you have not saved are kept when Fretwright closes.", this);
    note->setToolTip("They are kept in " + QDir::toNativeSeparators(recoveryDir_));
    note->setObjectName("RecoveryNote");
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(note);

    for (int i = 0; i < 4; ++i) {
        QPlainTextEdit* memo = logs()[i];
        connect(memo, &QPlainTextEdit::textChanged, this, [this, i] {
            unsaved_[static_cast<std::size_t>(i)] = true;
            R2IMemoChange();
        });
        connect(SaveLogButtons[i], &QPushButton::clicked, this, [this, i] { SaveLogClick(i); });
        connect(LoadLogButtons[i], &QPushButton::clicked, this, [this, i] { LoadLogClick(i); });
    }
    connect(Button81, &QPushButton::clicked, this, &PlayLogsPage::Button81Click);
    connect(Button82, &QPushButton::clicked, this, &PlayLogsPage::Button82Click);
    connect(Button11, &QPushButton::clicked, this, &PlayLogsPage::Button11Click);
    connect(Button8, &QPushButton::clicked, this, &PlayLogsPage::Button8Click);
    connect(Button10, &QPushButton::clicked, this, &PlayLogsPage::Button10Click);
    connect(Button13, &QPushButton::clicked, this, &PlayLogsPage::Button13Click);
    connect(Button14, &QPushButton::clicked, this, &PlayLogsPage::Button14Click);
    connect(Button15, &QPushButton::clicked, this, &PlayLogsPage::Button15Click);
    connect(Button16, &QPushButton::clicked, this, &PlayLogsPage::Button16Click);
    connect(Button18, &QPushButton::clicked, this, &PlayLogsPage::Button18Click);
    connect(Button52, &QPushButton::clicked, this, &PlayLogsPage::Button52Click);
    connect(SaveWavButton, &QPushButton::clicked, this, &PlayLogsPage::SaveWavClick);
    connect(WavCancelButton, &QPushButton::clicked, this, [this] { cancelRender_ = true; });
}

void PlayLogsPage::setEventPump(EventPump* pump) {
    pump_ = pump ? pump : &qtPump_;
    player_.setPump(*pump_);
}

// ---- log text -------------------------------------------------------------------------------

int PlayLogsPage::lineCount(const QPlainTextEdit* log) {
    const QTextDocument* doc = log->document();
    // A line end after the last line does not start another line.
    const int blocks = doc->blockCount();
    return doc->lastBlock().length() <= 1 ? blocks - 1 : blocks;
}

std::string PlayLogsPage::logText(const QPlainTextEdit* log) {
    return logViewBytes(*log->document());
}

namespace {
// Filling a text box takes about four microseconds a line; a log of hundreds of thousands of
// lines shows the wait cursor meanwhile.
constexpr qsizetype kLongText = 1 << 20;

void fillLog(QPlainTextEdit* log, const QString& text) {
    const bool longText = text.size() > kLongText;
    if (longText)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    log->setPlainText(text);
    if (longText)
        QGuiApplication::restoreOverrideCursor();
}
} // namespace

void PlayLogsPage::setLogText(QPlainTextEdit* log, const std::string& text) {
    fillLog(log, logViewText(text));
}

void PlayLogsPage::R2IMemoChange() {
    LineCount1->setText(QString::number(lineCount(R2IMemo)));
}

// ---- recording and playback -----------------------------------------------------------------

void PlayLogsPage::Button81Click() {
    MidiOutput& out = form_.output();
    out.logStartTime = out.clockReading();
    // The pitch updater sends, and so logs, the instrument and the bend again on its next tick.
    form_.engine().st.sentInstrument = -1;
    form_.engine().st.sentBend = -1;
    R2IMemo->clear();
    if (form_.BeatManager)
        form_.BeatManager->ListBox5Click();
}

void PlayLogsPage::Button82Click() {
    playback(R2IMemo, true);
}

void PlayLogsPage::Button11Click() {
    playback(R2IMemo2, false);
}

void PlayLogsPage::Button8Click() {
    player_.stop();
}

void PlayLogsPage::playback(QPlainTextEdit* log, bool replay) {
    if (busy())
        return;
    setLongActionsEnabled(false);
    LogPlayer::Result result;
    {
        std::optional<LiveTimersPaused> paused;
        if (replay) {
            paused.emplace(form_);
            form_.Button79Click(); // "STOP Play Mode"
        }
        const MemoLines lines(log);
        result = player_.play(lines);
    }
    setLongActionsEnabled(true);
    if (result.end == LogPlayer::End::Failed)
        form_.prompts().showMessage(result.error);
}

void PlayLogsPage::setLongActionsEnabled(bool on) {
    // Anything that would wait inside a running playback or rendering (another playback, a
    // file dialog) stays off meanwhile, so the running one keeps its timing.
    for (QPushButton* b : {Button82, Button11, Button52, SaveWavButton})
        b->setEnabled(on);
    for (int i = 0; i < 4; ++i) {
        SaveLogButtons[i]->setEnabled(on);
        LoadLogButtons[i]->setEnabled(on);
    }
}

// ---- slots and merging ----------------------------------------------------------------------

void PlayLogsPage::copyLog(QPlainTextEdit* from, QPlainTextEdit* to) {
    setLogText(to, logText(from));
}

void PlayLogsPage::Button10Click() {
    copyLog(R2IMemo, R2IMemo2);
}
void PlayLogsPage::Button13Click() {
    copyLog(R2IMemo, R2IMemo3);
}
void PlayLogsPage::Button14Click() {
    mergeLogs(R2IMemo, R2IMemo2);
}
void PlayLogsPage::Button15Click() {
    mergeLogs(R2IMemo, R2IMemo3);
}
void PlayLogsPage::Button16Click() {
    mergeLogs(R2IMemo2, R2IMemo3);
}
void PlayLogsPage::Button18Click() {
    copyLog(R2IMemo4, R2IMemo);
}

void PlayLogsPage::mergeLogs(QPlainTextEdit* first, QPlainTextEdit* second) {
    const std::string a = logText(first);
    const std::string b = logText(second);
    std::vector<std::string_view> merged;
    try {
        fw::mergeLogs(splitLogLines(a), splitLogLines(b), merged);
    } catch (const LogLineError& e) {
        // Log C may hold a take of its own; a merge that cannot finish leaves it alone.
        form_.prompts().showMessage(e.what());
        return;
    }
    setLogText(R2IMemo4, joinLogLines(merged));
}

// ---- files ----------------------------------------------------------------------------------

void PlayLogsPage::SaveLogClick(int log) {
    const auto name = form_.prompts().saveFileName(
        {std::string("Save ") + kLogCaptions[log], kPlayLogFilter, kPlayLogExt});
    if (!name)
        return;
    const std::string text = logText(logs()[log]);
    if (auto error = writeFileReplacing(*name, playLogFileText(splitLogLines(text)))) {
        form_.prompts().showMessage(*error);
        return;
    }
    unsaved_[static_cast<std::size_t>(log)] = false;
}

void PlayLogsPage::LoadLogClick(int log) {
    const auto name = form_.prompts().openFileName(
        {std::string("Load ") + kLogCaptions[log], kPlayLogFilter, kPlayLogExt});
    if (!name)
        return;
    std::string error;
    const auto text = readPlayLogFile(*name, error);
    if (!text) {
        form_.prompts().showMessage(error);
        return;
    }
    setLogText(logs()[log], joinLogLines(splitLogLines(*text)));
    unsaved_[static_cast<std::size_t>(log)] = false;
}

QStringList PlayLogsPage::keepUnsavedLogs() {
    QStringList written;
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    for (int i = 0; i < 4; ++i) {
        if (!unsaved_[static_cast<std::size_t>(i)] || lineCount(logs()[i]) == 0)
            continue;
        if (!QDir().mkpath(recoveryDir_))
            break;
        const QString path = recoveryDir_ + "/" + kLogFileStems[i] + "-" + stamp + ".plog";
        const std::string text = logText(logs()[i]);
        if (!writeFileReplacing(path.toLocal8Bit().toStdString(),
                                playLogFileText(splitLogLines(text)))) {
            written << path;
            unsaved_[static_cast<std::size_t>(i)] = false;
        }
    }
    if (!written.isEmpty()) {
        QDir dir(recoveryDir_);
        const QFileInfoList kept =
            dir.entryInfoList({"*.plog"}, QDir::Files, QDir::Time); // newest first
        for (int i = kKeptLogFiles; i < kept.size(); ++i)
            QFile::remove(kept[i].absoluteFilePath());
    }
    return written;
}

// ---- export ---------------------------------------------------------------------------------

void PlayLogsPage::Button52Click() {
    const auto name =
        form_.prompts().saveFileName({"Save Play Log to MIDI file", "MIDI File|*.mid", "mid"});
    if (!name)
        return;
    const std::string text = logText(R2IMemo);
    std::string bytes;
    try {
        bytes = midiFileFromLog(splitLogLines(text));
    } catch (const LogLineError& e) {
        form_.prompts().showMessage(e.what());
        return;
    }
    if (auto error = writeFileReplacing(*name, bytes))
        form_.prompts().showMessage(*error);
}

void PlayLogsPage::SaveWavClick() {
    if (busy())
        return;
    const auto name =
        form_.prompts().saveFileName({"Save Play Log to WAV file", "WAV Audio|*.wav", "wav"});
    if (!name)
        return;
    const std::string text = logText(R2IMemo);
    LogRender plan;
    try {
        plan = planLogRender(splitLogLines(text));
    } catch (const LogLineError& e) {
        form_.prompts().showMessage(e.what());
        return;
    }
    ReplacingFileWriter writer(*name);
    if (!writer.ok()) {
        form_.prompts().showMessage(writer.error());
        return;
    }

    // The synthesizer renders on a worker thread so the window, and live play, go on.
    rendering_ = true;
    cancelRender_ = false;
    setLongActionsEnabled(false);
    std::atomic<int> permille{0};
    std::string failure;
    std::promise<RenderOutcome> promise;
    std::future<RenderOutcome> done = promise.get_future();
    const std::string soundFont = chosenSoundFont(form_.settings());
    std::thread worker([&] {
        OfflineSynth synth(plan.sampleRate, soundFont);
        if (!synth.loaded()) {
            failure = "Cannot load the SoundFont " + soundFont;
            promise.set_value(RenderOutcome::Failed);
            return;
        }
        promise.set_value(renderLogToWav(plan, synth, writer, [&](double fraction) {
            permille = static_cast<int>(fraction * 1000);
            return !cancelRender_.load();
        }));
    });
    QElapsedTimer shown;
    shown.start();
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        if (shown.elapsed() >= kShowProgressAfterMs && !WavProgress->isVisible()) {
            WavProgress->show();
            WavCancelButton->show();
        }
        WavProgress->setValue(permille);
        pump_->processEventsFor(30);
    }
    worker.join();
    const RenderOutcome outcome = done.get();
    WavProgress->hide();
    WavCancelButton->hide();
    rendering_ = false;
    setLongActionsEnabled(true);

    if (outcome == RenderOutcome::Cancelled) {
        writer.abandon();
        return;
    }
    if (outcome == RenderOutcome::Failed || !writer.commit())
        form_.prompts().showMessage(failure.empty() ? writer.error() : failure);
}

// ---- window events --------------------------------------------------------------------------

bool PlayLogsPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::Close) {
        // A playback or rendering waiting on the event loop must not hold the program open.
        player_.stop();
        cancelRender_ = true;
        if (form_.isVisible())
            keepUnsavedLogs();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace fw
