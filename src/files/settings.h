#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fw {

// What the program keeps between runs (the output chosen last, the sound, a controller's
// mapping), as "key=value" lines in one small text file. Each change is written at once and
// atomically, keeping every other key. Without a file the values live in memory only, as in
// tests. A damaged file (not text, too large) reads as empty, and a line whose value holds
// control characters is skipped, so a bad file only means the defaults.
class Settings {
public:
    Settings() = default;
    explicit Settings(std::string path);

    // The values of a settings file, kept in memory only from now on (a session's, written when
    // the session is saved). Nothing, with the user's message, when the file cannot be read.
    static std::optional<Settings> readInMemory(const std::string& path, std::string& error);
    // The file's lines, as a change writes them.
    std::vector<std::string> lines() const;

    const std::string& path() const { return path_; }
    std::optional<std::string> value(const std::string& key) const;
    // Keeps the value (or, with nothing, drops the key); returns the error text when the file
    // could not be written, in which case the value is still kept for this run.
    std::optional<std::string> setValue(const std::string& key,
                                        const std::optional<std::string>& value);

    // Told the first time the file cannot be written, and again only after a write has
    // worked in between, so that a home that cannot be written is said once, not at each change.
    void setOnWriteError(std::function<void(const std::string&)> told) {
        onWriteError_ = std::move(told);
    }

    static constexpr std::size_t kLongestValue = 4096;

private:
    void take(const std::vector<std::string>& lines);

    std::string path_;
    std::map<std::string, std::string> values_;
    std::function<void(const std::string&)> onWriteError_;
    bool failing_ = false;
};

} // namespace fw
