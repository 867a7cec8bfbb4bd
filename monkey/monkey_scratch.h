#pragma once

// The monkey's scratch folder: every file the program is offered in a file dialog, and what it
// saves there. Nothing in it may change unless it was named in a save dialog.
#include <QString>
#include <QStringList>

#include <map>
#include <random>
#include <set>

namespace fw::monkey {

class Scratch {
public:
    // root holds files/ (what open dialogs offer) and saved/ (where save dialogs write).
    explicit Scratch(QString root);

    // Fills files/ with valid and invalid files of every kind the program reads, and notes the
    // state of every file for check().
    void fill(std::mt19937_64& rng);
    // Extensions a file dialog asks for ("chords", "picks", ...); empty for any file.
    static QStringList extensionsOf(const QStringList& nameFilters);

    // A file for an open dialog, mostly of the kind asked for, valid or not.
    QString openChoice(const QStringList& exts, std::mt19937_64& rng);
    // A name for a save dialog: new, existing (to be replaced), odd. Remembered as asked for.
    QString saveChoice(const QStringList& exts, std::mt19937_64& rng);

    // What changed in files/ and saved/ that no save dialog asked for: changed, removed or new
    // files (a temporary file left behind is one). Empty when all is as it should be.
    QStringList check() const;

    QString root() const { return root_; }
    QString filesDir() const { return root_ + "/files"; }
    QString savedDir() const { return root_ + "/saved"; }
    int fileCount() const { return static_cast<int>(before_.size()); }

private:
    void ensureKind(const QString& ext, std::mt19937_64& rng);
    QStringList filesWithExtension(const QString& dir, const QStringList& exts) const;
    std::map<QString, QString> snapshot() const;
    static QString describe(const QString& path);

    QString root_;
    std::set<QString> kinds_;
    std::set<QString> asked_;
    std::map<QString, QString> before_; // path -> what it was (type, size, digest)
    int saves_ = 0;
};

} // namespace fw::monkey
