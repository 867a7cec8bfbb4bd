#include "logs/qt_play_logs_page.h"

#include "engine/prompts.h"
#include "logs/log_files.h"
#include "logs/merge_logs.h"
#include "logs/midi_file.h"
#include "logs/qt_log_view.h"
#include "logs/qt_piano_roll.h"
#include "logs/wav_render.h"
#include "play/guitar.h"

#include "ui/qt_widgets.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPointer>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <thread>

namespace fw {

namespace {

const char* const kLogCaptions[4] = {"PL", "Log A", "Log B", "Log C"};
const char* const kLogFileStems[4] = {"PL", "LogA", "LogB", "LogC"};
// A log file larger than this is read on a thread of its own and poured into its view a slice
// at a time, its progress shown, so that the window keeps answering; a slice takes some 50 ms.
constexpr std::uintmax_t kLongLoadBytes = 1 << 20;
constexpr qsizetype kPourSlice = 1 << 18;
// A kept log larger than this is a take without reading it through.
constexpr qint64 kSmallLogBytes = 64 * 1024;
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

} // namespace

// A rendering of the play log on a thread of its own. The window thread only starts it, reads
// its progress and hears when it ended.
struct WavJob {
    LogRender plan;
    WavRenderSettings settings;
    std::string path;
    std::atomic<bool> cancel{false};
    std::atomic<int> permille{0};
    RenderOutcome outcome = RenderOutcome::Failed;
    std::string failure;
    std::int64_t startedMicros = 0; // on the guitar's clock
    std::thread worker;
};

// A log file being loaded: read and checked by a thread, then poured by the window's timer.
struct LogLoad {
    int log = 0;
    std::string path;
    std::string error;
    QString text;
    qsizetype poured = 0;
    std::thread worker;
};

PlayLogsPage::PlayLogsPage(Guitar& guitar, PlayLogsHost& host, QWidget* parent)
    : QWidget(parent), guitar_(guitar), host_(host), mainWindow_(&host.mainWindow()),
      qtWake_(guitar.clock()), player_(guitar.output(), qtWake_) {
    setObjectName("PlayLogsPage");
    recoveryDir_ =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/unsaved-logs";
    buildPage();
    mainWindow_->installEventFilter(this);
    wavProgressTimer_.setInterval(50);
    connect(&wavProgressTimer_, &QTimer::timeout, this, &PlayLogsPage::showRenderProgress);
}

PlayLogsPage::~PlayLogsPage() {
    // The main window's parts may be gone already: nothing here reaches them.
    qtWake_.cancel();
    if (load_ && load_->worker.joinable())
        load_->worker.join();
    if (wav_) {
        wav_->cancel = true;
        wav_->worker.join();
    }
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
        PianoRollButtons[i] =
            makeButton(QString("PianoRollButton%1").arg(i + 1), "Piano Roll", this);
        PianoRollButtons[i]->setToolTip(QString("See %1 as notes").arg(kLogCaptions[i]));
        grid->addWidget(SaveLogButtons[i], 2, i);
        auto* loadRow = new QHBoxLayout;
        loadRow->addWidget(LoadLogButtons[i]);
        loadRow->addWidget(PianoRollButtons[i]);
        grid->addLayout(loadRow, 3, i);
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
    // The progress of a rendering stands in the place of its button, so the row, and the window,
    // keep their width.
    wavStack_ = new QStackedWidget(this);
    wavStack_->addWidget(SaveWavButton);
    auto* progressRow = new QWidget(wavStack_);
    auto* progressLayout = new QHBoxLayout(progressRow);
    progressLayout->setContentsMargins(0, 0, 0, 0);
    WavProgress = new QProgressBar(progressRow);
    WavProgress->setObjectName("WavProgress");
    WavProgress->setRange(0, 1000);
    WavProgress->setMinimumWidth(40);
    WavCancelButton = makeButton("WavCancelButton", "Cancel", progressRow);
    progressLayout->addWidget(WavProgress, 1);
    progressLayout->addWidget(WavCancelButton);
    wavStack_->addWidget(progressRow);
    wavStack_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    bottom->addWidget(wavStack_);
    LoadProgress = new QProgressBar(this);
    LoadProgress->setObjectName("LoadProgress");
    LoadProgress->setRange(0, 1000);
    LoadProgress->setFormat("Loading %p%");
    LoadProgress->hide();
    bottom->addWidget(LoadProgress);
    bottom->addStretch(1);
    outer->addLayout(bottom);
    auto* note = new QLabel("Logs you have not saved are kept when Fretwright closes.", this);
    note->setToolTip("They are kept in " + QDir::toNativeSeparators(recoveryDir_));
    note->setObjectName("RecoveryNote");
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outer->addWidget(note);

    for (int i = 0; i < 4; ++i) {
        QPlainTextEdit* memo = logs()[i];
        connect(memo, &QPlainTextEdit::textChanged, this, [this, i] {
            // A log being loaded is the file's, not a change of the player's.
            if (!load_ || load_->log != i)
                unsaved_[static_cast<std::size_t>(i)] = true;
            R2IMemoChange();
        });
        connect(SaveLogButtons[i], &QPushButton::clicked, this, [this, i] { SaveLogClick(i); });
        connect(LoadLogButtons[i], &QPushButton::clicked, this, [this, i] { LoadLogClick(i); });
        connect(PianoRollButtons[i], &QPushButton::clicked, this, [this, i] { PianoRollClick(i); });
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
    connect(WavCancelButton, &QPushButton::clicked, this, [this] {
        if (wav_)
            wav_->cancel = true;
    });
}

void PlayLogsPage::setWakeTimer(WakeTimer* timer) {
    player_.setWakeTimer(timer ? *timer : static_cast<WakeTimer&>(qtWake_));
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
    guitar_.newTake();
    R2IMemo->clear();
    guitar_.tellBeatInstrument();
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
    if (replay) {
        paused_ = host_.pauseLiveTimers();
        host_.stopJoystickPlay();
    }
    playing_ = std::make_unique<MemoLines>(log);
    player_.play(*playing_, [this](const LogPlayer::Result& result) { playbackDone(result); });
}

void PlayLogsPage::playbackDone(const LogPlayer::Result& result) {
    // Live play comes back on every way out, whatever ended the playback.
    if (paused_)
        host_.resumeLiveTimers(*paused_);
    paused_.reset();
    setLongActionsEnabled(true);
    if (result.end == LogPlayer::End::Failed)
        guitar_.prompts().showMessage(result.error);
    emit playbackEnded();
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
        guitar_.prompts().showMessage(e.what());
        return;
    }
    setLogText(R2IMemo4, joinLogLines(merged));
}

// ---- files ----------------------------------------------------------------------------------

void PlayLogsPage::SaveLogClick(int log) {
    const auto name = guitar_.prompts().saveFileName(
        {std::string("Save ") + kLogCaptions[log], kPlayLogFilter, kPlayLogExt});
    if (!name)
        return;
    const std::string text = logText(logs()[log]);
    if (auto error = writeFileReplacing(*name, playLogFileText(splitLogLines(text)))) {
        guitar_.prompts().showMessage(*error);
        return;
    }
    unsaved_[static_cast<std::size_t>(log)] = false;
}

void PlayLogsPage::LoadLogClick(int log) {
    const auto name = guitar_.prompts().openFileName(
        {std::string("Load ") + kLogCaptions[log], kPlayLogFilter, kPlayLogExt});
    if (!name || busy())
        return;
    std::error_code ec;
    const auto size = std::filesystem::file_size(*name, ec);
    if (ec || size <= kLongLoadBytes) {
        std::string error;
        const auto text = readPlayLogFile(*name, error);
        if (!text) {
            guitar_.prompts().showMessage(error);
            return;
        }
        setLogText(logs()[log], joinLogLines(splitLogLines(*text)));
        unsaved_[static_cast<std::size_t>(log)] = false;
        return;
    }
    // A long log: nothing changes until the whole file is read and checked.
    load_ = std::make_unique<LogLoad>();
    load_->log = log;
    load_->path = *name;
    setLongActionsEnabled(false);
    LoadProgress->setValue(0);
    LoadProgress->show();
    LogLoad* job = load_.get();
    job->worker = std::thread([this, job] {
        if (const auto text = readPlayLogFile(job->path, job->error))
            job->text = logViewText(joinLogLines(splitLogLines(*text)));
        QMetaObject::invokeMethod(this, &PlayLogsPage::loadRead, Qt::QueuedConnection);
    });
}

void PlayLogsPage::loadRead() {
    if (!load_)
        return;
    load_->worker.join();
    if (!load_->error.empty()) {
        const std::string error = load_->error;
        finishLoad();
        guitar_.prompts().showMessage(error);
        return;
    }
    QPlainTextEdit* memo = logs()[load_->log];
    // One piece of undo history would hold the whole file; the player cannot type meanwhile.
    memo->document()->setUndoRedoEnabled(false);
    memo->setReadOnly(true);
    memo->clear();
    pourLoad();
}

void PlayLogsPage::pourLoad() {
    if (!load_)
        return;
    LogLoad& job = *load_;
    QPlainTextEdit* memo = logs()[job.log];
    // A slice ends with a line end, so the slices join into the same lines.
    qsizetype end = std::min(job.poured + kPourSlice, job.text.size());
    if (end < job.text.size()) {
        const qsizetype eol = job.text.indexOf('\n', end);
        end = eol < 0 ? job.text.size() : eol + 1;
    }
    QTextCursor cursor(memo->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(job.text.mid(job.poured, end - job.poured));
    job.poured = end;
    LoadProgress->setValue(
        static_cast<int>(1000 * job.poured / std::max<qsizetype>(job.text.size(), 1)));
    if (job.poured < job.text.size()) {
        QTimer::singleShot(0, this, &PlayLogsPage::pourLoad);
        return;
    }
    const int log = job.log;
    memo->document()->setUndoRedoEnabled(true);
    memo->setReadOnly(false);
    finishLoad();
    unsaved_[static_cast<std::size_t>(log)] = false;
    R2IMemoChange();
}

void PlayLogsPage::finishLoad() {
    load_.reset();
    LoadProgress->hide();
    setLongActionsEnabled(true);
    emit loadEnded();
}

bool PlayLogsPage::holdsTake(int log) const {
    if (lineCount(logs()[log]) == 0)
        return false;
    const std::string text = logText(logs()[log]);
    return holdsPlayedNotes(splitLogLines(text));
}

QStringList PlayLogsPage::keepUnsavedLogs() {
    QStringList written;
    keepError_.clear();
    const QString stamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    for (int i = 0; i < 4; ++i) {
        // A start that plays nothing leaves only its instrument messages: not a take to keep.
        if (!unsaved_[static_cast<std::size_t>(i)] || !holdsTake(i))
            continue;
        std::error_code ec;
        const std::string folder = recoveryDir_.toLocal8Bit().toStdString();
        if (!std::filesystem::create_directories(folder, ec) && ec) {
            keepError_ = "Cannot create folder " + folder + ": " + ec.message();
            break;
        }
        const QString path = recoveryDir_ + "/" + kLogFileStems[i] + "-" + stamp + ".plog";
        const std::string text = logText(logs()[i]);
        if (auto error = writeFileReplacing(path.toLocal8Bit().toStdString(),
                                            playLogFileText(splitLogLines(text)))) {
            keepError_ = *error;
        } else {
            written << path;
            unsaved_[static_cast<std::size_t>(i)] = false;
        }
    }
    if (!written.isEmpty())
        pruneKeptLogs();
    return written;
}

void PlayLogsPage::pruneKeptLogs() {
    // Newest first. Files without a note played (left by older versions) are no takes: they go,
    // and do not count against the takes kept.
    const QFileInfoList kept =
        QDir(recoveryDir_).entryInfoList({"*.plog"}, QDir::Files, QDir::Time);
    int takes = 0;
    for (const QFileInfo& file : kept) {
        bool take = file.size() > kSmallLogBytes;
        if (!take) {
            std::string error;
            const auto text =
                readWholeFile(file.absoluteFilePath().toLocal8Bit().toStdString(), error);
            take = !text || holdsPlayedNotes(splitLogLines(*text)); // unreadable: kept
        }
        if (!take || ++takes > kKeptLogFiles)
            QFile::remove(file.absoluteFilePath());
    }
}

void PlayLogsPage::PianoRollClick(int log) {
    auto& window = pianoRolls_[static_cast<std::size_t>(log)];
    if (!window) {
        window = new PianoRollWindow(logs()[log], kLogCaptions[log], this);
        window->setObjectName(QString("PianoRoll%1").arg(log + 1));
    }
    window->open();
}

// ---- the take's journal ------------------------------------------------------------------

void PlayLogsPage::keepTakesIn(const QString& dataFolder) {
    // Told on the journal's thread, which may outlive the page.
    guitar_.playLog().keepTakesIn(
        dataFolder.toStdString(), [page = QPointer<PlayLogsPage>(this)](const std::string& error) {
            QMetaObject::invokeMethod(
                qApp,
                [page, error] {
                    if (page)
                        page->guitar_.prompts().showMessage(
                            "The take being recorded cannot be kept safe on disk: " + error +
                            "\nSave it with \"Save Log...\" before you quit.");
                },
                Qt::QueuedConnection);
        });
}

void PlayLogsPage::recoverTakes() {
    guitar_.playLog().recoverTakes(guitar_.prompts(),
                                   [this](const std::string& text) { setLogText(R2IMemo, text); });
}

// ---- export ---------------------------------------------------------------------------------

void PlayLogsPage::Button52Click() {
    const auto name =
        guitar_.prompts().saveFileName({"Save Play Log to MIDI file", "MIDI File|*.mid", "mid"});
    if (!name)
        return;
    const std::string text = logText(R2IMemo);
    std::string bytes;
    try {
        bytes = midiFileFromLog(splitLogLines(text));
    } catch (const LogLineError& e) {
        guitar_.prompts().showMessage(e.what());
        return;
    }
    if (auto error = writeFileReplacing(*name, bytes))
        guitar_.prompts().showMessage(*error);
}

void PlayLogsPage::SaveWavClick() {
    if (busy())
        return;
    const auto name =
        guitar_.prompts().saveFileName({"Save Play Log to WAV file", "WAV Audio|*.wav", "wav"});
    if (!name)
        return;
    const std::string text = logText(R2IMemo);
    auto job = std::make_unique<WavJob>();
    job->settings = wavSettings_;
    job->path = *name;
    try {
        job->plan = planLogRender(splitLogLines(text), job->settings.sampleRate);
    } catch (const LogLineError& e) {
        guitar_.prompts().showMessage(e.what());
        return;
    }

    // The synthesizer renders and writes on a thread of its own, so the window, and live play,
    // go on; the window hears of the end through its event queue.
    wav_ = std::move(job);
    setLongActionsEnabled(false);
    wav_->startedMicros = guitar_.clock().micros();
    WavJob* running = wav_.get();
    running->worker = std::thread([this, running] {
        running->outcome = renderLogToWavFile(
            running->plan, running->settings, running->path,
            [running](double fraction) {
                running->permille = static_cast<int>(fraction * 1000);
                return !running->cancel.load();
            },
            running->failure);
        QMetaObject::invokeMethod(this, &PlayLogsPage::renderDone, Qt::QueuedConnection);
    });
    wavProgressTimer_.start();
}

void PlayLogsPage::showRenderProgress() {
    // A short rendering ends before its progress would be worth showing.
    if (!wav_ || guitar_.clock().micros() - wav_->startedMicros < kShowProgressAfterMs * 1000)
        return;
    WavProgress->setValue(wav_->permille);
    wavStack_->setCurrentIndex(1);
}

void PlayLogsPage::renderDone() {
    if (!wav_)
        return;
    wav_->worker.join();
    const std::unique_ptr<WavJob> job = std::move(wav_);
    wavProgressTimer_.stop();
    wavStack_->setCurrentIndex(0);
    setLongActionsEnabled(true);
    if (job->outcome == RenderOutcome::Failed)
        guitar_.prompts().showMessage(job->failure);
    emit renderEnded();
}

// ---- window events --------------------------------------------------------------------------

bool PlayLogsPage::eventFilter(QObject* watched, QEvent* event) {
    // The main window's events reach here until its last child is gone, after the host.
    if (watched == mainWindow_ && event->type() == QEvent::Close) {
        if (mainWindow_->isVisible() && !takeKeptAtClose()) {
            event->ignore();
            return true; // the player stays, to save the take
        }
        // Closing ends a playback at once and cancels a rendering: its thread stops at its next
        // block and leaves no file behind.
        player_.stop();
        if (wav_)
            wav_->cancel = true;
    }
    return QWidget::eventFilter(watched, event);
}

bool PlayLogsPage::takeKeptAtClose() {
    TakeJournal& journal = guitar_.playLog().journal();
    keepUnsavedLogs();
    // The take is saved or kept, or there is none: its journal has done its work.
    if (!unsaved_[0] || !holdsTake(0)) {
        journal.discard();
        return true;
    }
    // Still safe in its journal, which the next start offers back.
    // A session manager's SIGTERM ends the program without closing the window: nothing is asked
    // then, and the journal stays for the next start.
    if (journal.active() && journal.flush())
        return true;
    const std::string why = keepError_.empty() ? "" : ": " + keepError_;
    if (!guitar_.prompts().askYesNo(
            "The take in \"PL\" has not been saved and cannot be kept when Fretwright closes" +
            why +
            ".\n\nYes saves it now with \"Save Log...\". No closes Fretwright and the take is "
            "lost."))
        return true;
    SaveLogClick(0);
    // Saved, or the player stays (the dialog cancelled, the save failed) and may close again.
    if (unsaved_[0])
        return false;
    journal.discard();
    return true;
}

} // namespace fw
