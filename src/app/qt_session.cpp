#include "app/qt_session.h"

#include "app/qt_main_window.h"
#include "beats/beat_files.h"
#include "beats/qt_beat_manager_page.h"
#include "chords/chord_sets.h"
#include "chords/qt_chord_builder_page.h"
#include "files/line_file.h"
#include "input/joy_file.h"
#include "input/qt_joystick_mapping_page.h"
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/qt_play_logs_page.h"
#include "picks/pick_sets.h"
#include "picks/qt_pick_pages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPlainTextEdit>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace fw {

namespace {
constexpr const char* kGuiShownSetting = "session-gui-shown";
constexpr int kDirtyCheckMs = 500;
// Larger logs are told apart by their size and edits, not their whole text, twice a second.
constexpr qsizetype kLogTextFingerprintChars = 256 * 1024;
} // namespace

SessionLink::SessionLink(NsmClient& nsm, TForm1& form, QObject* parent)
    : QObject(parent), nsm_(nsm), form_(form) {
    dirtyTimer_.setInterval(kDirtyCheckMs);
    connect(&dirtyTimer_, &QTimer::timeout, this, &SessionLink::checkDirty);
}

SessionLink::~SessionLink() {
    nsm_.setOnMessage({});
}

std::string SessionLink::file(const char* name) const {
    return (std::filesystem::path(folder_) / name).string();
}

void SessionLink::report(const std::string& message) const {
    std::fprintf(stderr, "fretwright: %s\n", message.c_str());
    std::fflush(stderr);
}

void SessionLink::open(const NsmClient::Message& open) {
    namespace fs = std::filesystem;
    folder_ = open.path;
    std::error_code ec;
    const bool existed = fs::is_directory(folder_, ec);
    if (!existed && !fs::create_directories(folder_, ec)) {
        const std::string why = "Cannot make the session folder " + folder_ + ": " + ec.message();
        report(why);
        nsm_.error("/nsm/client/open", NsmClient::kErrCreateFailed, why);
        return;
    }
    int bad = 0;
    // Each file loads whole or not at all; a bad one leaves its part as a fresh start has it.
    const auto load = [&](const char* name,
                          const std::function<bool(const std::string&, std::string&)>& take) {
        const std::string path = file(name);
        if (!fs::exists(path, ec))
            return;
        std::string error;
        if (!take(path, error)) {
            report(error);
            ++bad;
        }
    };

    Settings settings;
    load(kSessionSettings, [&](const std::string& path, std::string& error) {
        auto read = Settings::readInMemory(path, error);
        if (read)
            settings = std::move(*read);
        return read.has_value();
    });
    const bool guiShown = settings.value(kGuiShownSetting) == "1";
    form_.restoreSettings(std::move(settings));
    load(kSessionChords, [&](const std::string& path, std::string& error) {
        const auto bytes = readSettingsBytes(path, error);
        if (!bytes)
            return false;
        LineFileRead lines = linesOfText(*bytes, path);
        if (!lines.ok()) {
            error = lines.error;
            return false;
        }
        const auto table = chordTableFromLines(lines.lines, path, error);
        if (!table)
            return false;
        form_.ChordBuilder->chordSets().replace(*table, std::move(lines.lines));
        return true;
    });
    load(kSessionPicks, [&](const std::string& path, std::string& error) {
        auto picks = readPickSetFile(path, error);
        if (picks)
            form_.pickSetPages->replacePickSet(std::move(*picks));
        return picks.has_value();
    });
    load(kSessionJoystick, [&](const std::string& path, std::string& error) {
        const auto bytes = readSettingsBytes(path, error);
        if (!bytes)
            return false;
        const JoyConfigParse parsed = parseJoyConfig(*bytes, path);
        if (!parsed.mapping) {
            error = parsed.error;
            return false;
        }
        form_.JoystickMapping->placeMapping(*parsed.mapping, path);
        return true;
    });
    load(kSessionBeat, [&](const std::string& path, std::string& error) {
        const auto beat = readBeatFile(path, error);
        if (!beat)
            return false;
        form_.BeatManager->showPattern(*beat);
        form_.BeatManager->Button80Click();
        return true;
    });
    const auto logs = form_.PlayLogs->logs();
    for (std::size_t i = 0; i < logs.size(); ++i) {
        load(kSessionLogs[i], [&](const std::string& path, std::string& error) {
            const auto text = readPlayLogFile(path, error);
            if (text)
                PlayLogsPage::setLogText(logs[i], joinLogLines(splitLogLines(*text)));
            return text.has_value();
        });
    }
    // A take that a crash of this session left behind belongs to it: it is offered here, at its
    // next open, and in no other session.
    form_.PlayLogs->keepTakesIn(QString::fromStdString(folder_));

    opened_ = true;
    clean_ = fingerprint();
    dirty_ = false;
    form_.installEventFilter(this);
    nsm_.setOnMessage([this] {
        QMetaObject::invokeMethod(this, &SessionLink::takeMessages, Qt::QueuedConnection);
    });
    std::string answer = existed ? "Session opened." : "New session.";
    if (bad)
        answer += " " + std::to_string(bad) + " file(s) could not be read; see the log.";
    nsm_.reply("/nsm/client/open", answer);
    nsm_.dirty(false);
    // A client new to the session starts hidden; later it shows as it was saved.
    showGui(guiShown);
    QMetaObject::invokeMethod(this, &SessionLink::takeMessages, Qt::QueuedConnection);
    QMetaObject::invokeMethod(
        &form_, [this] { form_.PlayLogs->recoverTakes(); }, Qt::QueuedConnection);
    dirtyTimer_.start();
}

void SessionLink::save() {
    if (!opened_) {
        nsm_.error("/nsm/client/save", NsmClient::kErrGeneral, "No session is open.");
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    form_.settings().setValue(kGuiShownSetting,
                              form_.isVisible() ? std::optional<std::string>("1") : std::nullopt);
    std::vector<std::string> errors;
    const auto keep = [&](std::optional<std::string> error) {
        if (error) {
            report(*error);
            errors.push_back(std::move(*error));
        }
    };
    keep(writeLineFileAtomically(file(kSessionChords),
                                 chordMemoryLines(form_.engine().st.chordMemory)));
    keep(writeLineFileAtomically(file(kSessionPicks),
                                 pickMemoryLines(form_.engine().st.pickMemory)));
    keep(writeLineFileAtomically(file(kSessionJoystick), joyConfigLines(form_.joystickPlay().map)));
    keep(writeLineFileAtomically(file(kSessionBeat), beatFileLines(form_.BeatManager->pattern())));
    const auto logs = form_.PlayLogs->logs();
    for (std::size_t i = 0; i < logs.size(); ++i) {
        const std::string text = PlayLogsPage::logText(logs[i]);
        keep(writeFileReplacing(file(kSessionLogs[i]), playLogFileText(splitLogLines(text))));
    }
    keep(writeLineFileAtomically(file(kSessionSettings), form_.settings().lines()));
    if (!errors.empty()) {
        nsm_.error("/nsm/client/save", NsmClient::kErrGeneral, errors.front());
        return;
    }
    clean_ = fingerprint();
    dirty_ = false;
    nsm_.reply("/nsm/client/save", "Saved.");
    nsm_.dirty(false);
}

void SessionLink::endNow() {
    dirtyTimer_.stop();
    if (opened_ && fingerprint() == clean_)
        form_.guitar().playLog().journal().discard();
    QCoreApplication::exit(0);
}

void SessionLink::takeMessages() {
    while (auto m = nsm_.take()) {
        using Kind = NsmClient::Message::Kind;
        switch (m->kind) {
        case Kind::Save:
            save();
            break;
        case Kind::ShowGui:
            showGui(true);
            break;
        case Kind::HideGui:
            showGui(false);
            break;
        case Kind::Open:
            // Announced without switching: the server restarts the program for another session.
            nsm_.error("/nsm/client/open", NsmClient::kErrGeneral,
                       "Fretwright cannot switch sessions while it runs.");
            break;
        case Kind::AnnounceReply:
        case Kind::AnnounceError:
        case Kind::SessionLoaded:
            break;
        }
    }
}

void SessionLink::showGui(bool shown) {
    if (shown) {
        form_.show();
        form_.raise();
        form_.activateWindow();
    } else {
        form_.hide();
    }
    nsm_.guiShown(shown);
}

bool SessionLink::eventFilter(QObject* watched, QEvent* event) {
    // Closing the window hides it: the session goes on without a window, as the server expects.
    if (watched == &form_ && event->type() == QEvent::Close) {
        event->ignore();
        showGui(false);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

std::string SessionLink::fingerprint() const {
    std::string all;
    const auto add = [&all](const std::vector<std::string>& lines) {
        all += joinCrLf(lines);
        all += '\0';
    };
    std::vector<std::string> settings;
    for (std::string& line : form_.settings().lines()) {
        if (line.rfind(kGuiShownSetting, 0) != 0)
            settings.push_back(std::move(line));
    }
    add(settings);
    add(chordMemoryLines(form_.engine().st.chordMemory));
    add(pickMemoryLines(form_.engine().st.pickMemory));
    add(joyConfigLines(form_.joystickPlay().map));
    add(beatFileLines(form_.BeatManager->pattern()));
    for (const QPlainTextEdit* log : form_.PlayLogs->logs()) {
        const QTextDocument* doc = log->document();
        if (doc->characterCount() < kLogTextFingerprintChars)
            all += log->toPlainText().toStdString();
        else
            all += std::to_string(doc->characterCount()) + ":" + std::to_string(doc->revision());
        all += '\0';
    }
    return all;
}

void SessionLink::checkDirty() {
    const bool now = fingerprint() != clean_;
    if (now != dirty_) {
        dirty_ = now;
        nsm_.dirty(now);
    }
}

} // namespace fw
