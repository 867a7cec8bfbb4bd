// fretwright-log: the play log conversions of the "Play Logs" tab for batch work.
#include "logs/log_files.h"
#include "logs/log_lines.h"
#include "logs/merge_logs.h"
#include "logs/midi_file.h"
#include "logs/wav_render.h"
#include "platform/fluidsynth/fluid_synth_port.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <pthread.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* const kUsage =
    "Usage:\n"
    "  fretwright-log midi IN.plog OUT.mid\n"
    "      Writes the play log as a Standard MIDI File (format 1, one track, one log\n"
    "      centisecond per tick), as \"Save Play Log to MIDI file\" does.\n"
    "  fretwright-log wav [--soundfont FILE] IN.plog OUT.wav\n"
    "      Renders the play log through the built-in synthesizer to a 44.1 kHz 16-bit\n"
    "      stereo WAV file, with its recorded timing, as \"Save Play Log to WAV file\"\n"
    "      does. No sound card is needed. The General MIDI SoundFont plays unless\n"
    "      --soundfont names another (SF2 or SF3).\n"
    "  fretwright-log merge FIRST.plog SECOND.plog OUT.plog\n"
    "      Merges two play logs by time, as the merge buttons into Log C do: on equal\n"
    "      times the line of FIRST comes first.\n"
    "  fretwright-log --help | --version\n"
    "\n"
    "A play log file holds one line per MIDI message, as the play log shows it: eight\n"
    "hexadecimal digits (status, data 1, data 2, 00), \"-\" and the time in centiseconds,\n"
    "for example 91405A00-1530. Output files are replaced only when they were written\n"
    "completely; \"-\" as the output writes to standard output. On an error the program\n"
    "prints it and exits with status 1 (2 for a wrong command line).\n";

int fail(const std::string& message) {
    std::fprintf(stderr, "fretwright-log: %s\n", message.c_str());
    return 1;
}

int failAt(const std::string& file, const fw::LogLineError& e) {
    return fail(file + ":" + std::to_string(e.line() + 1) + ": " + e.what());
}

// The temporary file of the output being written, removed when a signal ends the program so
// that an interrupted rendering leaves nothing beside the output.
char gTempPath[4096];
volatile std::sig_atomic_t gTempSet = 0;

extern "C" void removeTempAndDie(int sig) {
    if (gTempSet)
        ::unlink(gTempPath);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Holds back the signals that end the program from its making until release(): a signal that
// comes while the temporary file exists but its name is not yet known to the handler waits, and
// then finds the name.
class HeldEndSignals {
public:
    HeldEndSignals() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kEndSignals)
            sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &saved_);
    }
    void release() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

private:
    sigset_t saved_;
};

// Writes an output through the atomic writer; the temporary file goes away on SIGINT, SIGTERM
// or SIGHUP.
class Output {
public:
    explicit Output(const std::string& path) : writer_(path) {
        const std::string& temp = writer_.tempPath();
        if (!temp.empty() && temp.size() < sizeof gTempPath) {
            std::memcpy(gTempPath, temp.c_str(), temp.size() + 1);
            gTempSet = 1;
        }
        for (int sig : kEndSignals)
            std::signal(sig, removeTempAndDie);
        held_.release();
    }
    ~Output() { gTempSet = 0; }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    fw::ReplacingFileWriter& writer() { return writer_; }
    // Writes everything and replaces the output; the user's message on failure.
    std::optional<std::string> writeAll(std::string_view bytes) {
        if (writer_.ok() && writer_.write(bytes) && commit())
            return std::nullopt;
        return writer_.error();
    }
    bool commit() {
        // Until the rename is done the temporary file is ours to remove; after it the name is
        // gone, and removing it again does nothing.
        const bool done = writer_.commit();
        gTempSet = 0;
        return done;
    }

private:
    HeldEndSignals held_; // made first: it covers the making of the temporary file
    fw::ReplacingFileWriter writer_;
};

// Reads a play log as "Load Log..." does, refusing the same files; error is the message to
// print.
std::optional<std::vector<std::string_view>> readLog(const std::string& path, std::string& text,
                                                     std::string& error) {
    auto data = fw::readWholeFile(path, error);
    if (!data)
        return std::nullopt;
    if (auto problem = fw::playLogProblem(*data)) {
        error = path + ":" + std::to_string(problem->line() + 1) + ": " + problem->what();
        return std::nullopt;
    }
    text = std::move(*data);
    return fw::splitLogLines(text);
}

int toMidi(const std::string& in, const std::string& out) {
    std::string text;
    std::string error;
    const auto lines = readLog(in, text, error);
    if (!lines)
        return fail(error);
    std::string bytes;
    try {
        bytes = fw::midiFileFromLog(*lines);
    } catch (const fw::LogLineError& e) {
        return failAt(in, e);
    }
    if (auto err = Output(out).writeAll(bytes))
        return fail(*err);
    return 0;
}

int toWav(const std::string& in, const std::string& out, const std::string& soundFont) {
    if (auto problem = fw::soundFontProblem(soundFont))
        return fail(*problem);
    std::string text;
    std::string error;
    const auto lines = readLog(in, text, error);
    if (!lines)
        return fail(error);
    fw::LogRender plan;
    try {
        plan = fw::planLogRender(*lines);
    } catch (const fw::LogLineError& e) {
        return failAt(in, e);
    }
    fw::OfflineSynth synth(plan.sampleRate, soundFont);
    if (!synth.loaded())
        return fail("Cannot load the SoundFont " + soundFont);
    Output output(out);
    if (!output.writer().ok())
        return fail(output.writer().error());
    if (fw::renderLogToWav(plan, synth, output.writer()) != fw::RenderOutcome::Done ||
        !output.commit())
        return fail(output.writer().error());
    return 0;
}

int merge(const std::string& first, const std::string& second, const std::string& out) {
    std::string a;
    std::string b;
    std::string error;
    const auto linesA = readLog(first, a, error);
    if (!linesA)
        return fail(error);
    const auto linesB = readLog(second, b, error);
    if (!linesB)
        return fail(error);
    std::vector<std::string_view> merged;
    try {
        fw::mergeLogs(*linesA, *linesB, merged);
    } catch (const fw::LogLineError& e) {
        return failAt(e.source() == 0 ? first : second, e);
    }
    if (auto err = Output(out).writeAll(fw::playLogFileText(merged)))
        return fail(*err);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && (args[0] == "--version" || args[0] == "-v")) {
        std::puts("fretwright-log " FW_VERSION);
        return 0;
    }
    if (args.size() == 3 && args[0] == "midi")
        return toMidi(args[1], args[2]);
    if (args.size() == 3 && args[0] == "wav")
        return toWav(args[1], args[2], FW_DEFAULT_SOUNDFONT);
    if (args.size() == 5 && args[0] == "wav" && args[1] == "--soundfont")
        return toWav(args[3], args[4], args[2]);
    if (args.size() == 4 && args[0] == "merge")
        return merge(args[1], args[2], args[3]);
    std::fputs(kUsage, stderr);
    return 2;
}
